// The headless backend's objects behind the seam's opaque handles: images of 24-bit pixels (or
// monochrome ones), surfaces that carry the drawing state of a device context, pens, brushes,
// fonts and windows. Internal to platform/headless.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kestrane::platform {

// Pixels are ColorRef values (0x00BBGGRR). A monochrome image holds only 0 (black, bit 0) and
// 0xFFFFFF (white, bit 1), so the raster operations work on both kinds alike.
struct OpaqueImage {
  int width = 0;
  int height = 0;
  bool monochrome = false;
  std::vector<ColorRef> pixels;

  OpaqueImage(int w, int h, bool mono, ColorRef fill)
      : width(w), height(h), monochrome(mono),
        pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  ColorRef& at(int x, int y) {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
  ColorRef at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

struct OpaquePen {
  PenStyle style = PenStyle::Solid;
  int width = 1;
  ColorRef color = 0;
  bool isNull = false;
};

struct OpaqueBrush {
  ColorRef color = 0;
};

struct OpaqueFont {
  FontRequest request;
  std::string face;  // owned copy of request.face
};

struct OpaqueCursor {
  CursorShape shape = CursorShape::Arrow;
};

struct OpaqueWindow;

// A device context. A window surface draws into its window's pixels; a memory surface into the
// image selected into it.
struct OpaqueSurface {
  OpaqueWindow* window = nullptr;  // window surfaces only
  bool memory = false;
  OpaqueImage* image = nullptr;    // memory surfaces: the selected image
  OpaqueImage* defaultImage = nullptr;  // the 1 x 1 monochrome image a memory surface starts with
  OpaquePen* pen = nullptr;
  OpaqueBrush* brush = nullptr;
  OpaqueFont* font = nullptr;
  BackgroundMode backgroundMode = BackgroundMode::Opaque;
  ColorRef backgroundColor = 0xFFFFFF;
  ColorRef textColor = 0x000000;
  int mapMode = 1;  // MM_TEXT
  Position current;

  OpaqueImage* target() const;
};

struct OpaqueWindow {
  OpaqueWindow* parent = nullptr;
  Bounds screen;              // position on the screen
  OpaqueImage pixels{0, 0, false, 0};
  WindowHandler* handler = nullptr;
  bool child = false;         // a frame window (counts as a use of the window class)
  bool paintPending = false;  // a new or invalidated window waits for its paint message
  bool destroyed = false;
  // Edit fields
  bool editField = false;
  std::string text;
  EditFieldHandler* editHandler = nullptr;
  DropHandler* dropHandler = nullptr;
};

namespace headless {
// Shared defaults and stock objects.
OpaquePen* stockBlackPen();
OpaqueBrush* stockWhiteBrush();
OpaqueImage* screenImage();
// Draws text (headless/Text.cpp).
void renderText(OpaqueSurface& surface, const char* text, Bounds bounds, unsigned format);
// Bitmap resources embedded into the program (headless/Resources.cpp).
OpaqueImage* decodeBitmapResource(int resourceId);
}  // namespace headless

}  // namespace kestrane::platform
