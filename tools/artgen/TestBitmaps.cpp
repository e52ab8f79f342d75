// testbitmaps: draws the small bitmaps the toolkit tests bind as resources (tests/gui/data).
//
//   testbitmaps <data-dir>
//
// Each picture is made so that a wrong offset, a lost key colour or a colour channel swap shows
// in a single pixel. Deterministic.
#include <cstdint>
#include <cstdio>
#include <string>

#include "Painter.h"

namespace kestrane::artgen {
namespace {

constexpr uint32_t kKey = 0xFFFFFF;  // the toolkit's transparent key (white)

// A colour that differs for every (frame, x, y) and is never the key.
uint32_t stripColor(int frame, int x, int y) {
  const uint32_t r = static_cast<uint32_t>(16 + 6 * frame);
  const uint32_t g = static_cast<uint32_t>(40 + 4 * x);
  const uint32_t b = static_cast<uint32_t>(20 + 7 * y);
  return r << 16 | g << 8 | b;
}

// 37 frames of 44 x 34, like a knob strip: every frame its own colours, with a key-coloured
// plus sign in the middle and key-coloured corners.
void knobLikeStrip(Image& img) {
  for (int frame = 0; frame < 37; ++frame) {
    for (int y = 0; y < 34; ++y) {
      for (int x = 0; x < 44; ++x) {
        const bool plus = (x >= 20 && x <= 23) || (y >= 15 && y <= 18);
        const bool corner = (x < 3 || x > 40) && (y < 3 || y > 30);
        img.setPixel(x, frame * 34 + y, plus || corner ? kKey : stripColor(frame, x, y));
      }
    }
  }
}

// 16 x 12: a checkerboard of key pixels and colours that say where they are.
void checker(Image& img) {
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 16; ++x) {
      img.setPixel(x, y, (x + y) % 2 == 0 ? kKey : 0x102030u + static_cast<uint32_t>(x * 9) * 0x10000u +
                                                      static_cast<uint32_t>(y * 17));
    }
  }
}

// 240 x 160: a backdrop whose every pixel differs from its neighbours.
void backdrop(Image& img) {
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 240; ++x) {
      const uint32_t r = static_cast<uint32_t>(x);
      const uint32_t g = static_cast<uint32_t>(40 + y);
      const uint32_t b = static_cast<uint32_t>((x ^ y) & 0x7F);
      img.setPixel(x, y, r << 16 | g << 8 | b);
    }
  }
}

bool write(Image& img, const std::string& dir, const char* name) {
  const std::string path = dir + "/" + name;
  if (!img.writeBmp(path)) {
    std::fprintf(stderr, "testbitmaps: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace
}  // namespace kestrane::artgen

int main(int argc, char** argv) {
  using kestrane::artgen::Image;
  if (argc != 2) {
    std::fprintf(stderr, "usage: testbitmaps <data-dir>\n");
    return 2;
  }
  const std::string dir = argv[1];
  Image white(8, 8);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) white.setPixel(x, y, kestrane::artgen::kKey);
  }
  Image strip(44, 1258);
  kestrane::artgen::knobLikeStrip(strip);
  Image pattern(16, 12);
  kestrane::artgen::checker(pattern);
  Image field(240, 160);
  kestrane::artgen::backdrop(field);
  const bool ok = kestrane::artgen::write(white, dir, "900-white.bmp") &&
                  kestrane::artgen::write(field, dir, "903-backdrop.bmp") &&
                  kestrane::artgen::write(strip, dir, "901-strip.bmp") &&
                  kestrane::artgen::write(pattern, dir, "902-checker.bmp");
  return ok ? 0 : 1;
}
