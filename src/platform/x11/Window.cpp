// The frame's child window inside the host's X11 window, on a connection of its own: creation
// and destruction, event delivery in batches from the owner's idle, window surfaces that draw
// into the window's picture and send what changed, and the module's name.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "platform/x11/X11.h"

namespace kestrane::platform {

namespace x11 {

namespace {

// Events handled per call of processWindowEvents: the host's thread is never held longer than
// that (a control's own loop aside).
constexpr int kEventBatch = 64;

void* storedModuleInstance = nullptr;
char className[32] = "";

OpaqueWindow* windowWithId(Connection& connection, xcb_window_t id) {
  for (OpaqueWindow* frame : frames()) {
    if (frame->connection != &connection || frame->released) continue;
    if (frame->id == id) return frame;
    if (frame->field != nullptr && frame->field->id == id) return frame->field;
  }
  return nullptr;
}

void paintWhole(OpaqueWindow* frame) {
  frame->painted = true;
  if (frame->handler == nullptr) return;
  SurfaceRef surface = acquireWindowSurface(frame);
  if (surface == nullptr) return;
  frame->handler->windowPaint(surface);
  releaseWindowSurface(frame, surface);
}

// The server destroyed the window (its parent went first) or the link to it broke: the owner
// hears of it once, and nothing is sent for the window any more.
void windowGone(OpaqueWindow* window) {
  if (window->destroyed) return;
  window->destroyed = true;
  if (window->kind == WindowKind::Frame && window->handler != nullptr) {
    window->handler->windowDestroyed();
  }
}

void freeWindow(OpaqueWindow* window) {
  if (window->kind == WindowKind::Frame) {
    Connection* connection = window->connection;
    delete window;
    delete connection;
  } else {
    delete window;
  }
}

}  // namespace

std::vector<OpaqueWindow*>& frames() {
  static std::vector<OpaqueWindow*> live;
  return live;
}

OpaqueWindow*& deliveringWindow() {
  static OpaqueWindow* window = nullptr;
  return window;
}

Connection* activeConnection() {
  OpaqueWindow* window = deliveringWindow();
  if (window == nullptr && !frames().empty()) window = frames().back();
  if (window == nullptr || !window->connection->alive()) return nullptr;
  return window->connection;
}

PressState& pendingPress() {
  static PressState press;
  return press;
}

Position screenOrigin(OpaqueWindow* window) {
  if (window == nullptr || window->destroyed || !window->connection->alive()) return Position{};
  Connection& c = *window->connection;
  xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
      c.xcb, xcb_translate_coordinates(c.xcb, window->id, c.screen->root, 0, 0), nullptr);
  const Position origin = reply != nullptr ? Position{reply->dst_x, reply->dst_y} : Position{};
  std::free(reply);
  return origin;
}

void releaseWindow(OpaqueWindow* window) {
  if (window == nullptr || window->released) return;
  Connection& connection = *window->connection;
  window->released = true;
  window->handler = nullptr;
  window->editHandler = nullptr;
  window->dropHandler = nullptr;
  if (connection.alive()) {
    if (!window->destroyed) xcb_destroy_window(connection.xcb, window->id);
    dropPicture(connection, window->picture);
    // The window is gone from the screen when this returns (the host may reuse or destroy its
    // own window next).
    connection.sync();
  } else {
    dropPicture(connection, window->picture);
  }
  // An event for it may be under way further up the stack: it goes once delivery is over.
  if (connection.dispatching > 0) {
    connection.released.push_back(window);
  } else {
    freeWindow(window);
  }
}

void freeReleased(Connection& connection) {
  std::vector<OpaqueWindow*> gone;
  gone.swap(connection.released);
  // Edit fields and popups before their frame, which takes the connection with it.
  std::stable_partition(gone.begin(), gone.end(),
                        [](OpaqueWindow* w) { return w->kind != WindowKind::Frame; });
  for (OpaqueWindow* window : gone) freeWindow(window);
}

int buttonBits(std::uint16_t state) {
  int bits = 0;
  if ((state & XCB_BUTTON_MASK_1) != 0) bits |= LeftButtonBit;
  if ((state & XCB_BUTTON_MASK_2) != 0) bits |= MiddleButtonBit;
  if ((state & XCB_BUTTON_MASK_3) != 0) bits |= RightButtonBit;
  if ((state & XCB_MOD_MASK_SHIFT) != 0) bits |= ShiftBit;
  if ((state & XCB_MOD_MASK_CONTROL) != 0) bits |= ControlBit;
  if ((state & XCB_MOD_MASK_1) != 0) bits |= AltBit;
  return bits;
}

void deliver(Connection& connection, xcb_generic_event_t* event) {
  const std::uint8_t type = event->response_type & 0x7F;
  // Inside a control's loop (a delivery within a delivery) the loop reads the mouse itself:
  // clicks and keys meant for the editor are not taken up again there.
  const bool nested = connection.dispatching > 1;
  switch (type) {
    case 0:  // an error for a request that nobody waits for (a window already gone)
      return;
    case XCB_EXPOSE: {
      auto* expose = reinterpret_cast<xcb_expose_event_t*>(event);
      OpaqueWindow* window = windowWithId(connection, expose->window);
      if (window == nullptr || window->destroyed) return;
      if (window->kind == WindowKind::EditField) {
        drawEditField(window);
      } else if (!window->painted) {
        paintWhole(window);
      } else {
        // The picture is whole here: the exposed box is sent again as it is.
        window->picture.image.touch(expose->x, expose->y, expose->x + expose->width,
                                    expose->y + expose->height);
      }
      return;
    }
    case XCB_BUTTON_PRESS: {
      if (editFieldEvent(connection, event)) return;
      auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
      OpaqueWindow* window = windowWithId(connection, press->event);
      if (nested || window == nullptr || window->kind != WindowKind::Frame ||
          window->handler == nullptr || window->destroyed) {
        return;
      }
      if (press->detail == 4 || press->detail == 5) {
        window->handler->windowWheel(press->detail == 4 ? 1.0f : -1.0f);
        return;
      }
      if (press->detail < 1 || press->detail > 3) return;
      // The editor takes the keyboard when clicked (for its edit fields and menus).
      xcb_set_input_focus(connection.xcb, XCB_INPUT_FOCUS_PARENT, window->id, press->time);
      static constexpr int kButton[4] = {0, LeftButtonBit, MiddleButtonBit, RightButtonBit};
      PressState& pending = pendingPress();
      pending.pending = true;
      pending.buttons = (buttonBits(press->state) & ~(LeftButtonBit | MiddleButtonBit |
                                                       RightButtonBit)) |
                        kButton[press->detail];
      pending.cursor = Position{press->root_x, press->root_y};
      window->handler->windowMouseDown(Position{press->event_x, press->event_y},
                                       kButton[press->detail]);
      pendingPress().pending = false;
      return;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY:
      if (!nested || type == XCB_FOCUS_OUT) editFieldEvent(connection, event);
      return;
    case XCB_SELECTION_REQUEST:
    case XCB_SELECTION_CLEAR:
      clipboardEvent(connection, event);
      return;
    case XCB_DESTROY_NOTIFY: {
      auto* destroy = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
      if (destroy->window != destroy->event) return;
      if (OpaqueWindow* window = windowWithId(connection, destroy->window)) windowGone(window);
      return;
    }
    case XCB_CLIENT_MESSAGE:
    case XCB_SELECTION_NOTIFY:
      dropEvent(connection, event);
      return;
    case XCB_MAPPING_NOTIFY:
      connection.loadKeyboard();
      return;
    default:
      return;
  }
}

}  // namespace x11

using x11::Connection;
using x11::WindowKind;

// ---------------------------------------------------------------------------------------------
// The rasteriser's view of a window

namespace raster {
OpaqueImage* windowImage(OpaqueWindow* window) {
  if (window == nullptr || window->destroyed || window->released) return nullptr;
  return &window->picture.image;
}
}  // namespace raster

// ---------------------------------------------------------------------------------------------
// Module

void setModuleInstance(void* instance) { x11::storedModuleInstance = instance; }
void* moduleInstance() { return x11::storedModuleInstance; }

// ---------------------------------------------------------------------------------------------
// Child window

WindowRef createChildWindow(void* parent, int width, int height) {
  // The host's window id, an X11 XID of at most 29 bits; the value is only ever sent to the
  // server, which says whether it names a window.
  const auto value = reinterpret_cast<std::uintptr_t>(parent);
  if (value == 0 || value > 0x1FFFFFFFu || width <= 0 || height <= 0 || width > 0x7FFF ||
      height > 0x7FFF) {
    return nullptr;
  }
  const auto parentId = static_cast<xcb_window_t>(value);
  Connection* connection = Connection::open();
  if (connection == nullptr) return nullptr;
  xcb_connection_t* c = connection->xcb;
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(c, xcb_get_geometry(c, parentId), nullptr);
  const bool usable = geometry != nullptr && connection->useScreenOf(geometry->root);
  std::free(geometry);
  if (!usable) {
    delete connection;
    return nullptr;
  }
  auto* window = new (std::nothrow) OpaqueWindow;
  if (window == nullptr) {
    delete connection;
    return nullptr;
  }
  window->connection = connection;
  window->width = width;
  window->height = height;
  window->id = xcb_generate_id(c);
  // Values in the order of their mask bits. No background: the picture covers every pixel.
  const std::uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                               XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_KEY_PRESS |
                               XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                               XCB_EVENT_MASK_FOCUS_CHANGE;
  const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0, events, connection->colormap};
  xcb_generic_error_t* error = xcb_request_check(
      c, xcb_create_window_checked(
             c, connection->format.depth, window->id, parentId, 0, 0,
             static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
             XCB_WINDOW_CLASS_INPUT_OUTPUT, connection->visual,
             XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP,
             values));
  if (error != nullptr) {  // the parent went in the meantime
    std::free(error);
    delete window;
    delete connection;
    return nullptr;
  }
  x11::makePicture(*connection, window);
  xcb_map_window(c, window->id);
  xcb_flush(c);
  x11::frames().push_back(window);
  return window;
}

