// The editor's connection to the X server and the way pictures reach the screen: the root
// visual's pixel format, the keyboard map, and the transfer of the drawn parts of a window's
// picture through shared memory (MIT-SHM) where the server offers it, plain image requests
// otherwise.
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/x11/X11.h"

namespace kestrane::platform::x11 {

namespace {

// Position and width of a channel mask.
void maskShape(std::uint32_t mask, int& shift, int& bits) {
  shift = 0;
  bits = 0;
  if (mask == 0) return;
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++shift;
  }
  while ((mask & 1u) != 0) {
    mask >>= 1;
    ++bits;
  }
}

std::uint32_t toChannel(unsigned value8, int shift, int bits) {
  if (bits == 0) return 0;
  const std::uint32_t scaled = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
  return scaled << shift;
}

unsigned fromChannel(std::uint32_t pixel, int shift, int bits) {
  if (bits == 0) return 0;
  const std::uint32_t value = (pixel >> shift) & ((1u << bits) - 1u);
  if (bits >= 8) return value >> (bits - 8);
  // Spread the few bits over eight, so that full channels read as 255.
  return static_cast<unsigned>((value * 255u + ((1u << bits) - 1) / 2) / ((1u << bits) - 1));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Pixel format

void PixelFormat::prepare() {
  const std::uint32_t masks[3] = {red, green, blue};
  for (int i = 0; i < 3; ++i) maskShape(masks[i], shifts[i], widths[i]);
}

std::uint32_t PixelFormat::pixel(ColorRef c) const {
  return toChannel(c & 0xFF, shifts[0], widths[0]) |
         toChannel((c >> 8) & 0xFF, shifts[1], widths[1]) |
         toChannel((c >> 16) & 0xFF, shifts[2], widths[2]);
}

ColorRef PixelFormat::color(std::uint32_t p) const {
  return fromChannel(p, shifts[0], widths[0]) | fromChannel(p, shifts[1], widths[1]) << 8 |
         fromChannel(p, shifts[2], widths[2]) << 16;
}

std::size_t PixelFormat::rowBytes(int width) const {
  const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel);
  const auto pad = static_cast<std::size_t>(scanlinePad);
  return (bits + pad - 1) / pad * pad / 8;
}

void PixelFormat::store(std::uint8_t* p, std::uint32_t value) const {
  const int bytes = bitsPerPixel / 8;
  for (int i = 0; i < bytes; ++i) {
    const int shift = 8 * (msbFirst ? bytes - 1 - i : i);
    p[i] = static_cast<std::uint8_t>(value >> shift);
  }
}

// ---------------------------------------------------------------------------------------------
// Connection

Connection* Connection::open() {
  // xcb reports a missing or unreachable display as a connection in error; nothing is printed
  // and nothing of the process is touched.
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (c == nullptr) return nullptr;
  if (xcb_connection_has_error(c) != 0) {
    xcb_disconnect(c);
    return nullptr;
  }
  auto* connection = new (std::nothrow) Connection;
  if (connection == nullptr) {
    xcb_disconnect(c);
    return nullptr;
  }
  connection->xcb = c;
  // Every name asked at once, the answers collected after: one round trip, not one per name.
  Atoms& a = connection->atoms;
  const struct {
    xcb_atom_t* atom;
    const char* name;
  } names[] = {{&a.xdndAware, "XdndAware"},         {&a.xdndEnter, "XdndEnter"},
               {&a.xdndPosition, "XdndPosition"},   {&a.xdndStatus, "XdndStatus"},
               {&a.xdndLeave, "XdndLeave"},         {&a.xdndDrop, "XdndDrop"},
               {&a.xdndFinished, "XdndFinished"},   {&a.xdndSelection, "XdndSelection"},
               {&a.xdndTypeList, "XdndTypeList"},   {&a.xdndActionCopy, "XdndActionCopy"},
               {&a.xdndActionMove, "XdndActionMove"}, {&a.uriList, "text/uri-list"},
               {&a.textPlainUtf8, "text/plain;charset=utf-8"}, {&a.textPlain, "text/plain"},
               {&a.utf8String, "UTF8_STRING"},      {&a.incr, "INCR"},
               {&a.dropProperty, "KESTRANE_DROP"}, {&a.clipboard, "CLIPBOARD"},
               {&a.targets, "TARGETS"},             {&a.pasteProperty, "KESTRANE_PASTE"}};
  xcb_intern_atom_cookie_t cookies[sizeof names / sizeof names[0]];
  for (std::size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
    cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(names[i].name)),
                                 names[i].name);
  }
  for (std::size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
    *names[i].atom = reply != nullptr ? reply->atom : XCB_NONE;
    std::free(reply);
  }

  // Shared memory where the server says it takes it; the attach itself may still fail (a
  // server on another machine), which makePicture finds out. KESTRANE_X11_SHM=0 turns it off
  // (to try the plain transfer).
  xcb_shm_query_version_reply_t* shm =
      xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr);
  const char* wanted = std::getenv("KESTRANE_X11_SHM");
  connection->shm = shm != nullptr && (wanted == nullptr || std::strcmp(wanted, "0") != 0);
  std::free(shm);
  connection->maxRequestBytes = xcb_get_maximum_request_length(c) * 4u;
  connection->loadKeyboard();
  if (!connection->alive()) {
    delete connection;
    return nullptr;
  }
  return connection;
}

