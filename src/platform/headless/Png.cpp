// PNG output of the headless backend (libpng): pictures of frames and bitmaps for tests,
// documentation and the eye.
#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/headless/Headless.h"

namespace kestrane::platform::headless {

bool writePng(const std::string& path, int width, int height, const std::vector<ColorRef>& pixels) {
  if (width <= 0 || height <= 0 ||
      pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  volatile bool ok = false;
  if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const ColorRef c = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                  static_cast<std::size_t>(x)];
        row[static_cast<std::size_t>(x) * 3 + 0] = static_cast<png_byte>(c & 0xFF);
        row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<png_byte>((c >> 8) & 0xFF);
        row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<png_byte>((c >> 16) & 0xFF);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  return std::fclose(file) == 0 && ok;
}

}  // namespace kestrane::platform::headless
