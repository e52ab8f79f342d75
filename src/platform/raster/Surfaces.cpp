// Software device contexts: images, pens, brushes, lines, rectangles and block transfers that
// follow the operating system's pixel rules, so that a picture drawn here matches the one the
// real system draws pixel for pixel (text aside).
#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/raster/Raster.h"

namespace kestrane::platform {

namespace {

constexpr ColorRef kWhite = 0xFFFFFF;

OpaquePen& nullPenObject() {
  static OpaquePen pen{PenStyle::Solid, 1, 0, true};
  return pen;
}

// Sets one pixel of the surface's target, ignoring pixels outside it.
void plot(OpaqueImage* image, int x, int y, ColorRef color) {
  if (image != nullptr && image->contains(x, y)) {
    image->at(x, y) = image->monochrome ? (color == kWhite ? kWhite : 0) : (color & kWhite);
    image->touch(x, y, x + 1, y + 1);
  }
}

// A monochrome target maps a colour to white only when it is exactly white.
ColorRef toTarget(const OpaqueImage* image, ColorRef color) {
  if (image->monochrome) return (color & kWhite) == kWhite ? kWhite : 0;
  return color & kWhite;
}

// The dash pattern of a dotted pen: 3 pixels drawn, 3 skipped, restarting with every line.
struct DashState {
  bool dotted = false;
  int position = 0;
  bool mark() const { return !dotted || (position % 6) < 3; }
  void step() { ++position; }
};

void penPixel(OpaqueSurface& s, OpaqueImage* image, int x, int y, DashState& dash) {
  const OpaquePen& pen = *s.pen;
  const bool mark = dash.mark();
  dash.step();
  ColorRef color;
  if (mark) {
    color = pen.color;
  } else if (s.backgroundMode == BackgroundMode::Opaque) {
    color = s.backgroundColor;
  } else {
    return;
  }
  if (pen.width <= 1) {
    plot(image, x, y, color);
    return;
  }
  // A wide pen is drawn as a square of its width around each pixel of the centre line.
  const int lo = -(pen.width / 2);
  for (int dy = lo; dy < lo + pen.width; ++dy) {
    for (int dx = lo; dx < lo + pen.width; ++dx) plot(image, x + dx, y + dy, color);
  }
}

// Bresenham's line with the operating system's conventions: the end point is left out, and
// lines in the octants that run against the axes take a bias so that a line drawn backwards
// covers the same pixels as one drawn forwards.
void drawLine(OpaqueSurface& s, Position from, Position to) {
  OpaqueImage* image = s.target();
  if (image == nullptr || s.pen == nullptr || s.pen->isNull) return;
  DashState dash;
  dash.dotted = s.pen->style == PenStyle::Dotted;
  const int dx = to.x - from.x;
  const int dy = to.y - from.y;
  if (dx == 0 && dy == 0) return;
  const int adx = std::abs(dx);
  const int ady = std::abs(dy);
  // Octants numbered clockwise from the positive x axis (y grows downwards).
  int octant;
  if (dy > 0) {
    octant = dx > 0 ? (dx > dy ? 1 : 2) : (-dx > dy ? 4 : 3);
  } else {
    octant = dx < 0 ? (-dx > -dy ? 5 : 6) : (dx > -dy ? 8 : 7);
  }
  const int bias = (octant == 3 || octant == 5 || octant == 6 || octant == 8) ? 1 : 0;
  const int xInc = dx > 0 ? 1 : (dx < 0 ? -1 : 1);
  const int yInc = dy > 0 ? 1 : (dy < 0 ? -1 : 1);
  // Steps along the major axis; the error term decides when the minor axis follows.
  const bool xMajor = adx > ady;
  const int major = xMajor ? adx : ady;
  const int minor = xMajor ? ady : adx;
  int x = from.x;
  int y = from.y;
  int err = 2 * minor - major;
  for (int i = 0; i < major; ++i) {
    penPixel(s, image, x, y, dash);
    if (err + bias > 0) {
      (xMajor ? y : x) += xMajor ? yInc : xInc;
      err += 2 * minor - 2 * major;
    } else {
      err += 2 * minor;
    }
    (xMajor ? x : y) += xMajor ? xInc : yInc;
  }
}

void fillBox(OpaqueImage* image, int left, int top, int right, int bottom, ColorRef color) {
  if (image == nullptr) return;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, image->width);
  bottom = std::min(bottom, image->height);
  const ColorRef value = toTarget(image, color);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) image->at(x, y) = value;
  }
  image->touch(left, top, right, bottom);
}

}  // namespace

OpaqueImage* OpaqueSurface::target() const {
  if (window != nullptr) return raster::windowImage(window);
  return image;
}

