// The single-line edit field of the X11 backend: a child window of the frame's over the text
// control, drawn by the shared rasteriser in the colours the frame asks the control for, with
// the keyboard focus. It keeps an EditText: printable characters, Backspace, Delete, the arrows,
// Home and End (with Shift extending the selection), Control+A, a drag or a double click with
// the mouse. Return, or the focus going elsewhere, tells its owner once.
//
// The clipboard is the X selection CLIPBOARD on the field's own connection. Copy (Control+C or
// Control+Insert) and Cut (Control+X, Shift+Delete) make the frame window its owner, so the text
// stays on offer after the field closes, for as long as the editor is open or until another
// client takes it; requests for it are answered as UTF8_STRING, STRING or TARGETS. Paste
// (Control+V, Shift+Insert; the middle button pastes PRIMARY) asks the owner for UTF8_STRING,
// then STRING, and waits for the answer a bounded moment, reading only this connection: other
// events read meanwhile wait in the connection's queue for the normal delivery. Answers sent in
// pieces (INCR), too large, of another type or none at all paste nothing.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/x11/X11.h"

namespace kestrane::platform {

namespace {

using namespace x11::keysym;

// Two presses of the left button this close in time (milliseconds of the server's clock) and
// place (pixels each way) are a double click, as the system's defaults have them.
constexpr xcb_timestamp_t kDoubleClickTime = 500;
constexpr int kDoubleClickDistance = 4;

// How long a paste waits for the owner's answer, all requests together: a moment of the host's
// thread at most, never an owner's pace.
constexpr std::chrono::milliseconds kPasteWait{300};
// The largest answer taken, in 32-bit units of the property (64 KiB); more is refused whole.
constexpr std::uint32_t kLongestPaste = 1u << 14;
// Events read ahead while waiting that are kept for delivery; a flood past this is dropped.
constexpr std::size_t kMostDeferred = 1024;

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

// Where the text starts in the field: aligned as asked, moved left when the caret would be out
// of sight.
int textOrigin(const OpaqueWindow* f) {
  const std::string& text = f->edit.text();
  const int textWidth = raster::measureText(f->font, text.c_str());
  int x = f->alignment == EditAlignment::Center  ? (f->width - textWidth) / 2
          : f->alignment == EditAlignment::Right ? f->width - textWidth - 1
                                                 : 1;
  const int caretX = raster::measureText(f->font, text.substr(0, f->edit.caret()).c_str());
  if (x + caretX > f->width - 2) x = f->width - 2 - caretX;
  if (x + caretX < 1) x = 1 - caretX;
  return x;
}

// The place between characters nearest to x (field pixels). Text is laid out character by
// character in whole pixels, so the widths add up one at a time.
std::size_t positionAt(const OpaqueWindow* f, int x) {
  const std::string& text = f->edit.text();
  const int origin = textOrigin(f);
  int before = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char one[2] = {text[i], '\0'};
    const int after = before + raster::measureText(f->font, one);
    if (x - origin < (before + after + 1) / 2) return i;
    before = after;
  }
  return text.size();
}

// ---------------------------------------------------------------------------------------------
// The clipboard

// Makes the frame window of the field the owner of CLIPBOARD with text; false when the server
// gave the selection to someone else (an older time) or the frame is gone.
bool copyToClipboard(x11::Connection& c, OpaqueWindow* field, const std::string& text,
                     xcb_timestamp_t time) {
  OpaqueWindow* frame = field->owner;
  if (frame == nullptr || frame->destroyed || !c.alive() || c.atoms.clipboard == XCB_NONE) {
    return false;
  }
  xcb_set_selection_owner(c.xcb, frame->id, c.atoms.clipboard, time);
  xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
      c.xcb, xcb_get_selection_owner(c.xcb, c.atoms.clipboard), nullptr);
  const bool owned = owner != nullptr && owner->owner == frame->id;
  std::free(owner);
  if (owned) {
    c.clipboard.text = text;
    c.clipboard.owner = frame->id;
    c.clipboard.since = time;
  }
  return owned;
}

