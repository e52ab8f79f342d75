// TextEdit: a text display that the user edits in place. A click (or, with the double-click
// style, a second click within the system's double-click time) opens an edit field of the
// system over the control, showing the text all selected, in the display's font and colours.
// Return, or the keyboard focus going elsewhere, or a click anywhere in the frame commits: the
// typed text (at most 255 characters) replaces the text, the field closes, and the listener
// hears of it when the text changed.
//
// The text holds at most 255 characters; longer texts handed in are cut to their first 255.
// One edit field can be open at a time (the system's field procedure is replaced process-wide).
//
// User-interface thread only.
#pragma once

#include "gui/ParamDisplay.h"
#include "platform/Platform.h"

namespace kestrane {

// Converters of the text to what is shown: out points to 256 bytes, started empty.
using TextToText = void (*)(const char* text, char* out);
using TextToTextWithData = void (*)(const char* text, char* out, void* userData);

class TextEdit : public ParamDisplay, private platform::EditFieldHandler {
 public:
  static constexpr int32_t kMaxTextLength = 255;

  // text: the starting text (null: empty). background may be null.
  TextEdit(const Rect& size, ControlListener* listener, int32_t tag, const char* text = nullptr,
           Bitmap* background = nullptr, int32_t style = 0);
  // Closes a field that is still open (without committing) and frees its font and brush.
  ~TextEdit() override;

  // --- View slots ------------------------------------------------------------------------------
  // The text, through the text converter when there is one.
  void draw(DrawContext* context) override;
  // Opens the field (through the frame's focus) on a left click, unless it is open already.
  void mouse(DrawContext* context, Point& where) override;
  // Commits and closes the field while it is open and the control has the frame's focus.
  // context may be null: then a context on the frame's window is used for the redraw.
  void loseFocus(DrawContext* context) override;
  // Opens the edit field over the control.
  void gainFocus(DrawContext* context) override;
  // The open field's colours: font colour on the background colour.
  platform::BrushRef editFieldColors(platform::SurfaceRef editSurface) override;

  // --- TextEdit slots --------------------------------------------------------------------------
  // Copies the text (cut to 255 characters) and marks the control dirty when it differs; a null
  // text is ignored.
  virtual void setText(const char* newText);
  // Copies the text into out, which holds at least 256 bytes.
  virtual void getText(char* out) const;
  virtual void setTextFormatter(TextToTextWithData converter, void* userData);
  virtual void setTextFormatter(TextToText converter);

  // --- Not virtual -----------------------------------------------------------------------------
  const char* text() const { return textBuffer; }
  // The open edit field, or null.
  platform::WindowRef getEditField() const { return editWindow; }

 private:
  // The field reports Return or the loss of the keyboard focus.
  void editFieldDone() override;
  void closeField();

  platform::BrushRef editBrush = nullptr;
  platform::WindowRef editWindow = nullptr;
  platform::FontRef editFont = nullptr;
  char textBuffer[kMaxTextLength + 1] = "";
  TextToText textConverter = nullptr;
  TextToTextWithData textConverterWithData = nullptr;
  uint32_t firstClickTick = 0;  // ms, of a first click waiting for its second
  bool firstClickPending = false;
};

}  // namespace kestrane
