// Windows, messages, input, time, cursors, menus and edit fields of the headless backend. The
// "host" is the test: it creates the parent window, delivers paint and click messages, and
// scripts the mouse, the keys and the clock (platform/headless/Headless.h).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <new>

#include "platform/headless/Headless.h"
#include "platform/headless/Objects.h"

namespace kestrane::platform {

struct OpaqueMenu {
  std::vector<headless::MenuItemRecord> items;
};

namespace {

constexpr int kMouseBits = LeftButtonBit | MiddleButtonBit | RightButtonBit;

struct InputWorld {
  std::deque<headless::InputState> script;
  headless::InputState current;
  std::uint32_t polls = 0;
  std::uint32_t clock = headless::kClockStart;
  std::uint32_t slept = 0;
  std::uint32_t sleeps = 0;
};

InputWorld& input() {
  static InputWorld world;
  return world;
}

struct WindowWorld {
  std::vector<OpaqueWindow*> windows;  // every live window, hosts included
  int classUses = 0;
  int chosenMenuItem = -1;
  std::vector<headless::MenuItemRecord> lastMenu;
  OpaqueCursor* cursor = nullptr;
  void* moduleInstance = nullptr;
};

WindowWorld& world() {
  static WindowWorld w;
  return w;
}

// The live window of this backend whose address is `handle`, or null. Only the addresses are
// compared: a handle that the backend did not hand out (a host's system window id, a stale or
// garbage value) is never read through.
OpaqueWindow* ownWindow(const void* handle) {
  const auto address = reinterpret_cast<std::uintptr_t>(handle);
  for (OpaqueWindow* window : world().windows) {
    if (reinterpret_cast<std::uintptr_t>(window) == address) {
      return window->destroyed || window->editField ? nullptr : window;
    }
  }
  return nullptr;
}

void forget(OpaqueWindow* window) {
  auto& list = world().windows;
  list.erase(std::remove(list.begin(), list.end(), window), list.end());
  for (OpaqueWindow* other : list) {
    if (other->parent == window) other->parent = nullptr;
  }
}

void paintNow(OpaqueWindow* window) {
  window->paintPending = false;
  if (window->handler == nullptr || window->destroyed) return;
  SurfaceRef surface = acquireWindowSurface(window);
  window->handler->windowPaint(surface);
  releaseWindowSurface(window, surface);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The rasteriser's view of a window

namespace raster {
OpaqueImage* windowImage(OpaqueWindow* window) {
  return window == nullptr || window->destroyed ? nullptr : &window->pixels;
}
}  // namespace raster

// ---------------------------------------------------------------------------------------------
// Module

void setModuleInstance(void* instance) { world().moduleInstance = instance; }
void* moduleInstance() { return world().moduleInstance; }

// ---------------------------------------------------------------------------------------------
// Windows

WindowRef createChildWindow(void* parent, int width, int height) {
  // The parent must be a window this backend made (the test's host window): any other value,
  // such as the window id a real host passes, is refused without being looked at.
  OpaqueWindow* host = ownWindow(parent);
  if (host == nullptr || width < 0 || height < 0) return nullptr;
  auto* window = new (std::nothrow) OpaqueWindow;
  if (window == nullptr) return nullptr;
  window->parent = host;
  window->screen = Bounds{host->screen.left, host->screen.top, host->screen.left + width,
                          host->screen.top + height};
  window->pixels = OpaqueImage(width, height, false, 0);
  window->child = true;
  window->paintPending = true;  // a new visible window is painted first thing
  world().windows.push_back(window);
  ++world().classUses;
  return window;
}

void destroyChildWindow(WindowRef window) {
  if (window == nullptr) return;
  // Edit fields and other children go with it.
  for (OpaqueWindow* other : headless::childWindows(window)) {
    if (other->editField) destroyEditField(other);
  }
  if (!window->destroyed) {
    window->destroyed = true;
    if (window->handler != nullptr) window->handler->windowDestroyed();
  }
  if (window->child && world().classUses > 0) --world().classUses;
  forget(window);
  delete window;
}

void setWindowHandler(WindowRef window, WindowHandler* handler) {
  if (window != nullptr) window->handler = handler;
}

WindowHandler* windowHandler(WindowRef window) {
  return window != nullptr ? window->handler : nullptr;
}

Bounds windowScreenBounds(WindowRef window) { return window != nullptr ? window->screen : Bounds{}; }

void* systemWindowHandle(WindowRef window) { return window; }

const char* windowClassName() { return "Plugin00000000"; }

int windowClassUseCount() { return world().classUses; }

// The host's message loop delivers every event.
bool processWindowEvents(WindowRef /*window*/) { return true; }

bool dispatchPendingPaint() {
  for (OpaqueWindow* window : world().windows) {
    if (window->paintPending && !window->destroyed) {
      paintNow(window);
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Input and time

int pollButtons() {
  InputWorld& in = input();
  ++in.polls;
  if (!in.script.empty()) {
    in.current = in.script.front();
    in.script.pop_front();
  } else {
    in.current.buttons &= ~kMouseBits;
  }
  return in.current.buttons;
}

bool keyDown(Key key) { return modifierIn(input().current.buttons, key); }

Position cursorPosition() { return input().current.cursor; }

std::uint32_t doubleClickTime() { return 500; }

std::uint32_t tickCount() { return input().clock; }

void sleep(std::uint32_t milliseconds) {
  InputWorld& in = input();
  in.clock += milliseconds;
  in.slept += milliseconds;
  ++in.sleeps;
}

CursorRef currentCursor() {
  if (world().cursor == nullptr) world().cursor = systemCursor(CursorShape::Arrow);
  return world().cursor;
}

void setCursor(CursorRef cursor) {
  if (cursor != nullptr) world().cursor = cursor;
}

// ---------------------------------------------------------------------------------------------
// Window surfaces

SurfaceRef acquireWindowSurface(WindowRef window) { return raster::newWindowSurface(window); }

void releaseWindowSurface(WindowRef /*window*/, SurfaceRef surface) {
  if (surface != nullptr && !surface->memory) delete surface;
}

// ---------------------------------------------------------------------------------------------
// Menus

MenuRef createPopupMenu() { return new (std::nothrow) OpaqueMenu; }

bool appendMenuItem(MenuRef menu, int id, const char* text, unsigned flags) {
  if (menu == nullptr) return false;
  menu->items.push_back({id, text != nullptr ? text : "", flags});
  return true;
}

int trackPopupMenu(MenuRef menu, WindowRef /*owner*/, Position /*screen*/, bool /*rightButton*/) {
  if (menu == nullptr) return -1;
  world().lastMenu = menu->items;
  const int chosen = world().chosenMenuItem;
  world().chosenMenuItem = -1;
  for (const auto& item : menu->items) {
    if (item.id == chosen && (item.flags & (MenuItemSeparator | MenuItemGrayed |
                                            MenuItemDisabled)) == 0) {
      return chosen;
    }
  }
  return -1;
}

void destroyMenu(MenuRef menu) { delete menu; }

void discardMouseMessages(WindowRef /*window*/) {}

// ---------------------------------------------------------------------------------------------
// Edit fields

WindowRef createEditField(WindowRef parent, Bounds bounds, const char* text,
                          EditAlignment /*alignment*/, FontRef /*font*/,
                          EditFieldHandler* handler) {
  if (parent == nullptr || parent->destroyed) return nullptr;
  auto* field = new (std::nothrow) OpaqueWindow;
  if (field == nullptr) return nullptr;
  field->parent = parent;
  field->screen = Bounds{parent->screen.left + bounds.left, parent->screen.top + bounds.top,
                         parent->screen.left + bounds.right, parent->screen.top + bounds.bottom};
  field->editField = true;
  field->edit.setText(text != nullptr ? text : "");
  field->editHandler = handler;
  world().windows.push_back(field);
  return field;
}

int editFieldText(WindowRef field, char* text, int capacity) {
  if (field == nullptr) return 0;
  return field->edit.copyText(text, capacity);
}

void destroyEditField(WindowRef field) {
  if (field == nullptr) return;
  forget(field);
  delete field;
}

// ---------------------------------------------------------------------------------------------
// OLE and drop targets: nothing is dragged here; registration only remembers the handler.

void initializeOle() {}
void uninitializeOle() {}

bool registerDropTarget(WindowRef window, DropHandler* handler) {
  if (window == nullptr || window->destroyed) return false;
  window->dropHandler = handler;
  return true;
}

void revokeDropTarget(WindowRef window) {
  if (window != nullptr) window->dropHandler = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The test's side

namespace headless {

void resetInput() { input() = InputWorld{}; }

void setInput(InputState state) { input().current = state; }

void scriptInput(const std::vector<InputState>& states) {
  input().script.insert(input().script.end(), states.begin(), states.end());
}

std::size_t scriptRemaining() { return input().script.size(); }

void clearScript() { input().script.clear(); }

InputState currentInput() { return input().current; }

std::uint32_t pollCount() { return input().polls; }

void setTickCount(std::uint32_t milliseconds) { input().clock = milliseconds; }

void advanceClock(std::uint32_t milliseconds) { input().clock += milliseconds; }

std::uint32_t sleptMilliseconds() { return input().slept; }

std::uint32_t sleepCount() { return input().sleeps; }

WindowRef createHostWindow(Bounds screen) {
  auto* host = new (std::nothrow) OpaqueWindow;
  if (host == nullptr) return nullptr;
  host->screen = screen;
  host->pixels = OpaqueImage(std::max(screen.right - screen.left, 0),
                             std::max(screen.bottom - screen.top, 0), false, 0);
  world().windows.push_back(host);
  return host;
}

void destroyHostWindow(WindowRef host) {
  if (host == nullptr) return;
  for (OpaqueWindow* child : childWindows(host)) {
    if (!child->destroyed) {
      child->destroyed = true;
      if (child->handler != nullptr) child->handler->windowDestroyed();
    }
  }
  forget(host);
  delete host;
}

void invalidateWindow(WindowRef window) {
  if (window != nullptr) window->paintPending = true;
}

bool paintPending(WindowRef window) { return window != nullptr && window->paintPending; }

void sendPaint(WindowRef window) {
  if (window != nullptr) paintNow(window);
}

void sendMouseDown(WindowRef window, Position client, int button) {
  if (window != nullptr && !window->destroyed && window->handler != nullptr) {
    window->handler->windowMouseDown(client, button);
  }
}

int dropTargetCount() {
  int count = 0;
  for (const OpaqueWindow* window : world().windows) count += window->dropHandler != nullptr;
  return count;
}

std::vector<WindowRef> childWindows(WindowRef parent) {
  std::vector<WindowRef> children;
  for (OpaqueWindow* window : world().windows) {
    if (window->parent == parent && parent != nullptr) children.push_back(window);
  }
  return children;
}

void typeIntoEditField(WindowRef field, const std::string& text) {
  // As the scripted user on Windows types: all selected, then the characters one by one.
  if (field == nullptr || !field->editField) return;
  field->edit.selectAll();
  field->edit.insert(text);
}

void pressReturnInEditField(WindowRef field) {
  if (field != nullptr && field->editField && field->editHandler != nullptr) {
    field->editHandler->editFieldDone();
  }
}

void choosePopupMenuItem(int id) { world().chosenMenuItem = id; }

std::vector<MenuItemRecord> lastPopupMenu() { return world().lastMenu; }

std::vector<ColorRef> windowPixels(WindowRef window, int& width, int& height) {
  width = window != nullptr ? window->pixels.width : 0;
  height = window != nullptr ? window->pixels.height : 0;
  return window != nullptr ? window->pixels.pixels : std::vector<ColorRef>{};
}

}  // namespace headless

}  // namespace kestrane::platform