void destroyChildWindow(WindowRef window) {
  if (window == nullptr || window->kind != WindowKind::Frame) return;
  auto& live = x11::frames();
  live.erase(std::remove(live.begin(), live.end(), window), live.end());
  if (window->field != nullptr) destroyEditField(window->field);
  if (!window->destroyed && window->handler != nullptr) window->handler->windowDestroyed();
  x11::releaseWindow(window);
}

void setWindowHandler(WindowRef window, WindowHandler* handler) {
  if (window != nullptr && !window->released) window->handler = handler;
}

WindowHandler* windowHandler(WindowRef window) {
  return window != nullptr ? window->handler : nullptr;
}

Bounds windowScreenBounds(WindowRef window) {
  if (window == nullptr || window->destroyed || window->released) return Bounds{};
  const Position origin = x11::screenOrigin(window);
  return Bounds{origin.x, origin.y, origin.x + window->width, origin.y + window->height};
}

void* systemWindowHandle(WindowRef window) {
  if (window == nullptr) return nullptr;
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window->id));
}

const char* windowClassName() {
  if (x11::className[0] == '\0') {
    std::snprintf(x11::className, sizeof x11::className, "Plugin%08x",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(moduleInstance())));
  }
  return x11::className;
}

int windowClassUseCount() { return static_cast<int>(x11::frames().size()); }