void answerRequest(x11::Connection& c, const xcb_selection_request_event_t* request) {
  xcb_atom_t answer = XCB_NONE;  // refused, unless answered below
  // A requestor of the oldest kind names no property: the target's name is used.
  const xcb_atom_t property = request->property != XCB_NONE ? request->property : request->target;
  const x11::Connection::Clipboard& clipboard = c.clipboard;
  const bool ours = request->selection == c.atoms.clipboard && clipboard.owner != 0 &&
                    request->owner == clipboard.owner &&
                    (request->time == XCB_CURRENT_TIME || request->time >= clipboard.since);
  if (ours) {
    const x11::Atoms& a = c.atoms;
    if (request->target == a.targets) {
      const xcb_atom_t offered[] = {a.targets, a.utf8String, XCB_ATOM_STRING};
      xcb_change_property(c.xcb, XCB_PROP_MODE_REPLACE, request->requestor, property,
                          XCB_ATOM_ATOM, 32, 3, offered);
      answer = property;
    } else if (request->target == a.utf8String || request->target == XCB_ATOM_STRING) {
      const std::string data = request->target == a.utf8String ? utf8FromLatin1(clipboard.text)
                                                                : clipboard.text;
      // What does not fit one request would have to go in pieces: refused instead (a field
      // holds far less than a server takes at once).
      if (data.size() + 64 <= c.maxRequestBytes) {
        xcb_change_property(c.xcb, XCB_PROP_MODE_REPLACE, request->requestor, property,
                            request->target, 8, static_cast<std::uint32_t>(data.size()),
                            data.data());
        answer = property;
      }
    }
  }
  // A requestor gone meanwhile costs an error event on this connection, dropped there.
  c.answerSelection(*request, answer);
}

// Waits for the owner's answer to the request for selection as target, until the deadline.
// Requests for our own selection are answered meanwhile (a paste of what this editor copied
// asks this very connection); every other event is kept for delivery.
bool awaitAnswer(x11::Connection& c, xcb_window_t requestor, xcb_atom_t selection,
                 xcb_atom_t target, xcb_timestamp_t time,
                 std::chrono::steady_clock::time_point deadline,
                 xcb_selection_notify_event_t& answer) {
  for (;;) {
    xcb_generic_event_t* event = c.alive() ? xcb_poll_for_event(c.xcb) : nullptr;
    if (event == nullptr) {
      if (!c.alive()) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd fd{xcb_get_file_descriptor(c.xcb), POLLIN, 0};
      ::poll(&fd, 1, static_cast<int>(left.count()));
      continue;
    }
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_SELECTION_NOTIFY) {
      const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
      // The answer to this request, not a late one to an earlier request.
      if (notify->requestor == requestor && notify->selection == selection &&
          notify->target == target &&
          (time == XCB_CURRENT_TIME || notify->time == XCB_CURRENT_TIME || notify->time == time)) {
        answer = *notify;
        std::free(event);
        return true;
      }
    }
    if (type == XCB_SELECTION_REQUEST || type == XCB_SELECTION_CLEAR) {
      x11::clipboardEvent(c, event);
      std::free(event);
    } else {
      try {
        if (c.deferred.size() < kMostDeferred) {
          c.deferred.push_back(event);
          event = nullptr;
        }
      } catch (...) {
      }
      std::free(event);
    }
  }
}

// Reads the answer the owner left in our property: text of 8-bit units typed UTF8_STRING or
// STRING, whole, in the field's characters; false for anything else.
bool readAnswer(x11::Connection& c, xcb_window_t requestor, std::string& text) {
  xcb_get_property_reply_t* value = xcb_get_property_reply(
      c.xcb,
      xcb_get_property(c.xcb, 0, requestor, c.atoms.pasteProperty, XCB_GET_PROPERTY_TYPE_ANY, 0,
                       kLongestPaste),
      nullptr);
  if (value == nullptr) return false;
  const bool pieces = value->type == c.atoms.incr;
  const bool taken = !pieces && value->format == 8 && value->bytes_after == 0 &&
                     (value->type == c.atoms.utf8String || value->type == XCB_ATOM_STRING);
  if (taken) {
    const std::string data(static_cast<const char*>(xcb_get_property_value(value)),
                           static_cast<std::size_t>(xcb_get_property_value_length(value)));
    text = value->type == c.atoms.utf8String ? latin1FromUtf8(data) : data;
  }
  std::free(value);
  // Deleting the property is how a requestor asks for the next piece of an answer in pieces:
  // that one is left alone (its owner gives up), any other is cleared.
  if (!pieces) xcb_delete_property(c.xcb, requestor, c.atoms.pasteProperty);
  xcb_flush(c.xcb);
  return taken;
}

