// The test's side of the X server: its own connection (the backend's Connection, used by the
// test as a host would use Xlib or xcb), host windows, pixels read back, XTest input and an
// XDND drag source.
#include "platform/x11/TestX11.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/x11/X11.h"

namespace kestrane::platform::testx11 {

namespace {

x11::Connection* test = nullptr;

xcb_connection_t* c() { return test != nullptr ? test->xcb : nullptr; }

// The atom of a name on a connection (the test's or a helper's own), or none.
xcb_atom_t atomOn(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr);
  const xcb_atom_t value = reply != nullptr ? reply->atom : XCB_NONE;
  std::free(reply);
  return value;
}

xcb_atom_t atom(const char* name) { return atomOn(c(), name); }

std::string atomName(xcb_atom_t value) {
  if (value == XCB_NONE) return std::string();
  xcb_get_atom_name_reply_t* reply =
      xcb_get_atom_name_reply(c(), xcb_get_atom_name(c(), value), nullptr);
  std::string name;
  if (reply != nullptr) {
    name.assign(xcb_get_atom_name_name(reply),
                static_cast<std::size_t>(xcb_get_atom_name_name_length(reply)));
  }
  std::free(reply);
  return name;
}

// The keycode that gives keysym, and whether Shift is needed for it; 0 when none does.
xcb_keycode_t keycodeFor(xcb_keysym_t sym, bool& shift) {
  shift = false;
  const std::size_t per = test->keysymsPerKeycode;
  for (std::size_t i = 0; per > 0 && i + per <= test->keysyms.size(); i += per) {
    const auto code = static_cast<xcb_keycode_t>(test->minKeycode + i / per);
    if (test->keysyms[i] == sym) return code;
    if (per > 1 && test->keysyms[i + 1] == sym) {
      shift = true;
      return code;
    }
  }
  return 0;
}

void sendMessage(xcb_window_t target, xcb_atom_t type, const std::uint32_t (&data)[5]) {
  test->sendMessage(target, type, data);
  sync();
}

}  // namespace

bool connect() {
  if (test != nullptr) return true;
  // A server still tidying up after the last test program may turn a connection away for a
  // moment.
  for (int attempt = 0; attempt < 20 && test == nullptr; ++attempt) {
    test = x11::Connection::open();
    if (test == nullptr) sleep(100);
  }
  if (test == nullptr) return false;
  const xcb_setup_t* setup = xcb_get_setup(test->xcb);
  if (!test->useScreenOf(xcb_setup_roots_iterator(setup).data->root)) {
    disconnect();
    return false;
  }
  return true;
}

void disconnect() {
  delete test;
  test = nullptr;
}

void* createHostWindow(int x, int y, int width, int height) {
  if (test == nullptr) return nullptr;
  const xcb_window_t window = xcb_generate_id(c());
  // Painted grey by the server; placed where asked (there is no window manager to move it).
  const std::uint32_t values[] = {0x808080, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(c(), XCB_COPY_FROM_PARENT, window, test->screen->root,
                    static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                    static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  xcb_map_window(c(), window);
  sync();
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
}

std::uint32_t windowId(void* host) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(host));
}

void destroyHostWindow(void* host) {
  if (test == nullptr || host == nullptr) return;
  xcb_destroy_window(c(), windowId(host));
  sync();
}

std::vector<std::uint32_t> childWindows(std::uint32_t window) {
  std::vector<std::uint32_t> children;
  if (test == nullptr) return children;
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c(), xcb_query_tree(c(), window), nullptr);
  if (tree == nullptr) return children;
  const xcb_window_t* list = xcb_query_tree_children(tree);
  children.assign(list, list + xcb_query_tree_children_length(tree));
  std::free(tree);
  return children;
}

bool windowExists(std::uint32_t window) {
  if (test == nullptr) return false;
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(c(), xcb_get_geometry(c(), window), nullptr);
  std::free(geometry);
  return geometry != nullptr;
}

std::vector<std::uint32_t> popupWindows() {
  std::vector<std::uint32_t> popups;
  if (test == nullptr) return popups;
  for (std::uint32_t window : childWindows(test->screen->root)) {
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        c(), xcb_get_window_attributes(c(), window), nullptr);
    if (attributes != nullptr && attributes->override_redirect != 0 &&
        attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
      popups.push_back(window);
    }
    std::free(attributes);
  }
  return popups;
}

Bounds screenBounds(std::uint32_t window) {
  if (test == nullptr) return Bounds{};
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(c(), xcb_get_geometry(c(), window), nullptr);
  xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
      c(), xcb_translate_coordinates(c(), window, test->screen->root, 0, 0), nullptr);
  Bounds bounds;
  if (geometry != nullptr && origin != nullptr) {
    bounds = Bounds{origin->dst_x, origin->dst_y, origin->dst_x + geometry->width,
                    origin->dst_y + geometry->height};
  }
  std::free(geometry);
  std::free(origin);
  return bounds;
}

