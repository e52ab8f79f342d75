#include "gui/FilmStripDisplay.h"

namespace kestrane {

FilmStripDisplay::FilmStripDisplay(const Rect& rect, ControlListener* owner, int32_t controlTag,
                                   int32_t frames, int32_t height, Bitmap* bitmap,
                                   const Point& offset)
    : Control(rect, owner, controlTag, bitmap),
      sourceOffset(offset),
      frameCount(frames),
      frameHeight(height) {}

FilmStripDisplay::~FilmStripDisplay() = default;

void FilmStripDisplay::draw(DrawContext* context) {
  if (value > 1.0f) value = 1.0f;
  Point where = sourceOffset;
  if (value > 0.0f) {
    const auto frameIndex =
        static_cast<int32_t>(value * static_cast<float>(frameCount - 1) + 0.5f);
    where.v += frameIndex * frameHeight;
  }
  drawBitmap(context, background, size, where);
  setDirty(false);
}

}  // namespace kestrane
