#include "gui/DrawContext.h"

#include "gui/Frame.h"

namespace kestrane {

namespace {
constexpr int32_t kFontWeightNormal = 400;
constexpr int32_t kFontWeightBold = 700;
constexpr int32_t kSwissVariablePitch = 0x22;  // VARIABLE_PITCH | FF_SWISS
constexpr int32_t kDecorativeVariablePitch = 80;  // the symbol font's family byte
constexpr int32_t kSymbolFontId = 7;
}  // namespace

DrawContext::DrawContext(Frame* owner, platform::SurfaceRef dc, platform::WindowRef win)
    : window(win), frame(owner) {
  if (window != nullptr) {
    const platform::Bounds screen = platform::windowScreenBounds(window);
    windowOrigin = Point(screen.left, screen.top);
  }
  clipRect = frame != nullptr ? frame->getSize() : Rect(0, 0, 1000, 1000);
  if (dc != nullptr) attachSurface(dc);
}

DrawContext::~DrawContext() { detachSurface(); }

void DrawContext::attachSurface(platform::SurfaceRef newSurface) {
  surface = newSurface;
  savedBrush = platform::currentBrush(surface);
  savedPen = platform::currentPen(surface);
  savedFont = platform::currentFont(surface);
  platform::setBackgroundMode(surface, platform::BackgroundMode::Transparent);
  pen = platform::createPen(platform::PenStyle::Solid, 1, frameColor.toColorRef());
  if (pen != nullptr) platform::selectPen(surface, pen);
  brush = platform::createSolidBrush(fillColor.toColorRef());
  if (brush != nullptr) platform::selectBrush(surface, brush);
  platform::setTextColor(surface, fontColor.toColorRef());
}

void DrawContext::detachSurface() {
  if (surface == nullptr) return;
  if (savedBrush != nullptr) platform::selectBrush(surface, savedBrush);
  if (savedPen != nullptr) platform::selectPen(surface, savedPen);
  if (savedFont != nullptr) platform::selectFont(surface, savedFont);
  platform::deleteBrush(brush);
  platform::deletePen(pen);
  platform::deleteFont(font);
  brush = nullptr;
  pen = nullptr;
  font = nullptr;
  surface = nullptr;
}

void DrawContext::moveTo(const Point& point) {
  platform::moveTo(surface, point.h + offset.h, point.v + offset.v);
}

void DrawContext::lineTo(const Point& point) {
  platform::lineTo(surface, point.h + offset.h, point.v + offset.v);
}

void DrawContext::drawRect(const Rect& rect) {
  const int32_t l = rect.left + offset.h;
  const int32_t t = rect.top + offset.v;
  const int32_t r = rect.right + offset.h;
  const int32_t b = rect.bottom + offset.v;
  platform::moveTo(surface, l, t);
  platform::lineTo(surface, r, t);
  platform::lineTo(surface, r, b);
  platform::lineTo(surface, l, b);
  platform::lineTo(surface, l, t);
}

void DrawContext::fillRect(const Rect& rect) {
  // The system's rectangle without a pen fills left .. right - 2; shifted by one it covers the
  // inside of the outline that drawRect draws on the same rectangle.
  platform::PenRef previous = platform::selectPen(surface, platform::nullPen());
  platform::rectangle(surface, platform::Bounds{rect.left + offset.h + 1, rect.top + offset.v + 1,
                                                rect.right + offset.h + 1,
                                                rect.bottom + offset.v + 1});
  if (previous != nullptr) platform::selectPen(surface, previous);
}

void DrawContext::recreatePen() {
  platform::PenRef newPen = platform::createPen(penStyle, frameWidth, frameColor.toColorRef());
  if (newPen == nullptr) return;
  if (surface != nullptr) platform::selectPen(surface, newPen);
  platform::deletePen(pen);
  pen = newPen;
}

void DrawContext::setLineStyle(int32_t style) {
  lineStyle = style;
  penStyle = style == kLineOnOffDash ? platform::PenStyle::Dotted : platform::PenStyle::Solid;
  recreatePen();
}

void DrawContext::setLineWidth(int32_t width) {
  frameWidth = width;
  recreatePen();
}

void DrawContext::setFrameColor(const Color& color) {
  frameColor = color;
  recreatePen();
}

void DrawContext::setFillColor(const Color& color) {
  fillColor = color;
  platform::setBackgroundColor(surface, color.toColorRef());
  platform::BrushRef newBrush = platform::createSolidBrush(color.toColorRef());
  if (newBrush == nullptr) return;  // the old brush stays selected
  if (surface != nullptr) platform::selectBrush(surface, newBrush);
  platform::deleteBrush(brush);
  brush = newBrush;
}

void DrawContext::setFontColor(const Color& color) {
  fontColor = color;
  platform::setTextColor(surface, color.toColorRef());
}

void DrawContext::setFont(int32_t id, int32_t size, int32_t style) {
  if (id < 0 || id >= kFontCount) id = 0;
  fontId = id;
  fontSize = size != 0 ? size : kFontTable[id].height;
  platform::FontRequest request;
  request.face = kFontTable[id].face;
  request.height = fontSize;
  request.weight = (id == 0 || (style & kBoldFace) != 0) ? kFontWeightBold : kFontWeightNormal;
  request.italic = (style & kItalicFace) != 0;
  request.underline = (style & kUnderlineFace) != 0;
  request.pitchAndFamily = id == kSymbolFontId ? kDecorativeVariablePitch : kSwissVariablePitch;
  platform::FontRef newFont = platform::createFont(request);
  if (newFont == nullptr) return;
  if (surface != nullptr) platform::selectFont(surface, newFont);
  platform::deleteFont(font);
  font = newFont;
}

void DrawContext::drawString(const char* text, const Rect& rect, bool opaque, int32_t alignment) {
  if (text == nullptr || surface == nullptr) return;
  platform::setBackgroundMode(surface, opaque ? platform::BackgroundMode::Opaque
                                              : platform::BackgroundMode::Transparent);
  platform::Bounds box{rect.left + offset.h, rect.top + offset.v, rect.right + offset.h,
                       rect.bottom + offset.v};
  unsigned format = platform::TextSingleLine | platform::TextVCenter | platform::TextNoPrefix;
  if (alignment == 1) {
    format |= platform::TextCenter;
  } else if (alignment == 2) {
    format |= platform::TextRight;
  } else {
    box.left += 1;
  }
  platform::drawText(surface, text, box, format);
  platform::setBackgroundMode(surface, platform::BackgroundMode::Transparent);
}

int32_t DrawContext::getMouseButtons() {
  const int32_t buttons = platform::pollButtons() | pressedButton;
  pressedButton = 0;
  return buttons;
}

void DrawContext::getMouseLocation(Point& point) {
  const platform::Position cursor = platform::cursorPosition();
  point = Point(cursor.x - windowOrigin.h, cursor.y - windowOrigin.v);
}

}  // namespace kestrane