// Exposures arrive with the window's other events (processWindowEvents), which the editor's
// idle delivers on every pass of a control's loop too.
bool dispatchPendingPaint() { return false; }

bool processWindowEvents(WindowRef window) {
  if (window == nullptr || window->kind != WindowKind::Frame) return true;
  if (window->released) return false;
  Connection& connection = *window->connection;
  ++connection.dispatching;
  OpaqueWindow* outer = x11::deliveringWindow();
  x11::deliveringWindow() = window;
  for (int handled = 0; handled < x11::kEventBatch && !window->released; ++handled) {
    if (!connection.alive()) break;
    xcb_generic_event_t* event = connection.nextEvent();
    if (event == nullptr) break;
    x11::deliver(connection, event);
    std::free(event);
  }
  if (!connection.alive()) {
    if (window->field != nullptr) window->field->destroyed = true;
    x11::windowGone(window);
  }
  if (!window->released) {
    x11::present(window);
    x11::present(window->field);
  }
  x11::deliveringWindow() = outer;
  --connection.dispatching;
  const bool alive = !window->released;
  if (connection.dispatching == 0) x11::freeReleased(connection);
  return alive;
}

// ---------------------------------------------------------------------------------------------
// Window surfaces

SurfaceRef acquireWindowSurface(WindowRef window) { return raster::newWindowSurface(window); }

void releaseWindowSurface(WindowRef window, SurfaceRef surface) {
  if (surface == nullptr || surface->memory) return;
  delete surface;
  x11::present(window);
}

}  // namespace kestrane::platform