namespace raster {

OpaquePen* stockBlackPen() {
  static OpaquePen pen{PenStyle::Solid, 1, 0, false};
  return &pen;
}

OpaqueBrush* stockWhiteBrush() {
  static OpaqueBrush brush{kWhite};
  return &brush;
}

OpaqueImage* screenImage() {
  static OpaqueImage screen(1024, 768, false, 0);
  return &screen;
}

bool surfacePixels(SurfaceRef surface, int& width, int& height, std::vector<ColorRef>& pixels) {
  const OpaqueImage* image = surface != nullptr ? surface->target() : nullptr;
  if (image == nullptr) return false;
  width = image->width;
  height = image->height;
  pixels = image->pixels;
  return true;
}

OpaqueSurface* newWindowSurface(OpaqueWindow* window) {
  auto* surface = new (std::nothrow) OpaqueSurface;
  if (surface == nullptr) return nullptr;
  surface->window = window;
  if (window == nullptr) surface->image = screenImage();
  surface->pen = stockBlackPen();
  surface->brush = stockWhiteBrush();
  return surface;
}

}  // namespace raster

// ---------------------------------------------------------------------------------------------
// Surfaces and images

SurfaceRef createMemorySurface(SurfaceRef /*compatibleWith*/) {
  auto* surface = new (std::nothrow) OpaqueSurface;
  if (surface == nullptr) return nullptr;
  surface->memory = true;
  surface->defaultImage = new (std::nothrow) OpaqueImage(1, 1, true, 0);
  surface->image = surface->defaultImage;
  surface->pen = raster::stockBlackPen();
  surface->brush = raster::stockWhiteBrush();
  return surface;
}

void deleteMemorySurface(SurfaceRef surface) {
  if (surface == nullptr || !surface->memory) return;
  delete surface->defaultImage;
  delete surface;
}

ImageRef createCompatibleImage(SurfaceRef surface, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  // A memory surface hands out images in the format of its current image; a window or the
  // screen in colour.
  const bool mono = surface != nullptr && surface->memory && surface->image != nullptr &&
                    surface->image->monochrome;
  return new (std::nothrow) OpaqueImage(width, height, mono, 0);
}

ImageRef createMonochromeImage(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  return new (std::nothrow) OpaqueImage(width, height, true, 0);
}

ImageRef loadImageResource(int resourceId) { return raster::openBitmapResource(resourceId); }

void deleteImage(ImageRef image) { delete image; }

bool imageSize(ImageRef image, int& width, int& height) {
  if (image == nullptr) return false;
  width = image->width;
  height = image->height;
  return true;
}

ImageRef selectImage(SurfaceRef surface, ImageRef image) {
  if (surface == nullptr || !surface->memory || image == nullptr) return nullptr;
  if (!raster::realize(*image)) return nullptr;
  ImageRef previous = surface->image;
  surface->image = image;
  return previous;
}

int mapMode(SurfaceRef surface) { return surface != nullptr ? surface->mapMode : 0; }

void setMapMode(SurfaceRef surface, int mode) {
  if (surface != nullptr) surface->mapMode = mode;
}

Position deviceToLogical(SurfaceRef /*surface*/, Position device) { return device; }

