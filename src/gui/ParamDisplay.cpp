#include "gui/ParamDisplay.h"

#include <cstdio>
#include <cstring>

#include "gui/DrawContext.h"

namespace kestrane {

namespace {
constexpr int32_t kFrame3D = ParamDisplay::kFrameBackTopLeft | ParamDisplay::kFrameFrameTopLeft;
constexpr std::size_t kTextBytes = 256;
}  // namespace

ParamDisplay::ParamDisplay(const Rect& rect, Bitmap* bitmap, int32_t styleBits)
    : ParamDisplay(rect, nullptr, 0, bitmap, styleBits) {}

ParamDisplay::ParamDisplay(const Rect& rect, ControlListener* owner, int32_t controlTag,
                           Bitmap* bitmap, int32_t styleBits)
    : Control(rect, owner, controlTag, bitmap), style(styleBits) {
  if ((style & kNoDraw) != 0) setDirty(false);
}

ParamDisplay::~ParamDisplay() = default;

void ParamDisplay::draw(DrawContext* context) {
  char text[kTextBytes] = "";
  if (converterWithData != nullptr) {
    converterWithData(value, text, userData);
  } else if (converter != nullptr) {
    converter(value, text);
  } else {
    std::snprintf(text, sizeof text, "%2.2f", static_cast<double>(value));
  }
  drawText(context, text);
}

void ParamDisplay::drawText(DrawContext* context, const char* text, Bitmap* bitmap) {
  if ((style & kNoDraw) != 0 || context == nullptr) {
    setDirty(false);
    return;
  }

  // The box.
  if (bitmap != nullptr) {
    drawBitmap(context, bitmap, size, backgroundOffset);
  } else if (background != nullptr) {
    drawBitmap(context, background, size, backgroundOffset);
  } else if (!transparencyEnabled) {
    context->setFillColor(backColor);
    context->fillRect(size);
    if ((style & kFrame3D) == 0) {
      context->setFrameColor(frameColor);
      context->drawRect(size);
    }
  }

  // The 3D frame: top and left edges first, then bottom and right.
  if ((style & kFrame3D) != 0) {
    const bool backFirst = (style & kFrameBackTopLeft) != 0;
    context->setFrameColor(backFirst ? backColor : frameColor);
    context->moveTo(Point(size.left, size.bottom));
    context->lineTo(Point(size.left, size.top));
    context->lineTo(Point(size.right + 1, size.top));
    context->setFrameColor(backFirst ? frameColor : backColor);
    context->moveTo(Point(size.right, size.top + 1));
    context->lineTo(Point(size.right, size.bottom));
    context->lineTo(Point(size.left, size.bottom));
  }

  if ((style & kNoText) == 0 && text != nullptr) {
    const bool opaque = !textTransparent;
    if (opaque) context->setFillColor(backColor);  // the colour of an opaque text cell
    context->setFont(fontId, 0, textStyle);
    if ((style & kShadowText) != 0) {
      Rect shadow = size;
      shadow.offset(1, 1);
      context->setFontColor(shadowColor);
      context->drawString(text, shadow, opaque, horizontalAlignment);
    }
    context->setFontColor(fontColor);
    context->drawString(text, size, opaque, horizontalAlignment);
  }
  setDirty(false);
}

void ParamDisplay::changeColor(Color& setting, const Color& newColor) {
  if (setting.sameRgb(newColor)) return;
  setting = newColor;
  setDirty(true);
}

void ParamDisplay::copyText(char* out, const char* text, std::size_t capacity) {
  if (capacity == 0) return;
  std::size_t length = 0;
  if (text != nullptr) {
    while (length + 1 < capacity && text[length] != '\0') ++length;
    std::memcpy(out, text, length);
  }
  out[length] = '\0';
}

void ParamDisplay::setFont(int32_t id) { changeSetting(fontId, id); }
void ParamDisplay::setFontColor(const Color& color) { changeColor(fontColor, color); }
void ParamDisplay::setBackgroundColor(const Color& color) { changeColor(backColor, color); }
void ParamDisplay::setFrameColor(const Color& color) { changeColor(frameColor, color); }
void ParamDisplay::setShadowColor(const Color& color) { changeColor(shadowColor, color); }
void ParamDisplay::setAlignment(int32_t alignment) {
  changeSetting(horizontalAlignment, alignment);
}
void ParamDisplay::setBackgroundOffset(const Point& offset) { backgroundOffset = offset; }

void ParamDisplay::setFormatter(ValueToTextWithData newConverter, void* newUserData) {
  converterWithData = newConverter;
  userData = newUserData;
}

void ParamDisplay::setFormatter(ValueToText newConverter) { converter = newConverter; }
void ParamDisplay::setThirdFormatter(ValueToText newConverter) { thirdConverter = newConverter; }
void ParamDisplay::setStyle(int32_t bits) { changeSetting(style, bits); }
void ParamDisplay::setTextStyle(int32_t bits) { changeSetting(textStyle, bits); }
void ParamDisplay::setTextTransparent(bool flag) { textTransparent = flag; }

}  // namespace kestrane
