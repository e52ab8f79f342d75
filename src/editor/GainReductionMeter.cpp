#include "editor/GainReductionMeter.h"

namespace kestrane {

GainReductionMeter::GainReductionMeter(const Rect& rect, Bitmap* on, Bitmap* off, int32_t leds,
                                       int32_t meterStyle)
    : VuMeter(rect, on, off, leds, meterStyle) {}

GainReductionMeter::~GainReductionMeter() = default;

void GainReductionMeter::setOffBitmap(Bitmap* bitmap) { replaceOffBitmap(bitmap); }

}  // namespace kestrane
