// Drawing helpers of the artwork generator: a cairo image with text set in Liberation Sans from
// its font files (fixed font options, so the output is the same on every machine), rounded
// panels, LED dots, and 24-bit BMP / PNG output.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrane::artgen {

struct Rgb {
  double r, g, b;
};
// From 0xRRGGBB.
constexpr Rgb hex(uint32_t value) {
  return {((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0};
}
Rgb mix(Rgb a, Rgb b, double t);

enum class Weight { Regular, Bold };
enum class Align { Left, Center, Right };

// An opaque RGB image being drawn.
class Image {
 public:
  Image(int width, int height);
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  cairo_t* cr() { return cr_; }

  // Pixel access (0xRRGGBB), after cairo has finished drawing.
  uint32_t pixel(int x, int y);
  void setPixel(int x, int y, uint32_t rgb);
  // Copies a block of another image to (x, y).
  void paste(Image& source, int sx, int sy, int w, int h, int x, int y);

  void fill(Rgb color);
  void fillRect(double x, double y, double w, double h, Rgb color, double alpha = 1.0);
  // A vertical gradient over a rectangle.
  void fillVertical(double x, double y, double w, double h, Rgb top, Rgb bottom);
  void roundedRect(double x, double y, double w, double h, double radius);
  void line(double x0, double y0, double x1, double y1, Rgb color, double width,
            double alpha = 1.0);
  // Text with extra spacing between letters (tracking, in pixels). baseline is the y of the
  // text's baseline; x is the left, centre or right end by align.
  void text(const std::string& utf8, double x, double baseline, double size, Weight weight,
            Rgb color, Align align = Align::Left, double tracking = 0.0, double alpha = 1.0);
  double textWidth(const std::string& utf8, double size, Weight weight, double tracking = 0.0);

  bool writeBmp(const std::string& path);
  bool writePng(const std::string& path);

 private:
  int width_;
  int height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

// Loads the two faces once; false when the font files are missing.
bool loadFonts(const std::string& fontDir);

}  // namespace kestrane::artgen
