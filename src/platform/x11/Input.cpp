// Live input, time and cursors of the X11 backend: the mouse buttons, modifier keys and cursor
// position are asked of the server when read (as the system's key state is on Windows), except
// that the first poll after a click reports the click's own state.
#include <time.h>

#include <cstdlib>

#include "platform/x11/X11.h"

namespace kestrane::platform {

namespace {

// The pointer's state on the active connection; false when there is none.
bool queryPointer(std::uint16_t& mask, Position& root) {
  x11::Connection* c = x11::activeConnection();
  if (c == nullptr) return false;
  xcb_query_pointer_reply_t* reply =
      xcb_query_pointer_reply(c->xcb, xcb_query_pointer(c->xcb, c->screen->root), nullptr);
  if (reply == nullptr) return false;
  mask = reply->mask;
  root = Position{reply->root_x, reply->root_y};
  std::free(reply);
  return true;
}

// The cursor font's shapes, in CursorShape order.
constexpr std::uint16_t kCursorGlyphs[] = {68, 150, 108, 116, 52, 12, 14};

OpaqueCursor* shownCursor = nullptr;

}  // namespace

int pollButtons() {
  x11::PressState& press = x11::pendingPress();
  if (press.pending) {
    press.pending = false;
    return press.buttons;
  }
  std::uint16_t mask = 0;
  Position root;
  return queryPointer(mask, root) ? x11::buttonBits(mask) : 0;
}

bool keyDown(Key key) {
  if (key == Key::Return) {
    x11::Connection* c = x11::activeConnection();
    if (c == nullptr || c->keysymsPerKeycode == 0) return false;
    xcb_query_keymap_reply_t* keymap =
        xcb_query_keymap_reply(c->xcb, xcb_query_keymap(c->xcb), nullptr);
    if (keymap == nullptr) return false;
    bool held = false;
    for (std::size_t i = 0; i < c->keysyms.size(); i += c->keysymsPerKeycode) {
      if (c->keysyms[i] != x11::keysym::kReturn) continue;
      const std::size_t code = c->minKeycode + i / c->keysymsPerKeycode;
      if (code < 256 && (keymap->keys[code / 8] & (1u << (code % 8))) != 0) held = true;
    }
    std::free(keymap);
    return held;
  }
  int bits = 0;
  const x11::PressState& press = x11::pendingPress();
  if (press.pending) {
    bits = press.buttons;
  } else {
    std::uint16_t mask = 0;
    Position root;
    if (queryPointer(mask, root)) bits = x11::buttonBits(mask);
  }
  return modifierIn(bits, key);
}

Position cursorPosition() {
  const x11::PressState& press = x11::pendingPress();
  if (press.pending) return press.cursor;
  std::uint16_t mask = 0;
  Position root;
  return queryPointer(mask, root) ? root : Position{};
}

std::uint32_t doubleClickTime() { return 500; }

std::uint32_t tickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

void sleep(std::uint32_t milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000u),
                static_cast<long>(milliseconds % 1000u) * 1000000L};
  while (nanosleep(&wait, &wait) != 0) {
  }
}

CursorRef currentCursor() {
  if (shownCursor == nullptr) shownCursor = systemCursor(CursorShape::Arrow);
  return shownCursor;
}

void setCursor(CursorRef cursor) {
  if (cursor == nullptr) return;
  shownCursor = cursor;
  // Shown over the active editor's window, from the server's cursor font.
  OpaqueWindow* window = x11::deliveringWindow();
  if (window == nullptr && !x11::frames().empty()) window = x11::frames().back();
  if (window == nullptr || window->destroyed || !window->connection->alive()) return;
  xcb_connection_t* c = window->connection->xcb;
  const xcb_font_t font = xcb_generate_id(c);
  xcb_open_font(c, font, 6, "cursor");
  const xcb_cursor_t shape = xcb_generate_id(c);
  const std::uint16_t glyph = kCursorGlyphs[static_cast<int>(cursor->shape)];
  xcb_create_glyph_cursor(c, shape, font, font, glyph, static_cast<std::uint16_t>(glyph + 1), 0,
                          0, 0, 0xFFFF, 0xFFFF, 0xFFFF);
  xcb_change_window_attributes(c, window->id, XCB_CW_CURSOR, &shape);
  xcb_free_cursor(c, shape);
  xcb_close_font(c, font);
  xcb_flush(c);
}

// Drag and drop needs no per-thread set-up here (the drop target speaks XDND itself).
void initializeOle() {}
void uninitializeOle() {}

}  // namespace kestrane::platform
