#include "gui/Bitmap.h"

#include "gui/DrawContext.h"

namespace kestrane {

namespace {

// A memory surface with one image selected, given back and deleted on scope exit.
class ScopedImageSurface {
 public:
  ScopedImageSurface(platform::SurfaceRef compatibleWith, platform::ImageRef image)
      : surface_(platform::createMemorySurface(compatibleWith)) {
    if (surface_ != nullptr && image != nullptr) previous_ = platform::selectImage(surface_, image);
  }
  ~ScopedImageSurface() {
    if (surface_ == nullptr) return;
    if (previous_ != nullptr) platform::selectImage(surface_, previous_);
    platform::deleteMemorySurface(surface_);
  }
  ScopedImageSurface(const ScopedImageSurface&) = delete;
  ScopedImageSurface& operator=(const ScopedImageSurface&) = delete;
  platform::SurfaceRef get() const { return surface_; }
  explicit operator bool() const { return surface_ != nullptr && previous_ != nullptr; }

 private:
  platform::SurfaceRef surface_;
  platform::ImageRef previous_ = nullptr;
};

// A temporary image, deleted on scope exit (after the surface holding it has let go).
class ScopedImage {
 public:
  explicit ScopedImage(platform::ImageRef image) : image_(image) {}
  ~ScopedImage() { platform::deleteImage(image_); }
  ScopedImage(const ScopedImage&) = delete;
  ScopedImage& operator=(const ScopedImage&) = delete;
  platform::ImageRef get() const { return image_; }

 private:
  platform::ImageRef image_;
};

}  // namespace

Bitmap::Bitmap(int32_t id) : resourceId(id) {
  image = platform::loadImageResource(id);
  int w = 0;
  int h = 0;
  if (image != nullptr && platform::imageSize(image, w, h)) {
    width = w;
    height = h;
  }
}

Bitmap::~Bitmap() {
  platform::deleteImage(image);
  platform::deleteImage(mask);
}

void Bitmap::retain() { ++refCount; }

void Bitmap::release() {
  if (refCount <= 0) return;
  if (--refCount == 0) delete this;
}

void Bitmap::draw(DrawContext* context, const Rect& rect, const Point& offset) {
  if (image == nullptr || context == nullptr || context->getSurface() == nullptr) return;
  platform::SurfaceRef destination = context->getSurface();
  ScopedImageSurface source(destination, image);
  if (!source) return;
  const Point& shift = context->getOffset();
  platform::blit(destination, rect.left + shift.h, rect.top + shift.v, rect.width(), rect.height(),
                 source.get(), offset.h, offset.v, platform::RasterOp::SrcCopy);
}

void Bitmap::createMask(platform::SurfaceRef destination, platform::SurfaceRef imageSurface,
                        int32_t w, int32_t h) {
  platform::ImageRef newMask = platform::createMonochromeImage(w, h);
  if (newMask == nullptr) return;
  {
    ScopedImageSurface maskSurface(destination, newMask);
    if (!maskSurface) {
      platform::deleteImage(newMask);
      return;
    }
    // Copying colour to monochrome turns the source's background colour into 1, all else 0.
    platform::setMapMode(imageSurface, platform::mapMode(destination));
    const platform::ColorRef previous =
        platform::setBackgroundColor(imageSurface, kTransparentKey.toColorRef());
    platform::blit(maskSurface.get(), 0, 0, w, h, imageSurface, 0, 0, platform::RasterOp::SrcCopy);
    platform::setBackgroundColor(imageSurface, previous);
  }
  mask = newMask;
}

void Bitmap::drawTransparent(DrawContext* context, const Rect& rect, const Point& offset) {
  if (image == nullptr || context == nullptr || context->getSurface() == nullptr) return;
  platform::SurfaceRef destination = context->getSurface();
  ScopedImageSurface imageSurface(destination, image);
  if (!imageSurface) return;
  const platform::Position size =
      platform::deviceToLogical(imageSurface.get(), platform::Position{width, height});
  const int32_t w = size.x;
  const int32_t h = size.y;
  if (mask == nullptr) createMask(destination, imageSurface.get(), w, h);
  if (mask == nullptr) return;

  // Every intermediate image has the full bitmap size, whatever part of it is drawn.
  ScopedImage save(platform::createCompatibleImage(destination, w, h));
  ScopedImage inverse(platform::createMonochromeImage(w, h));
  ScopedImage work(platform::createCompatibleImage(destination, w, h));
  if (save.get() == nullptr || inverse.get() == nullptr || work.get() == nullptr) return;
  {
    ScopedImageSurface maskSurface(destination, mask);
    ScopedImageSurface saveSurface(destination, save.get());
    ScopedImageSurface inverseSurface(destination, inverse.get());
    ScopedImageSurface workSurface(destination, work.get());
    if (!maskSurface || !saveSurface || !inverseSurface || !workSurface) return;
    using platform::RasterOp;
    const Point& shift = context->getOffset();
    const int32_t x = rect.left + shift.h;
    const int32_t y = rect.top + shift.v;
    // The classic transparent blit with raster operations alone: cut the key-coloured holes
    // out of a copy of the destination, cut everything else out of the image, and OR the two.
    // The image itself is blacked out on the way and restored from a copy at the end.
    platform::blit(saveSurface.get(), 0, 0, w, h, imageSurface.get(), 0, 0, RasterOp::SrcCopy);
    platform::blit(inverseSurface.get(), 0, 0, w, h, maskSurface.get(), 0, 0, RasterOp::NotSrcCopy);
    // The destination under the whole bitmap, not only under the part drawn, so that the
    // mask's pixels line up with it.
    platform::blit(workSurface.get(), 0, 0, w, h, destination, x - offset.h, y - offset.v,
                   RasterOp::SrcCopy);
    // Holes: the mask is 1 where the image is key-coloured, so the background stays there.
    platform::blit(workSurface.get(), 0, 0, w, h, maskSurface.get(), 0, 0, RasterOp::SrcAnd);
    // The image's own pixels, black where it is key-coloured.
    platform::blit(imageSurface.get(), 0, 0, w, h, inverseSurface.get(), 0, 0, RasterOp::SrcAnd);
    // Black ORed with anything is that thing: each pixel comes from exactly one of the two.
    platform::blit(workSurface.get(), 0, 0, w, h, imageSurface.get(), 0, 0, RasterOp::SrcPaint);
    // Only the requested part goes back onto the destination; then the image is whole again.
    platform::blit(destination, x, y, rect.width(), rect.height(), workSurface.get(), offset.h,
                   offset.v, RasterOp::SrcCopy);
    platform::blit(imageSurface.get(), 0, 0, w, h, saveSurface.get(), 0, 0, RasterOp::SrcCopy);
  }
}

}  // namespace kestrane
