// Helpers of the toolkit tests, the same on both backends: a canvas to draw on and read back,
// views that record what happens to them, and small image files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/DrawContext.h"
#include "gui/OffscreenContext.h"
#include "gui/View.h"
#include "platform/Platform.h"

namespace kestrane::testing {

using platform::ColorRef;

inline ColorRef rgb(const Color& c) { return c.toColorRef(); }
inline ColorRef rgb(int r, int g, int b) {
  return static_cast<ColorRef>(r) | static_cast<ColorRef>(g) << 8 | static_cast<ColorRef>(b) << 16;
}

// An offscreen context of its own (no frame), filled with a background colour, whose pixels
// the test reads back through the seam.
class Canvas {
 public:
  Canvas(int width, int height, const Color& background = kBlack)
      : width_(width), height_(height), context_(nullptr, width, height, background) {}

  DrawContext& context() { return context_; }
  int width() const { return width_; }
  int height() const { return height_; }

  std::vector<ColorRef> pixels() {
    std::vector<ColorRef> out(static_cast<std::size_t>(width_ * height_));
    platform::readPixels(context_.getSurface(), 0, 0, width_, height_, out.data());
    return out;
  }
  ColorRef pixel(int x, int y) {
    ColorRef value = 0;
    platform::readPixels(context_.getSurface(), x, y, 1, 1, &value);
    return value;
  }

 private:
  int width_;
  int height_;
  OffscreenContext context_;
};

inline ColorRef at(const std::vector<ColorRef>& pixels, int width, int x, int y) {
  return pixels[static_cast<std::size_t>(y * width + x)];
}

// A view that records what the frame does with it. Counters live outside the view so that they
// can be read after it is gone.
struct ViewLog {
  int draws = 0;
  int mouses = 0;
  int drops = 0;
  int attachedCalls = 0;
  int removedCalls = 0;
  int lostFocus = 0;
  bool destroyed = false;
  Point lastMouse;
};

class RecordingView : public View {
 public:
  RecordingView(const Rect& rect, ViewLog& log, bool acceptDrops = false)
      : View(rect), log_(log), acceptDrops_(acceptDrops) {}
  ~RecordingView() override { log_.destroyed = true; }
  void draw(DrawContext*) override { ++log_.draws; }
  void mouse(DrawContext*, Point& where) override {
    ++log_.mouses;
    log_.lastMouse = where;
  }
  bool onDrop(void**, long, long, Point&) override {
    ++log_.drops;
    return acceptDrops_;
  }
  void loseFocus(DrawContext*) override { ++log_.lostFocus; }
  bool attached(View*) override {
    ++log_.attachedCalls;
    return true;
  }
  bool removed(View*) override {
    ++log_.removedCalls;
    return true;
  }

 private:
  ViewLog& log_;
  bool acceptDrops_;
};

// Binary PPM (P6) files: the picture both backends are compared against.
inline bool writePpm(const std::string& path, int width, int height,
                     const std::vector<ColorRef>& pixels) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  for (ColorRef c : pixels) {
    const unsigned char bytes[3] = {static_cast<unsigned char>(c & 0xFF),
                                    static_cast<unsigned char>((c >> 8) & 0xFF),
                                    static_cast<unsigned char>((c >> 16) & 0xFF)};
    std::fwrite(bytes, 1, 3, file);
  }
  return std::fclose(file) == 0;
}

inline bool readPpm(const std::string& path, int& width, int& height,
                    std::vector<ColorRef>& pixels) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  int maxValue = 0;
  const bool header = std::fscanf(file, "P6 %d %d %d", &width, &height, &maxValue) == 3 &&
                      std::fgetc(file) != EOF && maxValue == 255 && width > 0 && height > 0;
  pixels.clear();
  if (header) {
    pixels.resize(static_cast<std::size_t>(width * height));
    for (ColorRef& c : pixels) {
      unsigned char bytes[3];
      if (std::fread(bytes, 1, 3, file) != 3) {
        pixels.clear();
        break;
      }
      c = rgb(bytes[0], bytes[1], bytes[2]);
    }
  }
  std::fclose(file);
  return !pixels.empty();
}

}  // namespace kestrane::testing
