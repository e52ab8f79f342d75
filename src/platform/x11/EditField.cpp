// The single-line edit field of the X11 backend: a child window of the frame's over the text
// control, drawn by the shared rasteriser in the colours the frame asks the control for, with
// the keyboard focus. It takes printable characters, Backspace, Delete, the arrows, Home and
// End; Return, or the focus going elsewhere, tells its owner once.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/x11/X11.h"

namespace kestrane::platform {

namespace {

constexpr ColorRef kSelectionBack = 0xD77800;  // red 0, green 120, blue 215
constexpr ColorRef kSelectionText = 0xFFFFFF;

constexpr xcb_keysym_t kBackSpace = 0xFF08;
constexpr xcb_keysym_t kReturn = 0xFF0D;
constexpr xcb_keysym_t kEnter = 0xFF8D;
constexpr xcb_keysym_t kLeft = 0xFF51;
constexpr xcb_keysym_t kRight = 0xFF53;
constexpr xcb_keysym_t kHome = 0xFF50;
constexpr xcb_keysym_t kEnd = 0xFF57;
constexpr xcb_keysym_t kDelete = 0xFFFF;
constexpr xcb_keysym_t kKeypadDecimal = 0xFFAE;
constexpr xcb_keysym_t kKeypadSubtract = 0xFFAD;
constexpr xcb_keysym_t kKeypad0 = 0xFFB0;
constexpr xcb_keysym_t kKeypad9 = 0xFFB9;

bool hasSelection(const OpaqueWindow* f) { return f->selectionStart != f->selectionEnd; }

void replaceSelection(OpaqueWindow* f, const std::string& with) {
  const std::size_t from = std::min(f->selectionStart, f->selectionEnd);
  const std::size_t to = std::max(f->selectionStart, f->selectionEnd);
  f->text.replace(from, to - from, with);
  f->caret = from + with.size();
  f->selectionStart = f->selectionEnd = f->caret;
}

// Tells the owner once that the field is done (Return, or the focus went away).
void finish(OpaqueWindow* f) {
  EditFieldHandler* handler = f->editHandler;
  f->editHandler = nullptr;
  if (handler != nullptr) handler->editFieldDone();
}

// The printable character of a keysym (Latin-1 and the keypad's digits), or 0.
char printable(xcb_keysym_t sym) {
  if (sym >= 0x20 && sym <= 0x7E) return static_cast<char>(sym);
  if (sym >= 0xA0 && sym <= 0xFF) return static_cast<char>(sym);
  if (sym >= kKeypad0 && sym <= kKeypad9) return static_cast<char>('0' + (sym - kKeypad0));
  if (sym == kKeypadDecimal) return '.';
  if (sym == kKeypadSubtract) return '-';
  return 0;
}

void typeKey(OpaqueWindow* f, xcb_keysym_t sym) {
  const std::size_t length = f->text.size();
  if (sym == kReturn || sym == kEnter) {
    finish(f);
    return;
  }
  if (sym == kBackSpace || sym == kDelete) {
    if (!hasSelection(f)) {
      if (sym == kBackSpace && f->caret > 0) {
        f->selectionStart = f->caret - 1;
        f->selectionEnd = f->caret;
      } else if (sym == kDelete && f->caret < length) {
        f->selectionStart = f->caret;
        f->selectionEnd = f->caret + 1;
      }
    }
    replaceSelection(f, std::string());
  } else if (sym == kLeft || sym == kRight || sym == kHome || sym == kEnd) {
    const std::size_t from = std::min(f->selectionStart, f->selectionEnd);
    const std::size_t to = std::max(f->selectionStart, f->selectionEnd);
    if (sym == kHome) {
      f->caret = 0;
    } else if (sym == kEnd) {
      f->caret = length;
    } else if (hasSelection(f)) {
      f->caret = sym == kLeft ? from : to;
    } else if (sym == kLeft) {
      f->caret = f->caret > 0 ? f->caret - 1 : 0;
    } else {
      f->caret = std::min(f->caret + 1, length);
    }
    f->selectionStart = f->selectionEnd = f->caret;
  } else if (const char c = printable(sym)) {
    replaceSelection(f, std::string(1, c));
  } else {
    return;
  }
  x11::drawEditField(f);
}

OpaqueWindow* fieldWithId(x11::Connection& connection, xcb_window_t id) {
  for (OpaqueWindow* frame : x11::frames()) {
    if (frame->connection == &connection && frame->field != nullptr && !frame->field->released &&
        frame->field->id == id) {
      return frame->field;
    }
  }
  return nullptr;
}

}  // namespace

namespace x11 {

void drawEditField(OpaqueWindow* f) {
  if (f == nullptr || f->destroyed || f->released) return;
  SurfaceRef surface = acquireWindowSurface(f);
  if (surface == nullptr) return;
  // The owner's colours, as the system's edit control asks its parent for them.
  ColorRef back = 0xFFFFFF;
  BrushRef given = nullptr;
  if (f->owner != nullptr && f->owner->handler != nullptr) {
    given = f->owner->handler->windowEditFieldColors(surface);
  }
  if (given != nullptr) back = given->color;
  const ColorRef ink = surface->textColor;
  BrushRef fill = createSolidBrush(back);
  FontRef font = createFont(f->font);
  PenRef oldPen = selectPen(surface, nullPen());
  BrushRef oldBrush = selectBrush(surface, fill);
  FontRef oldFont = selectFont(surface, font);
  rectangle(surface, Bounds{0, 0, f->width + 1, f->height + 1});
  setBackgroundMode(surface, BackgroundMode::Transparent);

  // Where the text starts: aligned as asked, moved left when the caret would be out of sight.
  const int textWidth = raster::measureText(f->font, f->text.c_str());
  int x = f->alignment == EditAlignment::Center  ? (f->width - textWidth) / 2
          : f->alignment == EditAlignment::Right ? f->width - textWidth - 1
                                                 : 1;
  const int caretX = raster::measureText(f->font, f->text.substr(0, f->caret).c_str());
  if (x + caretX > f->width - 2) x = f->width - 2 - caretX;
  if (x + caretX < 1) x = 1 - caretX;
  const Bounds whole{0, 0, f->width, f->height};
  const unsigned format = TextLeft | TextVCenter | TextSingleLine | TextNoPrefix;
  setTextColor(surface, ink);
  drawText(surface, f->text.c_str(), Bounds{x, 0, f->width + textWidth, f->height}, format);
  if (hasSelection(f)) {
    // The selected part again, light on the selection colour.
    const std::size_t from = std::min(f->selectionStart, f->selectionEnd);
    const std::size_t to = std::max(f->selectionStart, f->selectionEnd);
    const int left = x + raster::measureText(f->font, f->text.substr(0, from).c_str());
    const int right = x + raster::measureText(f->font, f->text.substr(0, to).c_str());
    BrushRef selection = createSolidBrush(kSelectionBack);
    selectBrush(surface, selection);
    rectangle(surface, Bounds{left, 1, right + 1, f->height});
    selectBrush(surface, fill);
    deleteBrush(selection);
    setTextColor(surface, kSelectionText);
    drawText(surface, f->text.substr(from, to - from).c_str(),
             Bounds{left, 0, std::min(right, whole.right), f->height}, format);
  } else {
    PenRef caret = createPen(PenStyle::Solid, 1, ink);
    selectPen(surface, caret);
    moveTo(surface, x + caretX, 2);
    lineTo(surface, x + caretX, f->height - 2);
    selectPen(surface, nullPen());
    deletePen(caret);
  }
  selectPen(surface, oldPen);
  selectBrush(surface, oldBrush);
  selectFont(surface, oldFont);
  releaseWindowSurface(f, surface);
  deleteFont(font);
  deleteBrush(fill);
}

bool editFieldEvent(Connection& connection, xcb_generic_event_t* event) {
  const std::uint8_t type = event->response_type & 0x7F;
  switch (type) {
    case XCB_KEY_PRESS: {
      auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
      // Keys reach the field whichever of the editor's windows the server sends them to.
      OpaqueWindow* field = fieldWithId(connection, key->event);
      if (field == nullptr) {
        for (OpaqueWindow* frame : frames()) {
          if (frame->connection == &connection && frame->id == key->event) field = frame->field;
        }
      }
      if (field == nullptr || field->released) return false;
      typeKey(field, connection.keysym(key->detail, key->state));
      return true;
    }
    case XCB_FOCUS_OUT: {
      auto* focus = reinterpret_cast<xcb_focus_out_event_t*>(event);
      OpaqueWindow* field = fieldWithId(connection, focus->event);
      // Grabs (a menu opening), moves inside the field and the reports to the window under
      // the pointer (which never had the focus) do not count.
      if (field == nullptr || focus->mode == XCB_NOTIFY_MODE_GRAB ||
          focus->mode == XCB_NOTIFY_MODE_UNGRAB || focus->detail == XCB_NOTIFY_DETAIL_INFERIOR ||
          focus->detail == XCB_NOTIFY_DETAIL_POINTER) {
        return false;
      }
      finish(field);
      return true;
    }
    case XCB_BUTTON_PRESS: {
      // A click in the field moves the caret to its end.
      auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
      OpaqueWindow* field = fieldWithId(connection, press->event);
      if (field == nullptr) return false;
      field->caret = field->text.size();
      field->selectionStart = field->selectionEnd = field->caret;
      drawEditField(field);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace x11

WindowRef createEditField(WindowRef parent, Bounds bounds, const char* text,
                          EditAlignment alignment, FontRef font, EditFieldHandler* handler) {
  if (parent == nullptr || parent->kind != x11::WindowKind::Frame || parent->destroyed ||
      parent->released || !parent->connection->alive()) {
    return nullptr;
  }
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) return nullptr;
  if (parent->field != nullptr) destroyEditField(parent->field);
  x11::Connection& c = *parent->connection;
  auto* field = new (std::nothrow) OpaqueWindow;
  if (field == nullptr) return nullptr;
  field->kind = x11::WindowKind::EditField;
  field->connection = &c;
  field->owner = parent;
  field->width = width;
  field->height = height;
  field->text = text != nullptr ? text : "";
  field->selectionStart = 0;
  field->selectionEnd = field->text.size();
  field->caret = field->text.size();
  field->alignment = alignment;
  if (font != nullptr) {
    field->font = font->request;
    field->fontFace = font->face;
    field->font.face = field->fontFace.c_str();
  }
  field->editHandler = handler;
  field->painted = true;
  field->id = xcb_generate_id(c.xcb);
  const std::uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                               XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_FOCUS_CHANGE;
  const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0, events, c.colormap};
  xcb_create_window(c.xcb, c.format.depth, field->id, parent->id,
                    static_cast<std::int16_t>(bounds.left), static_cast<std::int16_t>(bounds.top),
                    static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, c.visual,
                    XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK |
                        XCB_CW_COLORMAP,
                    values);
  x11::makePicture(c, field);
  xcb_map_window(c.xcb, field->id);
  xcb_set_input_focus(c.xcb, XCB_INPUT_FOCUS_PARENT, field->id, XCB_CURRENT_TIME);
  parent->field = field;
  x11::drawEditField(field);
  xcb_flush(c.xcb);
  return field;
}

int editFieldText(WindowRef field, char* text, int capacity) {
  if (field == nullptr) return 0;
  return copyFieldText(field->text.data(), field->text.size(), text, capacity);
}

void destroyEditField(WindowRef field) {
  if (field == nullptr || field->kind != x11::WindowKind::EditField) return;
  // The owner closes the field on purpose: the focus it loses on the way is not reported.
  field->editHandler = nullptr;
  if (field->owner != nullptr && field->owner->field == field) {
    field->owner->field = nullptr;
    // The keyboard goes back to the editor.
    if (!field->owner->destroyed && field->connection->alive()) {
      xcb_set_input_focus(field->connection->xcb, XCB_INPUT_FOCUS_PARENT, field->owner->id,
                          XCB_CURRENT_TIME);
    }
  }
  x11::releaseWindow(field);
}

}  // namespace kestrane::platform
