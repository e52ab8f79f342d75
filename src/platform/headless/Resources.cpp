// Bitmap resources of the headless backend: the same BMP files that the Windows builds bind as
// BITMAP resources are compiled into the native programs as byte arrays (generated at build
// time), register themselves here, and are decoded on load as the system's loader would.
#include <cstring>
#include <new>
#include <vector>

#include "platform/headless/Headless.h"
#include "platform/headless/Objects.h"

namespace kestrane::platform::headless {

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

// Decodes an uncompressed 24- or 32-bit BMP file; null for anything else.
OpaqueImage* decodeBmp(const unsigned char* data, std::size_t size) {
  constexpr std::size_t kFileHeader = 14;
  constexpr std::size_t kInfoHeader = 40;
  if (size < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M') return nullptr;
  const std::uint32_t pixelOffset = readLE(data + 10, 4);
  const unsigned char* info = data + kFileHeader;
  const auto width = static_cast<std::int32_t>(readLE(info + 4, 4));
  const auto rawHeight = static_cast<std::int32_t>(readLE(info + 8, 4));
  const std::uint32_t bitCount = readLE(info + 14, 2);
  const std::uint32_t compression = readLE(info + 16, 4);
  if (width <= 0 || rawHeight == 0 || (bitCount != 24 && bitCount != 32) || compression != 0) {
    return nullptr;
  }
  const bool topDown = rawHeight < 0;
  const std::int32_t height = topDown ? -rawHeight : rawHeight;
  const std::size_t bytesPerPixel = bitCount / 8;
  const std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{3};
  if (pixelOffset > size || stride * static_cast<std::size_t>(height) > size - pixelOffset) {
    return nullptr;
  }
  auto* image = new (std::nothrow) OpaqueImage(width, height, false, 0);
  if (image == nullptr) return nullptr;
  for (std::int32_t row = 0; row < height; ++row) {
    const std::int32_t y = topDown ? row : height - 1 - row;
    const unsigned char* p = data + pixelOffset + static_cast<std::size_t>(row) * stride;
    for (std::int32_t x = 0; x < width; ++x, p += bytesPerPixel) {
      // Stored blue, green, red; a ColorRef is red | green << 8 | blue << 16.
      image->at(x, y) = static_cast<ColorRef>(p[2]) | static_cast<ColorRef>(p[1]) << 8 |
                        static_cast<ColorRef>(p[0]) << 16;
    }
  }
  return image;
}

}  // namespace

void registerBitmapResources(const BitmapResource* resources, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) registry().push_back(resources[i]);
}

OpaqueImage* decodeBitmapResource(int resourceId) {
  // Resources are found by the low 16 bits of the id, as integer resource names are.
  const int id = resourceId & 0xFFFF;
  for (const BitmapResource& resource : registry()) {
    if (resource.id == id) return decodeBmp(resource.data, resource.size);
  }
  return nullptr;
}

}  // namespace kestrane::platform::headless
