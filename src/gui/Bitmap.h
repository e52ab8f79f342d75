// Bitmap: a picture from the plug-in library's bitmap resources, reference counted, drawn
// plainly (one block copy) or with white as the transparent key (seven block copies through a
// monochrome mask built on first use and kept). A resource that does not exist gives a bitmap
// of 0 x 0 that draws nothing.
//
// User-interface thread only.
#pragma once

#include <cstdint>

#include "gui/Graphics.h"
#include "platform/Platform.h"

namespace kestrane {

class DrawContext;

class Bitmap {
 public:
  // Loads the resource (the low 16 bits of the id name it). Count 1.
  explicit Bitmap(int32_t resourceId);
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  void retain();
  // Release on a count of 0 or below does nothing; the count reaching 0 deletes the bitmap.
  void release();
  int32_t getRefCount() const { return refCount; }

  int32_t getResourceId() const { return resourceId; }
  int32_t getWidth() const { return width; }
  int32_t getHeight() const { return height; }
  bool isLoaded() const { return image != nullptr; }

  // Copies the rect-sized part that starts at offset in the bitmap to rect (shifted by the
  // context's drawing offset).
  void draw(DrawContext* context, const Rect& rect, const Point& offset = Point(0, 0));
  // The same, but pixels of the transparent key colour leave the destination as it was.
  void drawTransparent(DrawContext* context, const Rect& rect, const Point& offset = Point(0, 0));

 private:
  // Deletes the bitmap and its mask; reached through release() only.
  ~Bitmap();
  // Builds the mask: 1 where the image has the key colour, 0 elsewhere.
  void createMask(platform::SurfaceRef destination, platform::SurfaceRef imageSurface, int32_t w,
                  int32_t h);

  int32_t resourceId;
  int32_t refCount = 1;
  int32_t width = 0;
  int32_t height = 0;
  platform::ImageRef image = nullptr;
  platform::ImageRef mask = nullptr;
};

}  // namespace kestrane
