#include "gui/OffscreenContext.h"

#include "gui/Frame.h"

namespace kestrane {

OffscreenContext::OffscreenContext(Frame* owner, int32_t w, int32_t h, const Color& background)
    : DrawContext(owner, nullptr, nullptr), height(h), width(w), backgroundColor(background) {
  platform::WindowRef frameWindow = owner != nullptr ? owner->getSystemWindow() : nullptr;
  platform::SurfaceRef windowSurface = platform::acquireWindowSurface(frameWindow);
  if (windowSurface == nullptr) return;
  memorySurface = platform::createMemorySurface(windowSurface);
  image = platform::createCompatibleImage(windowSurface, width, height);
  platform::releaseWindowSurface(frameWindow, windowSurface);
  if (memorySurface == nullptr || image == nullptr) return;
  previousImage = platform::selectImage(memorySurface, image);
  attachSurface(memorySurface);
  setFillColor(backgroundColor);
  setFrameColor(backgroundColor);
  fillRect(Rect(0, 0, width, height));
  drawRect(Rect(0, 0, width, height));
}

OffscreenContext::~OffscreenContext() {
  // The surface's own objects go back in before it is deleted, and the image is deleted only
  // once no surface holds it.
  detachSurface();
  if (memorySurface != nullptr) {
    if (previousImage != nullptr) platform::selectImage(memorySurface, previousImage);
    platform::deleteMemorySurface(memorySurface);
  }
  if (ownsBitmap) platform::deleteImage(image);
}

void OffscreenContext::blitTo(DrawContext* destination, const Rect& rect, const Point& source) {
  if (destination == nullptr || destination->getSurface() == nullptr || surface == nullptr) return;
  const Point& shift = destination->getOffset();
  platform::blit(destination->getSurface(), rect.left + shift.h, rect.top + shift.v, rect.width(),
                 rect.height(), surface, source.h, source.v, platform::RasterOp::SrcCopy);
}

}  // namespace kestrane
