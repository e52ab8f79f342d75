// VuMeter: a bar of LEDs. The artwork gives the whole bar twice, every LED lit and every LED
// dark; a drawing shows the lit picture up to the LED the value reaches (to the nearest LED) and
// the dark picture beyond it. So that the bar reads like a meter instead of flickering with
// every block's peak, it may drop by at most the fall step per drawing; it rises at once.
//
// A bar lies on its side and fills rightwards when style bit 0 is set; otherwise it stands up and
// fills from the bottom.
// Display only. User-interface thread.
#pragma once

#include "gui/Control.h"

namespace kestrane {

class VuMeter : public Control {
 public:
  enum Style : int32_t { kHorizontal = 1 };

  // onBitmap: the lit bar; offBitmap: the unlit bar (either may be null; both retained while
  // held). No listener, tag 0, no background. ledCount below 1 counts as 1.
  VuMeter(const Rect& size, Bitmap* onBitmap, Bitmap* offBitmap, int32_t ledCount,
          int32_t style);
  ~VuMeter() override;

  // Nothing without an on bitmap. Clamps the value, limits its fall to one fall step below the
  // value last drawn, then draws the unlit part and the lit part.
  void draw(DrawContext* context) override;

  // --- VuMeter slots ---------------------------------------------------------------------------
  // The most the bar falls per drawing (value units; 1.0 = no limit on a 0..1 meter).
  virtual void setFallStep(float step);

  float getFallStep() const { return fallStep; }
  int32_t getLedCount() const { return ledCount; }

 protected:
  // Releases the current unlit bitmap and retains the new one (null allowed).
  void replaceOffBitmap(Bitmap* bitmap);
  Bitmap* getOffBitmap() const { return offBitmap; }

 private:
  Bitmap* onBitmap;
  Bitmap* offBitmap;
  int32_t ledCount;
  int32_t style;
  float fallStep = 1.0f;
  Rect onRect;
  Rect offRect;
};

}  // namespace kestrane
