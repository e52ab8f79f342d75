// Small value types every part of the toolkit passes around: points, rectangles, colours (with
// the named ones), mouse-button bits and fonts. Positions are whole pixels measured from the
// top left corner of the editor's window, with y counting down the screen.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace kestrane {

struct Point {
  int32_t h = 0;  // x
  int32_t v = 0;  // y

  Point() = default;
  constexpr Point(int32_t x, int32_t y) : h(x), v(y) {}
  Point& offset(int32_t x, int32_t y) {
    h += x;
    v += y;
    return *this;
  }
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  Rect() = default;
  constexpr Rect(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}

  constexpr int32_t width() const { return right - left; }
  constexpr int32_t height() const { return bottom - top; }
  // Hit test: inclusive on all four sides.
  constexpr bool pointInside(Point p) const {
    return p.h >= left && p.h <= right && p.v >= top && p.v <= bottom;
  }
  Rect& offset(int32_t x, int32_t y) {
    left += x;
    right += x;
    top += y;
    bottom += y;
    return *this;
  }
  // The same area with left <= right and top <= bottom.
  constexpr Rect normalized() const {
    return Rect(left < right ? left : right, top < bottom ? top : bottom,
                left < right ? right : left, top < bottom ? bottom : top);
  }
};

struct Color {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t unused = 0;  // kept 0

  // The system's colour value: red | green << 8 | blue << 16.
  constexpr platform::ColorRef toColorRef() const {
    return static_cast<platform::ColorRef>(red) | static_cast<platform::ColorRef>(green) << 8 |
           static_cast<platform::ColorRef>(blue) << 16;
  }
  // Equal in red, green and blue (the fourth byte does not count).
  constexpr bool sameRgb(const Color& other) const {
    return red == other.red && green == other.green && blue == other.blue;
  }
};

inline constexpr Color kBlack{0, 0, 0, 0};
inline constexpr Color kWhite{255, 255, 255, 0};
inline constexpr Color kGrey{127, 127, 127, 0};
inline constexpr Color kRed{255, 0, 0, 0};
inline constexpr Color kGreen{0, 255, 0, 0};
inline constexpr Color kBlue{0, 0, 255, 0};
inline constexpr Color kYellow{255, 255, 0, 0};
inline constexpr Color kCyan{0, 255, 255, 0};
inline constexpr Color kMagenta{255, 0, 255, 0};
// What transparent bitmap drawing treats as see-through.
inline constexpr Color kTransparentKey{255, 255, 255, 0};

// Bits of the mouse query (DrawContext::getMouseButtons), read live from the keyboard state (a
// click's context adds the clicked button at its first look).
enum ButtonState : int32_t {
  kLButton = platform::LeftButtonBit,
  kMButton = platform::MiddleButtonBit,
  kRButton = platform::RightButtonBit,
  kShift = platform::ShiftBit,
  kControl = platform::ControlBit,
  kAlt = platform::AltBit,
};

// Font ids 0..7 select a face and a default height in pixels.
struct FontEntry {
  const char* face;
  int32_t height;
};
inline constexpr int32_t kFontCount = 8;
inline constexpr FontEntry kFontTable[kFontCount] = {
    {"Arial", 12},  // 0: always bold
    {"Arial", 18}, {"Arial", 14}, {"Arial", 12}, {"Arial", 11},
    {"Arial", 10}, {"Arial", 9},  {"Symbol", 13},
};

// Font style bits.
enum FontStyle : int32_t { kBoldFace = 1, kItalicFace = 2, kUnderlineFace = 4 };

}  // namespace kestrane