Connection::~Connection() {
  for (xcb_generic_event_t* event : deferred) std::free(event);
  if (xcb != nullptr) xcb_disconnect(xcb);
}

xcb_generic_event_t* Connection::nextEvent() {
  if (!deferred.empty()) {
    xcb_generic_event_t* event = deferred.front();
    deferred.pop_front();
    return event;
  }
  return alive() ? xcb_poll_for_event(xcb) : nullptr;
}

bool Connection::alive() {
  if (!lost && xcb_connection_has_error(xcb) != 0) lost = true;
  return !lost;
}

bool Connection::useScreenOf(xcb_window_t root) {
  const xcb_setup_t* setup = xcb_get_setup(xcb);
  for (xcb_screen_iterator_t s = xcb_setup_roots_iterator(setup); s.rem > 0; xcb_screen_next(&s)) {
    if (s.data->root == root) screen = s.data;
  }
  if (screen == nullptr) return false;
  visual = screen->root_visual;
  colormap = screen->default_colormap;
  format.depth = screen->root_depth;
  for (xcb_depth_iterator_t d = xcb_screen_allowed_depths_iterator(screen); d.rem > 0;
       xcb_depth_next(&d)) {
    for (xcb_visualtype_iterator_t v = xcb_depth_visuals_iterator(d.data); v.rem > 0;
         xcb_visualtype_next(&v)) {
      if (v.data->visual_id != visual) continue;
      if (v.data->_class != XCB_VISUAL_CLASS_TRUE_COLOR &&
          v.data->_class != XCB_VISUAL_CLASS_DIRECT_COLOR) {
        return false;
      }
      format.red = v.data->red_mask;
      format.green = v.data->green_mask;
      format.blue = v.data->blue_mask;
    }
  }
  for (xcb_format_iterator_t f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0;
       xcb_format_next(&f)) {
    if (f.data->depth == format.depth) {
      format.bitsPerPixel = f.data->bits_per_pixel;
      format.scanlinePad = f.data->scanline_pad;
    }
  }
  format.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  format.prepare();
  return (format.bitsPerPixel == 16 || format.bitsPerPixel == 32) && format.red != 0 &&
         format.scanlinePad >= 8;
}

void Connection::loadKeyboard() {
  const xcb_setup_t* setup = xcb_get_setup(xcb);
  minKeycode = setup->min_keycode;
  const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
      xcb, xcb_get_keyboard_mapping(xcb, minKeycode, count), nullptr);
  keysyms.clear();
  keysymsPerKeycode = 0;
  if (map == nullptr) return;
  keysymsPerKeycode = map->keysyms_per_keycode;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
  keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(map));
  std::free(map);
}

xcb_keysym_t Connection::keysym(xcb_keycode_t code, std::uint16_t state) const {
  if (keysymsPerKeycode == 0 || code < minKeycode) return 0;
  const std::size_t row = static_cast<std::size_t>(code - minKeycode) * keysymsPerKeycode;
  if (row + keysymsPerKeycode > keysyms.size()) return 0;
  const xcb_keysym_t lower = keysyms[row];
  xcb_keysym_t upper = keysymsPerKeycode > 1 ? keysyms[row + 1] : 0;
  if (upper == 0) upper = lower;
  const bool shifted = (state & XCB_MOD_MASK_SHIFT) != 0;
  const bool letter = (lower >= 'a' && lower <= 'z');
  const bool locked = (state & XCB_MOD_MASK_LOCK) != 0 && letter;
  return shifted != locked ? upper : lower;
}

void Connection::sync() {
  std::free(xcb_get_input_focus_reply(xcb, xcb_get_input_focus(xcb), nullptr));
}

void Connection::sendMessage(xcb_window_t window, xcb_atom_t type,
                             const std::uint32_t (&data)[5]) {
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = type;
  for (int i = 0; i < 5; ++i) message.data.data32[i] = data[i];
  xcb_send_event(xcb, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
  xcb_flush(xcb);
}

void Connection::answerSelection(const xcb_selection_request_event_t& request,
                                 xcb_atom_t property) {
  xcb_selection_notify_event_t notify{};
  notify.response_type = XCB_SELECTION_NOTIFY;
  notify.time = request.time;
  notify.requestor = request.requestor;
  notify.selection = request.selection;
  notify.target = request.target;
  notify.property = property;
  xcb_send_event(xcb, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&notify));
  xcb_flush(xcb);
}

xcb_generic_event_t* waitEvent(Connection& connection, int milliseconds) {
  if (!connection.alive()) return nullptr;
  if (xcb_generic_event_t* event = connection.nextEvent()) return event;
  pollfd fd{xcb_get_file_descriptor(connection.xcb), POLLIN, 0};
  if (::poll(&fd, 1, milliseconds) <= 0) return nullptr;
  return xcb_poll_for_event(connection.xcb);
}

