// GainReductionMeter: the bar under each band's level meters that shows how much the band's
// compressor or expander reduces its gain. It draws exactly like a horizontal VuMeter; the editor
// exchanges the bar picture (the unlit part, which is what shows the reduction) between the
// compressor's and the expander's colour while it runs. Display only.
//
// User-interface thread only.
#pragma once

#include "gui/VuMeter.h"

namespace kestrane {

class GainReductionMeter : public VuMeter {
 public:
  GainReductionMeter(const Rect& size, Bitmap* onBitmap, Bitmap* offBitmap, int32_t ledCount,
                     int32_t style);
  ~GainReductionMeter() override;

  // --- GainReductionMeter slots ----------------------------------------------------------------
  // Releases the current off bitmap, stores the new one and retains it (null allowed). Does not
  // mark the meter dirty; the value set next does.
  virtual void setOffBitmap(Bitmap* bitmap);

  Bitmap* offBitmap() const { return getOffBitmap(); }
};

}  // namespace kestrane
