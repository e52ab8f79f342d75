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
//
// An image loaded from a bitmap resource keeps the resource's file (`encoded`) and has no
// pixels until it is first selected into a surface, the only way to its pixels: whoever only
// asks for its size (an editor constructed but never opened) never pays for decoding it.
struct OpaqueImage {
  int width = 0;
  int height = 0;
  bool monochrome = false;
  std::vector<ColorRef> pixels;
  const unsigned char* encoded = nullptr;  // resource file still to decode, or null
  std::size_t encodedSize = 0;

  OpaqueImage(int w, int h, bool mono, ColorRef fill)
      : width(w), height(h), monochrome(mono),
        pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
  // A colour image of w x h pixels still to be decoded from `file` (see headless::realize).
  OpaqueImage(int w, int h, const unsigned char* file, std::size_t size)
      : width(w), height(h), encoded(file), encodedSize(size) {}
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
// Bitmap resources embedded into the program (headless/Resources.cpp): the image of a
// resource, its size known and its pixels still encoded; null for an unknown id or a file
// that is not an uncompressed 24- or 32-bit BMP.
OpaqueImage* openBitmapResource(int resourceId);
// Decodes a loaded resource's pixels if it still holds them encoded; false when there is no
// memory for them (the image stays as it was).
bool realize(OpaqueImage& image);
}  // namespace headless

}  // namespace kestrane::platform
