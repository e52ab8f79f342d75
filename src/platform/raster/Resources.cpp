// Bitmap resources of the software rasteriser: the same BMP files that the Windows builds bind as
// BITMAP resources are compiled into the native programs as byte arrays (generated at build
// time), register themselves here, and are decoded as the system's loader would: the size
// on load, the pixels when the image is first selected into a surface.
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/raster/Raster.h"

namespace kestrane::platform::raster {

namespace {

std::vector<BitmapResource>& registry() {
  static std::vector<BitmapResource> resources;
  return resources;
}

std::uint32_t readLE(const unsigned char* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

// Where an uncompressed 24- or 32-bit BMP file keeps its pixels.
struct BmpLayout {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool topDown = false;  // rows stored from the top (negative height in the header)
  std::size_t bytesPerPixel = 0;
  std::size_t stride = 0;  // bytes per stored row, padded to 4
  std::uint32_t pixelOffset = 0;
};

// The layout of `data`; false for anything but an uncompressed 24- or 32-bit BMP whose rows
// all lie inside the file.
bool readLayout(const unsigned char* data, std::size_t size, BmpLayout& layout) {
  constexpr std::size_t kFileHeader = 14;
  constexpr std::size_t kInfoHeader = 40;
  if (data == nullptr || size < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M') {
    return false;
  }
  const unsigned char* info = data + kFileHeader;
  const auto width = static_cast<std::int32_t>(readLE(info + 4, 4));
  const auto rawHeight = static_cast<std::int32_t>(readLE(info + 8, 4));
  const std::uint32_t bitCount = readLE(info + 14, 2);
  const std::uint32_t compression = readLE(info + 16, 4);
  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN ||
      (bitCount != 24 && bitCount != 32) || compression != 0) {
    return false;
  }
  layout.width = width;
  layout.topDown = rawHeight < 0;
  layout.height = layout.topDown ? -rawHeight : rawHeight;
  layout.bytesPerPixel = bitCount / 8;
  layout.stride = (static_cast<std::size_t>(width) * layout.bytesPerPixel + 3) & ~std::size_t{3};
  layout.pixelOffset = readLE(data + 10, 4);
  return layout.pixelOffset <= size &&
         static_cast<std::size_t>(layout.height) <= (size - layout.pixelOffset) / layout.stride;
}

}  // namespace

void registerBitmapResources(const BitmapResource* resources, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) registry().push_back(resources[i]);
}

OpaqueImage* openBitmapResource(int resourceId) {
  // Resources are found by the low 16 bits of the id, as integer resource names are.
  const int id = resourceId & 0xFFFF;
  for (const BitmapResource& resource : registry()) {
    if (resource.id != id) continue;
    BmpLayout layout;
    if (!readLayout(resource.data, resource.size, layout)) return nullptr;
    return new (std::nothrow)
        OpaqueImage(layout.width, layout.height, resource.data, resource.size);
  }
  return nullptr;
}

bool realize(OpaqueImage& image) {
  if (image.encoded == nullptr) return true;
  BmpLayout layout;
  if (!readLayout(image.encoded, image.encodedSize, layout)) return false;  // checked at load
  std::vector<ColorRef> pixels;
  try {
    pixels.resize(static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::int32_t row = 0; row < layout.height; ++row) {
    const std::int32_t y = layout.topDown ? row : layout.height - 1 - row;
    const unsigned char* p =
        image.encoded + layout.pixelOffset + static_cast<std::size_t>(row) * layout.stride;
    ColorRef* out =
        pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(layout.width);
    for (std::int32_t x = 0; x < layout.width; ++x, p += layout.bytesPerPixel) {
      // Stored blue, green, red; a ColorRef is red | green << 8 | blue << 16.
      out[x] = static_cast<ColorRef>(p[2]) | static_cast<ColorRef>(p[1]) << 8 |
               static_cast<ColorRef>(p[0]) << 16;
    }
  }
  image.pixels = std::move(pixels);
  image.encoded = nullptr;
  image.encodedSize = 0;
  return true;
}

}  // namespace kestrane::platform::raster