bool readPixels(SurfaceRef surface, int x, int y, int width, int height, ColorRef* out) {
  const OpaqueImage* image = surface != nullptr ? surface->target() : nullptr;
  if (image == nullptr || out == nullptr) return false;
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const int px = x + col;
      const int py = y + row;
      *out++ = image->contains(px, py) ? image->at(px, py) : 0;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Pens, brushes, fonts, cursors and state

PenRef createPen(PenStyle style, int width, ColorRef color) {
  return new (std::nothrow) OpaquePen{style, std::max(width, 1), color & kWhite, false};
}

PenRef nullPen() { return &nullPenObject(); }

PenRef selectPen(SurfaceRef surface, PenRef pen) {
  if (surface == nullptr || pen == nullptr) return nullptr;
  PenRef previous = surface->pen;
  surface->pen = pen;
  return previous;
}

void deletePen(PenRef pen) {
  if (pen != nullptr && pen != &nullPenObject() && pen != raster::stockBlackPen()) delete pen;
}

BrushRef createSolidBrush(ColorRef color) { return new (std::nothrow) OpaqueBrush{color & kWhite}; }

BrushRef selectBrush(SurfaceRef surface, BrushRef brush) {
  if (surface == nullptr || brush == nullptr) return nullptr;
  BrushRef previous = surface->brush;
  surface->brush = brush;
  return previous;
}

void deleteBrush(BrushRef brush) {
  if (brush != nullptr && brush != raster::stockWhiteBrush()) delete brush;
}

FontRef createFont(const FontRequest& request) {
  auto* font = new (std::nothrow) OpaqueFont;
  if (font == nullptr) return nullptr;
  font->request = request;
  font->face = request.face != nullptr ? request.face : "";
  font->request.face = font->face.c_str();
  return font;
}

FontRef selectFont(SurfaceRef surface, FontRef font) {
  if (surface == nullptr || font == nullptr) return nullptr;
  FontRef previous = surface->font;
  surface->font = font;
  return previous;
}

FontRef currentFont(SurfaceRef surface) { return surface != nullptr ? surface->font : nullptr; }

void deleteFont(FontRef font) { delete font; }

PenRef currentPen(SurfaceRef surface) { return surface != nullptr ? surface->pen : nullptr; }

BrushRef currentBrush(SurfaceRef surface) { return surface != nullptr ? surface->brush : nullptr; }

void setBackgroundMode(SurfaceRef surface, BackgroundMode mode) {
  if (surface != nullptr) surface->backgroundMode = mode;
}

ColorRef setBackgroundColor(SurfaceRef surface, ColorRef color) {
  if (surface == nullptr) return 0;
  const ColorRef previous = surface->backgroundColor;
  surface->backgroundColor = color & kWhite;
  return previous;
}

ColorRef setTextColor(SurfaceRef surface, ColorRef color) {
  if (surface == nullptr) return 0;
  const ColorRef previous = surface->textColor;
  surface->textColor = color & kWhite;
  return previous;
}

// The one cursor object of each shape; the backend shows it its own way (setCursor).
CursorRef systemCursor(CursorShape shape) {
  static OpaqueCursor cursors[] = {{CursorShape::Arrow},  {CursorShape::Wait},
                                   {CursorShape::SizeWE}, {CursorShape::SizeNS},
                                   {CursorShape::SizeAll}, {CursorShape::SizeNESW},
                                   {CursorShape::SizeNWSE}};
  return &cursors[static_cast<int>(shape)];
}

// ---------------------------------------------------------------------------------------------
// Drawing

void moveTo(SurfaceRef surface, int x, int y) {
  if (surface != nullptr) surface->current = Position{x, y};
}

void lineTo(SurfaceRef surface, int x, int y) {
  if (surface == nullptr) return;
  drawLine(*surface, surface->current, Position{x, y});
  surface->current = Position{x, y};
}

void rectangle(SurfaceRef surface, Bounds b) {
  if (surface == nullptr) return;
  OpaqueImage* image = surface->target();
  if (image == nullptr) return;
  if (b.right < b.left) std::swap(b.left, b.right);
  if (b.bottom < b.top) std::swap(b.top, b.bottom);
  const bool outline = surface->pen != nullptr && !surface->pen->isNull;
  if (!outline) {
    // Without a pen the filled area is one pixel smaller on the right and at the bottom.
    if (surface->brush != nullptr) {
      fillBox(image, b.left, b.top, b.right - 1, b.bottom - 1, surface->brush->color);
    }
    return;
  }
  if (surface->brush != nullptr) {
    fillBox(image, b.left + 1, b.top + 1, b.right - 1, b.bottom - 1, surface->brush->color);
  }
  const Position saved = surface->current;
  const int r = b.right - 1;
  const int btm = b.bottom - 1;
  if (r < b.left || btm < b.top) return;
  // The outline runs round the inside of the rectangle as a closed figure.
  drawLine(*surface, {b.left, b.top}, {r, b.top});
  drawLine(*surface, {r, b.top}, {r, btm});
  drawLine(*surface, {r, btm}, {b.left, btm});
  drawLine(*surface, {b.left, btm}, {b.left, b.top});
  if (r == b.left || btm == b.top) plot(image, r, btm, surface->pen->color);
  surface->current = saved;
}

void drawText(SurfaceRef surface, const char* text, Bounds bounds, unsigned format) {
  if (surface == nullptr || text == nullptr) return;
  raster::renderText(*surface, text, bounds, format);
}

bool blit(SurfaceRef destination, int x, int y, int width, int height, SurfaceRef source,
          int srcX, int srcY, RasterOp op) {
  if (destination == nullptr || source == nullptr || width <= 0 || height <= 0) return false;
  OpaqueImage* dst = destination->target();
  const OpaqueImage* src = source->target();
  if (dst == nullptr || src == nullptr) return false;
  // Read the source first, so that overlapping copies within one image behave.
  std::vector<ColorRef> copy(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  std::vector<bool> inside(copy.size());
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const std::size_t i = static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                            static_cast<std::size_t>(col);
      const int sx = srcX + col;
      const int sy = srcY + row;
      inside[i] = src->contains(sx, sy);
      if (!inside[i]) continue;
      ColorRef value = src->at(sx, sy);
      if (src->monochrome && !dst->monochrome) {
        value = value == kWhite ? destination->backgroundColor : destination->textColor;
      } else if (!src->monochrome && dst->monochrome) {
        value = value == source->backgroundColor ? kWhite : 0;
      }
      copy[i] = value;
    }
  }
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const std::size_t i = static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                            static_cast<std::size_t>(col);
      const int dx = x + col;
      const int dy = y + row;
      if (!inside[i] || !dst->contains(dx, dy)) continue;
      ColorRef& d = dst->at(dx, dy);
      const ColorRef s = copy[i];
      switch (op) {
        case RasterOp::SrcCopy: d = s; break;
        case RasterOp::SrcAnd: d = d & s; break;
        case RasterOp::SrcPaint: d = d | s; break;
        case RasterOp::NotSrcCopy: d = ~s & kWhite; break;
      }
    }
  }
  dst->touch(std::max(x, 0), std::max(y, 0), std::min(x + width, dst->width),
             std::min(y + height, dst->height));
  return true;
}

}  // namespace kestrane::platform
