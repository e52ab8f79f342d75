#include "gui/VuMeter.h"

#include "gui/Bitmap.h"

namespace kestrane {

VuMeter::VuMeter(const Rect& rect, Bitmap* on, Bitmap* off, int32_t leds, int32_t meterStyle)
    : Control(rect, nullptr, 0, nullptr),
      onBitmap(on),
      offBitmap(off),
      ledCount(leds > 0 ? leds : 1),
      style(meterStyle),
      onRect(rect.normalized()),
      offRect(rect.normalized()) {
  if (onBitmap != nullptr) onBitmap->retain();
  if (offBitmap != nullptr) offBitmap->retain();
}

VuMeter::~VuMeter() {
  if (onBitmap != nullptr) onBitmap->release();
  if (offBitmap != nullptr) offBitmap->release();
}

void VuMeter::setFallStep(float step) { fallStep = step; }

void VuMeter::replaceOffBitmap(Bitmap* bitmap) {
  if (offBitmap != nullptr) offBitmap->release();
  offBitmap = bitmap;
  if (offBitmap != nullptr) offBitmap->retain();
}

void VuMeter::draw(DrawContext* context) {
  if (onBitmap == nullptr) return;
  clampValue();
  float floor = oldValue - fallStep;
  if (floor < vmin) floor = vmin;
  if (value < floor) value = floor;
  oldValue = value;

  const float leds = static_cast<float>(ledCount);
  Point offSource(0, 0);
  Point onSource(0, 0);
  if ((style & kHorizontal) != 0) {
    const auto lit = static_cast<int32_t>(leds * value + 0.5f);
    const auto px = static_cast<int32_t>(static_cast<float>(lit) / leds *
                                         static_cast<float>(onBitmap->getWidth()));
    onRect.right = size.left + px;
    offRect.left = size.left + px;
    offSource = Point(px, 0);
  } else {
    const auto unlit = static_cast<int32_t>((vmax - value) * leds + 0.5f);
    const auto px = static_cast<int32_t>(static_cast<float>(unlit) / leds *
                                         static_cast<float>(onBitmap->getHeight()));
    offRect.bottom = size.top + px;
    onRect.top = size.top + px;
    onSource = Point(0, px);
  }
  drawBitmap(context, offBitmap, offRect, offSource);
  drawBitmap(context, onBitmap, onRect, onSource);
}

}  // namespace kestrane
