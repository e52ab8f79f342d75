// OffscreenContext: a DrawContext on a memory image of its own, drawn into and then copied to
// the screen in one block, so that composite pictures appear without flicker. Lives for one
// drawing.
#pragma once

#include <cstdint>

#include "gui/DrawContext.h"

namespace kestrane {

class OffscreenContext : public DrawContext {
 public:
  // A memory surface and a width x height image compatible with the frame's window (or the
  // screen without one), painted all over in the background colour.
  OffscreenContext(Frame* frame, int32_t width, int32_t height,
                   const Color& background = kBlack);
  // Lets go of the surface's objects, deletes the memory surface and then the image.
  ~OffscreenContext() override;

  // Copies the rect-sized block starting at source in the image to rect (shifted by the
  // destination's drawing offset).
  void blitTo(DrawContext* destination, const Rect& rect, const Point& source = Point(0, 0));

  int32_t getWidth() const { return width; }
  int32_t getHeight() const { return height; }

 private:
  bool ownsBitmap = true;
  int32_t height;
  int32_t width;
  Color backgroundColor;
  platform::ImageRef image = nullptr;
  platform::ImageRef previousImage = nullptr;
  platform::SurfaceRef memorySurface = nullptr;
};

}  // namespace kestrane