// ---------------------------------------------------------------------------------------------
// Pictures

bool makePicture(Connection& connection, OpaqueWindow* window) {
  Picture& picture = window->picture;
  picture.image = OpaqueImage(window->width, window->height, false, 0);
  picture.image.tracksDamage = true;
  picture.gc = xcb_generate_id(connection.xcb);
  const std::uint32_t noExposures = 0;
  xcb_create_gc(connection.xcb, picture.gc, window->id, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
  if (!connection.shm) return true;
  // The segment is marked for removal as soon as both sides hold it, so that it goes away with
  // the process whatever happens.
  const std::size_t size = connection.format.rowBytes(window->width) *
                           static_cast<std::size_t>(window->height);
  const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (id < 0) return true;
  void* data = shmat(id, nullptr, 0);
  if (data == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return true;
  }
  const std::uint32_t segment = xcb_generate_id(connection.xcb);
  xcb_generic_error_t* error =
      xcb_request_check(connection.xcb, xcb_shm_attach_checked(connection.xcb, segment,
                                                                static_cast<std::uint32_t>(id), 0));
  shmctl(id, IPC_RMID, nullptr);
  if (error != nullptr) {
    std::free(error);
    shmdt(data);
    return true;
  }
  picture.shared = SharedImage{segment, id, static_cast<std::uint8_t*>(data), size};
  return true;
}

void dropPicture(Connection& connection, Picture& picture) {
  if (picture.shared.segment != 0) {
    if (connection.alive()) xcb_shm_detach(connection.xcb, picture.shared.segment);
    shmdt(picture.shared.data);
    picture.shared = SharedImage{};
  }
  if (picture.gc != 0 && connection.alive()) xcb_free_gc(connection.xcb, picture.gc);
  picture.gc = 0;
}

void present(OpaqueWindow* window) {
  if (window == nullptr) return;
  presentBox(window, window->picture.image.takeDamage());
}

void presentBox(OpaqueWindow* window, Bounds box) {
  if (window == nullptr || window->destroyed || window->released) return;
  Connection& connection = *window->connection;
  Picture& picture = window->picture;
  const OpaqueImage& image = picture.image;
  box.left = std::max(box.left, 0);
  box.top = std::max(box.top, 0);
  box.right = std::min(box.right, image.width);
  box.bottom = std::min(box.bottom, image.height);
  if (box.left >= box.right || box.top >= box.bottom || !connection.alive()) return;
  const PixelFormat& format = connection.format;
  const int bytesPerPixel = format.bitsPerPixel / 8;
  const int width = box.right - box.left;

  if (picture.shared.segment != 0) {
    // The whole picture's layout in the segment; only the box is converted and sent. The server
    // has read the segment when the round trip after the request returns, so the next
    // conversion never overwrites what it still reads.
    const std::size_t stride = format.rowBytes(image.width);
    for (int y = box.top; y < box.bottom; ++y) {
      std::uint8_t* row = picture.shared.data + static_cast<std::size_t>(y) * stride;
      for (int x = box.left; x < box.right; ++x) {
        format.store(row + static_cast<std::size_t>(x * bytesPerPixel),
                     format.pixel(image.at(x, y)));
      }
    }
    xcb_shm_put_image(connection.xcb, window->id, picture.gc,
                      static_cast<std::uint16_t>(image.width),
                      static_cast<std::uint16_t>(image.height),
                      static_cast<std::uint16_t>(box.left), static_cast<std::uint16_t>(box.top),
                      static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(box.bottom - box.top),
                      static_cast<std::int16_t>(box.left), static_cast<std::int16_t>(box.top),
                      format.depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, picture.shared.segment, 0);
    connection.sync();
    return;
  }

  // Plain requests, as many rows each as the server's request size allows.
  const std::size_t stride = format.rowBytes(width);
  const std::size_t room = connection.maxRequestBytes > 64 ? connection.maxRequestBytes - 64 : 0;
  const int rowsPerRequest = std::max(1, static_cast<int>(room / std::max<std::size_t>(stride, 1)));
  std::vector<std::uint8_t> rows;
  for (int top = box.top; top < box.bottom; top += rowsPerRequest) {
    const int count = std::min(rowsPerRequest, box.bottom - top);
    rows.assign(stride * static_cast<std::size_t>(count), 0);
    for (int r = 0; r < count; ++r) {
      std::uint8_t* row = rows.data() + static_cast<std::size_t>(r) * stride;
      for (int x = 0; x < width; ++x) {
        format.store(row + static_cast<std::size_t>(x * bytesPerPixel),
                     format.pixel(image.at(box.left + x, top + r)));
      }
    }
    xcb_put_image(connection.xcb, XCB_IMAGE_FORMAT_Z_PIXMAP, window->id, picture.gc,
                  static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(count),
                  static_cast<std::int16_t>(box.left), static_cast<std::int16_t>(top), 0,
                  format.depth, static_cast<std::uint32_t>(rows.size()), rows.data());
  }
  // As with shared memory: what was drawn is on the screen when this returns.
  connection.sync();
}

}  // namespace kestrane::platform::x11