// The text on offer as selection (CLIPBOARD or PRIMARY) in the field's characters; false when
// no one offers text, the answer is unusable or does not come in time.
bool fetchSelection(x11::Connection& c, OpaqueWindow* field, xcb_atom_t selection,
                    xcb_timestamp_t time, std::string& text) {
  OpaqueWindow* frame = field->owner;
  if (frame == nullptr || frame->destroyed || !c.alive() || selection == XCB_NONE ||
      c.atoms.pasteProperty == XCB_NONE) {
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + kPasteWait;
  for (const xcb_atom_t target : {c.atoms.utf8String, xcb_atom_t{XCB_ATOM_STRING}}) {
    if (target == XCB_NONE) continue;
    xcb_convert_selection(c.xcb, frame->id, selection, target, c.atoms.pasteProperty, time);
    xcb_flush(c.xcb);
    xcb_selection_notify_event_t answer{};
    if (!awaitAnswer(c, frame->id, selection, target, time, deadline, answer)) return false;
    if (answer.property == XCB_NONE) continue;  // not in this type (or no owner): the next
    return readAnswer(c, frame->id, text);
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Keys and the mouse

void paste(x11::Connection& c, OpaqueWindow* f, xcb_atom_t selection, xcb_timestamp_t time) {
  std::string text;
  // The field is still there after the wait: nothing but clipboard requests is handled during
  // it.
  if (fetchSelection(c, f, selection, time, text)) f->edit.insert(text);
}

void typeKey(x11::Connection& c, OpaqueWindow* f, xcb_keysym_t sym, std::uint16_t state,
             xcb_timestamp_t time) {
  EditText& edit = f->edit;
  const bool shift = (state & XCB_MOD_MASK_SHIFT) != 0;
  const bool control = (state & XCB_MOD_MASK_CONTROL) != 0;
  if (sym == kReturn || sym == kEnter) {
    finish(f);
    return;
  }
  // Control with a letter: the editing commands, whichever case Shift or Lock gave.
  const xcb_keysym_t letter = sym >= 'A' && sym <= 'Z' ? sym + ('a' - 'A') : sym;
  if (control && letter == 'a') {
    edit.selectAll();
  } else if ((control && letter == 'c') || (control && !shift && sym == kInsert)) {
    if (edit.hasSelection()) copyToClipboard(c, f, edit.selectedText(), time);
    return;
  } else if ((control && letter == 'x') || (shift && !control && sym == kDelete)) {
    // The text goes only once the clipboard holds it.
    if (!edit.hasSelection() || !copyToClipboard(c, f, edit.selectedText(), time)) return;
    edit.cutSelection();
  } else if ((control && letter == 'v') || (shift && !control && sym == kInsert)) {
    paste(c, f, c.atoms.clipboard, time);
  } else if (sym == kBackSpace) {
    edit.erasePrevious();
  } else if (sym == kDelete) {
    edit.eraseNext();
  } else if (sym == kLeft) {
    edit.moveLeft(shift);
  } else if (sym == kRight) {
    edit.moveRight(shift);
  } else if (sym == kHome) {
    edit.moveHome(shift);
  } else if (sym == kEnd) {
    edit.moveEnd(shift);
  } else if (const char typed = control ? 0 : printable(sym)) {
    edit.insert(std::string(1, typed));
  } else {
    return;
  }
  x11::drawEditField(f);
}

// A button pressed in the field: the left one places the caret (Shift: extends the selection
// there) and starts a drag that selects, or twice quickly selects everything; the middle one
// pastes PRIMARY where it is pressed.
void pressIn(x11::Connection& c, OpaqueWindow* f, const xcb_button_press_event_t* press) {
  if (press->detail == 1) {
    const Position at{press->event_x, press->event_y};
    const bool twice = f->lastPressTime != 0 && press->time - f->lastPressTime <= kDoubleClickTime &&
                       std::abs(at.x - f->lastPress.x) <= kDoubleClickDistance &&
                       std::abs(at.y - f->lastPress.y) <= kDoubleClickDistance;
    if (twice) {
      f->edit.selectAll();
      f->selecting = false;
      f->lastPressTime = 0;
    } else {
      f->edit.moveTo(positionAt(f, at.x), (press->state & XCB_MOD_MASK_SHIFT) != 0);
      f->selecting = true;
      f->lastPressTime = press->time;
      f->lastPress = at;
    }
  } else if (press->detail == 2) {
    f->edit.moveTo(positionAt(f, press->event_x), false);
    paste(c, f, XCB_ATOM_PRIMARY, press->time);
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

  const std::string& text = f->edit.text();
  const int textWidth = raster::measureText(f->font, text.c_str());
  const int x = textOrigin(f);
  const int caretX = raster::measureText(f->font, text.substr(0, f->edit.caret()).c_str());
  const Bounds whole{0, 0, f->width, f->height};
  const unsigned format = TextLeft | TextVCenter | TextSingleLine | TextNoPrefix;
  setTextColor(surface, ink);
  drawText(surface, text.c_str(), Bounds{x, 0, f->width + textWidth, f->height}, format);
  if (f->edit.hasSelection()) {
    // The selected part again, light on the selection colour.
    const std::size_t from = f->edit.selectionFrom();
    const std::size_t to = f->edit.selectionTo();
    const int left = x + raster::measureText(f->font, text.substr(0, from).c_str());
    const int right = x + raster::measureText(f->font, text.substr(0, to).c_str());
    BrushRef selection = createSolidBrush(x11::kHighlightBack);
    selectBrush(surface, selection);
    rectangle(surface, Bounds{left, 1, right + 1, f->height});
    selectBrush(surface, fill);
    deleteBrush(selection);
    setTextColor(surface, x11::kHighlightText);
    drawText(surface, text.substr(from, to - from).c_str(),
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

}  // namespace x11

namespace {

bool fieldEvent(x11::Connection& connection, xcb_generic_event_t* event) {
  using namespace x11;
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
      typeKey(connection, field, connection.keysym(key->detail, key->state), key->state,
              key->time);
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
      auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
      OpaqueWindow* field = fieldWithId(connection, press->event);
      if (field == nullptr) return false;
      pressIn(connection, field, press);
      return true;
    }
    case XCB_MOTION_NOTIFY: {
      // The left button held since it went down in the field: the selection follows.
      auto* motion = reinterpret_cast<xcb_motion_notify_event_t*>(event);
      OpaqueWindow* field = fieldWithId(connection, motion->event);
      if (field == nullptr || !field->selecting) return false;
      const std::size_t at = positionAt(field, motion->event_x);
      if (at != field->edit.caret()) {
        field->edit.moveTo(at, true);
        drawEditField(field);
      }
      return true;
    }
    case XCB_BUTTON_RELEASE: {
      auto* release = reinterpret_cast<xcb_button_release_event_t*>(event);
      OpaqueWindow* field = fieldWithId(connection, release->event);
      if (field == nullptr || release->detail != 1) return false;
      field->selecting = false;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

namespace x11 {

bool editFieldEvent(Connection& connection, xcb_generic_event_t* event) {
  // Nothing thrown (memory running out) leaves the event handler: the key or click is lost.
  try {
    return fieldEvent(connection, event);
  } catch (...) {
    return true;
  }
}

bool clipboardEvent(Connection& connection, xcb_generic_event_t* event) {
  try {
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_SELECTION_REQUEST) {
      answerRequest(connection, reinterpret_cast<xcb_selection_request_event_t*>(event));
      return true;
    }
    if (type == XCB_SELECTION_CLEAR) {
      // Another client copied: what this editor offered is no longer on offer.
      auto* clear = reinterpret_cast<xcb_selection_clear_event_t*>(event);
      if (clear->selection == connection.atoms.clipboard &&
          clear->owner == connection.clipboard.owner) {
        connection.clipboard = Connection::Clipboard{};
      }
      return true;
    }
  } catch (...) {
    return true;
  }
  return false;
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
  field->edit.setText(text != nullptr ? text : "");  // all selected, as the system's field opens
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
                               XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_BUTTON_1_MOTION |
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
  return field->edit.copyText(text, capacity);
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
