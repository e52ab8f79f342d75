// FilmStripDisplay: shows one frame of a film strip (frames stacked vertically in the
// background) chosen by the value, rounded to the nearest frame: value 0 the first, 1 the last.
// Display only: no mouse behaviour. User-interface thread.
#pragma once

#include "gui/Control.h"

namespace kestrane {

class FilmStripDisplay : public Control {
 public:
  FilmStripDisplay(const Rect& size, ControlListener* listener, int32_t tag, int32_t frameCount,
                   int32_t frameHeight, Bitmap* background, const Point& offset = Point(0, 0));
  ~FilmStripDisplay() override;

  // A value above 1 is set to 1 first.
  void draw(DrawContext* context) override;

  int32_t getFrameCount() const { return frameCount; }
  int32_t getFrameHeight() const { return frameHeight; }

 private:
  Point sourceOffset;
  int32_t frameCount;
  int32_t frameHeight;
};

}  // namespace kestrane
