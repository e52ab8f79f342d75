// ParamDisplay: a value shown as one line of text in a box. The text comes from a converter
// (value to text, with or without user data) or, without one, from "%2.2f". The box is the
// background bitmap, or a filled and outlined rectangle, or nothing (transparent); a 3D frame
// and a shadow under the text are style options. TextEdit and OptionMenu draw their texts
// through the same drawText and share the style bits below.
//
// Setters of what shows (font, colours, alignment, style, text style) mark the display dirty
// only when the new setting differs; colours compare on red, green and blue alone.
//
// User-interface thread only.
#pragma once

#include <cstddef>

#include "gui/Control.h"

namespace kestrane {

// Converters from a value to its text: text points to 256 bytes, started empty.
using ValueToText = void (*)(float value, char* text);
using ValueToTextWithData = void (*)(float value, char* text, void* userData);

class ParamDisplay : public Control {
 public:
  // Style bits.
  enum StyleBits : int32_t {
    kMultipleCheck = 0x1,         // OptionMenu: every entry keeps its own check mark
    kShadowText = 0x4,            // the text is drawn first one pixel right and down in the
                                  // shadow colour
    kFrameBackTopLeft = 0x80,     // 3D frame: top and left edges in the background colour, bottom
                                  // and right in the frame colour (wins when both 3D bits are set)
    kFrameFrameTopLeft = 0x100,   // 3D frame: top and left in the frame colour, the others in the
                                  // background colour
    kPopupAtTop = 0x200,          // OptionMenu: the popup opens at the top edge, not the bottom
    kCheckCurrent = 0x400,        // OptionMenu: the current entry shows a check mark
    kNoText = 0x800,
    kNoDraw = 0x1000,             // nothing is drawn at all (the dirty flag is still cleared)
    kDoubleClickEdit = 0x2000,    // TextEdit: editing starts on a double click only
  };
  enum Alignment : int32_t { kLeftText = 0, kCenterText = 1, kRightText = 2 };

  // Display only: no listener, tag 0. background may be null.
  explicit ParamDisplay(const Rect& size, Bitmap* background = nullptr, int32_t style = 0);
  ~ParamDisplay() override;

  // The value's text through drawText.
  void draw(DrawContext* context) override;

  // --- ParamDisplay slots ----------------------------------------------------------------------
  virtual void setFont(int32_t id);  // font table id 0..7
  virtual void setFontColor(const Color& color);
  virtual void setBackgroundColor(const Color& color);
  virtual void setFrameColor(const Color& color);
  virtual void setShadowColor(const Color& color);
  virtual void setAlignment(int32_t alignment);  // Alignment; other values: left
  virtual void setBackgroundOffset(const Point& offset);
  virtual void setFormatter(ValueToTextWithData converter, void* userData);
  virtual void setFormatter(ValueToText converter);
  // Stored for callers that keep a third converter with the display; drawing never calls it.
  virtual void setThirdFormatter(ValueToText converter);
  virtual void setStyle(int32_t bits);
  virtual void setTextStyle(int32_t bits);  // FontStyle bits
  // true (the default): the text is drawn without filling its cell.
  virtual void setTextTransparent(bool flag);

  // --- Not virtual -----------------------------------------------------------------------------
  // Draws the box, the 3D frame and text, then clears the dirty flag. bitmap, when given, is
  // drawn as the box instead of the background. With the no-draw style only the flag is cleared.
  void drawText(DrawContext* context, const char* text, Bitmap* bitmap = nullptr);

  int32_t getFont() const { return fontId; }
  Color getFontColor() const { return fontColor; }
  Color getBackgroundColor() const { return backColor; }
  Color getFrameColor() const { return frameColor; }
  Color getShadowColor() const { return shadowColor; }
  int32_t getAlignment() const { return horizontalAlignment; }
  int32_t getStyle() const { return style; }
  int32_t getTextStyle() const { return textStyle; }
  bool getTextTransparent() const { return textTransparent; }
  void* getUserData() const { return userData; }
  ValueToText getThirdFormatter() const { return thirdConverter; }

 protected:
  // For the editable displays, which have a listener and a tag.
  ParamDisplay(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background,
               int32_t style);

  // Stores a setting and marks the display dirty when it changed.
  template <typename T>
  void changeSetting(T& setting, const T& newValue) {
    if (setting == newValue) return;
    setting = newValue;
    setDirty(true);
  }
  void changeColor(Color& setting, const Color& newColor);
  // Copies text into out (capacity bytes), cut to capacity - 1 characters; null copies "".
  static void copyText(char* out, const char* text, std::size_t capacity);

  ValueToText converter = nullptr;
  ValueToTextWithData converterWithData = nullptr;
  ValueToText thirdConverter = nullptr;
  void* userData = nullptr;
  int32_t horizontalAlignment = kCenterText;
  int32_t style;
  int32_t fontId = 3;
  int32_t textStyle = 0;
  Color fontColor = kWhite;
  Color backColor = kBlack;
  Color frameColor = kBlack;
  Color shadowColor = kRed;
  Point backgroundOffset;
  bool textTransparent = true;
};

}  // namespace kestrane