std::vector<ColorRef> windowPixels(std::uint32_t window, int width, int height) {
  std::vector<ColorRef> pixels;
  if (test == nullptr || width <= 0 || height <= 0) return pixels;
  xcb_get_image_reply_t* image = xcb_get_image_reply(
      c(),
      xcb_get_image(c(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                    static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                    ~0u),
      nullptr);
  if (image == nullptr) return pixels;
  const x11::PixelFormat& format = test->format;
  const std::uint8_t* data = xcb_get_image_data(image);
  const std::size_t stride = format.rowBytes(width);
  const int bytes = format.bitsPerPixel / 8;
  if (static_cast<std::size_t>(xcb_get_image_data_length(image)) >=
      stride * static_cast<std::size_t>(height)) {
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = data + static_cast<std::size_t>(y) * stride;
      for (int x = 0; x < width; ++x) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
          const int shift = 8 * (format.msbFirst ? bytes - 1 - i : i);
          value |= static_cast<std::uint32_t>(row[x * bytes + i]) << shift;
        }
        pixels.push_back(format.color(value));
      }
    }
  }
  std::free(image);
  return pixels;
}

void movePointer(Position screen) {
  if (test == nullptr) return;
  xcb_test_fake_input(c(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, test->screen->root,
                      static_cast<std::int16_t>(screen.x), static_cast<std::int16_t>(screen.y), 0);
  sync();
}

void button(int number, bool down) {
  if (test == nullptr) return;
  xcb_test_fake_input(c(), down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE,
                      static_cast<std::uint8_t>(number), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  sync();
}

void key(std::uint32_t keysym, bool down) {
  if (test == nullptr) return;
  bool shift = false;
  const xcb_keycode_t code = keycodeFor(keysym, shift);
  if (code == 0) return;
  xcb_test_fake_input(c(), down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME,
                      XCB_NONE, 0, 0, 0);
  sync();
}

void typeText(const std::string& text) {
  for (const char ch : text) {
    bool shift = false;
    const auto sym = static_cast<xcb_keysym_t>(static_cast<unsigned char>(ch));
    if (keycodeFor(sym, shift) == 0) continue;
    if (shift) key(KeyShift, true);
    key(sym, true);
    key(sym, false);
    if (shift) key(KeyShift, false);
  }
}

void sync() {
  if (test != nullptr) test->sync();
}

void chord(std::uint32_t keysym, bool control, bool shift) {
  if (control) key(KeyControl, true);
  if (shift) key(KeyShift, true);
  key(keysym, true);
  key(keysym, false);
  if (shift) key(KeyShift, false);
  if (control) key(KeyControl, false);
}

// ---------------------------------------------------------------------------------------------
// Selections

namespace {

xcb_window_t requestor = 0;

}  // namespace

SelectionOwner::SelectionOwner(const std::string& selection, Answer answer,
                               const std::string& data)
    : answer_(answer), data_(data) {
  x11::Connection* own = x11::Connection::open();
  if (own == nullptr) return;
  connection_ = own;
  const xcb_setup_t* setup = xcb_get_setup(own->xcb);
  const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
  selection_ = atomOn(own->xcb, selection.c_str());
  window_ = xcb_generate_id(own->xcb);
  xcb_create_window(own->xcb, 0, window_, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_set_selection_owner(own->xcb, window_, selection_, XCB_CURRENT_TIME);
  xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
      own->xcb, xcb_get_selection_owner(own->xcb, selection_), nullptr);
  owns_ = owner != nullptr && owner->owner == window_;
  std::free(owner);
  thread_ = std::thread([this] { serve(); });
}

SelectionOwner::~SelectionOwner() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  auto* own = static_cast<x11::Connection*>(connection_);
  if (own != nullptr) {
    xcb_destroy_window(own->xcb, window_);
    own->sync();
    delete own;
  }
}

void SelectionOwner::serve() {
  auto* own = static_cast<x11::Connection*>(connection_);
  const xcb_atom_t utf8 = own->atoms.utf8String;
  while (!stop_) {
    xcb_generic_event_t* event = x11::waitEvent(*own, 20);
    if (event == nullptr) continue;
    if ((event->response_type & 0x7F) == XCB_SELECTION_REQUEST && answer_ != Answer::Silent) {
      auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
      ++requests_;
      xcb_atom_t answered = request->property;
      xcb_connection_t* x = own->xcb;
      const auto length = static_cast<std::uint32_t>(data_.size());
      if (answer_ == Answer::Utf8 && request->target == utf8) {
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                            utf8, 8, length, data_.data());
      } else if (answer_ == Answer::StringOnly && request->target == XCB_ATOM_STRING) {
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                            XCB_ATOM_STRING, 8, length, data_.data());
      } else if (answer_ == Answer::Incremental) {
        const std::uint32_t size = length;
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                            own->atoms.incr, 32, 1, &size);
      } else if (answer_ == Answer::Huge) {
        const std::string huge(1u << 20, '7');
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                            utf8, 8, static_cast<std::uint32_t>(huge.size()), huge.data());
      } else if (answer_ == Answer::WrongFormat) {
        const std::uint32_t units[4] = {0x41414141u, 0, 0xFFFFFFFFu, 10};
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                            utf8, 32, 4, units);
      } else {
        answered = XCB_NONE;
      }
      own->answerSelection(*request, answered);
    }
    std::free(event);
  }
}

