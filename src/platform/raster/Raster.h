// The software rasteriser shared by the headless and the X11 backends: the objects behind the
// seam's drawing handles (images of 24-bit pixels or monochrome ones, surfaces that carry the
// drawing state of a device context, pens, brushes, fonts) and the drawing itself, following
// the operating system's pixel rules, so that a picture drawn here matches the one the real
// system draws pixel for pixel (text aside). A window is the backend's own: the rasteriser
// draws into the image that the backend answers for it (windowImage), and notes in that image
// which part changed, so that a backend that shows it on a screen sends only that part.
// Internal to platform/.
#pragma once

#include <algorithm>
#include <cstddef>
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
  // Window images: the box (right and bottom exclusive) drawn into since the backend last took
  // it; empty when left >= right. Other images leave it alone.
  bool tracksDamage = false;
  Bounds damage{};

  OpaqueImage(int w, int h, bool mono, ColorRef fill)
      : width(w), height(h), monochrome(mono),
        pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
  // A colour image of w x h pixels still to be decoded from `file` (see raster::realize).
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
  // Notes a box (right and bottom exclusive, already inside the image) as drawn into.
  void touch(int left, int top, int right, int bottom) {
    if (!tracksDamage || left >= right || top >= bottom) return;
    if (damage.left >= damage.right) {
      damage = Bounds{left, top, right, bottom};
      return;
    }
    damage.left = std::min(damage.left, left);
    damage.top = std::min(damage.top, top);
    damage.right = std::max(damage.right, right);
    damage.bottom = std::max(damage.bottom, bottom);
  }
  // The box drawn into since the last call, which starts a new one.
  Bounds takeDamage() {
    const Bounds taken = damage;
    damage = Bounds{};
    return taken;
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

// One per shape, answered by systemCursor (raster/Surfaces.cpp); each backend shows it itself.
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

namespace raster {
// The pixels a window surface draws into, or null when the window cannot be drawn (gone).
// Each backend that has windows defines it.
OpaqueImage* windowImage(OpaqueWindow* window);

// Shared defaults and stock objects.
OpaquePen* stockBlackPen();
OpaqueBrush* stockWhiteBrush();
OpaqueImage* screenImage();
// A surface with the default state of a new device context (black pen, white brush, opaque
// white background, black text): on a window (image null) or on the whole screen (both null).
OpaqueSurface* newWindowSurface(OpaqueWindow* window);
// Draws text (raster/Text.cpp).
void renderText(OpaqueSurface& surface, const char* text, Bounds bounds, unsigned format);
// The width in pixels of one line of text in a font, as renderText lays it out.
int measureText(const FontRequest& font, const char* text);
// The text font's faces, bound into the program at build time (a generated source, from the
// font files KESTRANE_FONT_DIR names): regular, bold, italic, bold italic, in that order. The
// program needs no font installed on the system it runs on.
struct EmbeddedFace {
  const char* fileName;
  const unsigned char* data;
  unsigned int size;
};
extern const EmbeddedFace kEmbeddedFaces[4];
// Reads a surface's whole target image (window pixels or the selected memory image).
bool surfacePixels(SurfaceRef surface, int& width, int& height, std::vector<ColorRef>& pixels);

// Bitmap resources, as the program's embedded BMP files: the generated resource tables register
// themselves here before main() runs (raster/Resources.cpp).
struct BitmapResource {
  int id;
  const unsigned char* data;
  std::size_t size;
};
void registerBitmapResources(const BitmapResource* resources, std::size_t count);
// The image of a registered resource, its size known and its pixels still encoded; null for an
// unknown id or a file that is not an uncompressed 24- or 32-bit BMP.
OpaqueImage* openBitmapResource(int resourceId);
// Decodes a loaded resource's pixels if it still holds them encoded; false when there is no
// memory for them (the image stays as it was).
bool realize(OpaqueImage& image);
}  // namespace raster

}  // namespace kestrane::platform