std::uint32_t clipboardOwner() {
  if (test == nullptr) return 0;
  xcb_get_selection_owner_reply_t* owner =
      xcb_get_selection_owner_reply(c(), xcb_get_selection_owner(c(), atom("CLIPBOARD")), nullptr);
  const std::uint32_t id = owner != nullptr ? owner->owner : 0;
  std::free(owner);
  return id;
}

void clearClipboard() {
  if (test == nullptr) return;
  xcb_set_selection_owner(c(), XCB_NONE, atom("CLIPBOARD"), XCB_CURRENT_TIME);
  sync();
}

void requestClipboard(const std::string& target) {
  if (test == nullptr) return;
  if (requestor == 0 || !windowExists(requestor)) {
    requestor = xcb_generate_id(c());
    xcb_create_window(c(), 0, requestor, test->screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  }
  xcb_convert_selection(c(), requestor, atom("CLIPBOARD"), atom(target.c_str()),
                        atom("KESTRANE_TEST_PASTE"), XCB_CURRENT_TIME);
  sync();
}

bool clipboardAnswer(std::string& type, std::string& data) {
  if (test == nullptr) return false;
  bool answered = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(c())) {
    if ((event->response_type & 0x7F) == XCB_SELECTION_NOTIFY) {
      auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
      answered = notify->requestor == requestor;
      type.clear();
      data.clear();
      if (answered && notify->property != XCB_NONE) {
        xcb_get_property_reply_t* value = xcb_get_property_reply(
            c(),
            xcb_get_property(c(), 1, requestor, notify->property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                             1u << 20),
            nullptr);
        if (value != nullptr) {
          type = atomName(value->type);
          data.assign(static_cast<const char*>(xcb_get_property_value(value)),
                      static_cast<std::size_t>(xcb_get_property_value_length(value)));
        }
        std::free(value);
      }
    }
    std::free(event);
    if (answered) break;
  }
  return answered;
}

std::vector<std::string> atomNames(const std::string& data) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i + 4 <= data.size(); i += 4) {
    std::uint32_t value = 0;
    std::memcpy(&value, data.data() + i, 4);
    names.push_back(atomName(value));
  }
  return names;
}

// ---------------------------------------------------------------------------------------------
// Drag source

DragSource::DragSource(const std::string& type, const std::string& data) : data_(data) {
  if (test == nullptr) return;
  type_ = atom(type.c_str());
  window_ = xcb_generate_id(c());
  xcb_create_window(c(), 0, window_, test->screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_set_selection_owner(c(), window_, atom("XdndSelection"), XCB_CURRENT_TIME);
  sync();
}

DragSource::~DragSource() {
  if (test != nullptr && window_ != 0) {
    xcb_destroy_window(c(), window_);
    sync();
  }
}

void DragSource::enter(std::uint32_t target) {
  const std::uint32_t data[5] = {window_, 5u << 24, type_, 0, 0};
  sendMessage(target, atom("XdndEnter"), data);
}

void DragSource::position(std::uint32_t target, Position screen) {
  const std::uint32_t data[5] = {
      window_, 0,
      (static_cast<std::uint32_t>(screen.x) << 16) | (static_cast<std::uint32_t>(screen.y) & 0xFFFF),
      XCB_CURRENT_TIME, atom("XdndActionCopy")};
  sendMessage(target, atom("XdndPosition"), data);
}

void DragSource::drop(std::uint32_t target) {
  const std::uint32_t data[5] = {window_, 0, XCB_CURRENT_TIME, 0, 0};
  sendMessage(target, atom("XdndDrop"), data);
}

void DragSource::leave(std::uint32_t target) {
  const std::uint32_t data[5] = {window_, 0, 0, 0, 0};
  sendMessage(target, atom("XdndLeave"), data);
}

void DragSource::serve() {
  if (test == nullptr) return;
  while (xcb_generic_event_t* event = xcb_poll_for_event(c())) {
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_SELECTION_REQUEST) {
      auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
      ++dataRequests;
      xcb_atom_t answered = XCB_NONE;
      if (request->target == type_) {
        xcb_change_property(c(), XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                            type_, 8, static_cast<std::uint32_t>(data_.size()), data_.data());
        answered = request->property;
      }
      test->answerSelection(*request, answered);
      sync();
    } else if (type == XCB_CLIENT_MESSAGE) {
      auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
      const std::uint32_t* d = message->data.data32;
      const std::string name = atomName(message->type);
      if (name == "XdndStatus") {
        statusSeen = true;
        accepted = (d[1] & 1u) != 0;
        statusAction = atomName(d[4]);
      } else if (name == "XdndFinished") {
        finished = true;
        finishedAccepted = (d[1] & 1u) != 0;
        finishedAction = atomName(d[2]);
      }
    }
    std::free(event);
  }
}

}  // namespace kestrane::platform::testx11
