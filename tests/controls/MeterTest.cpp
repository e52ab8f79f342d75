// Bar meters: the VU meter's fall limit and its lit and unlit parts in both directions, and the
// gain-reduction meter whose bar picture the editor exchanges.
#include <gtest/gtest.h>

#include "ControlTestSupport.h"
#include "editor/GainReductionMeter.h"
#include "gui/VuMeter.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::HeldBitmap;
using testing::region;

class Meters : public ::testing::Test {
 protected:
  Meters() : lit(120), unlit(117), compressorBar(124), expanderBar(125) {}
  // The meter drawn into a 124 x 6 canvas equals the lit bitmap left of px and the unlit one
  // from px on (horizontal).
  void expectSplit(Control* meter, Bitmap* on, Bitmap* off, int px) {
    Canvas drawn(124, 6);
    Canvas expected(124, 6);
    meter->draw(&drawn.context());
    on->draw(&expected.context(), Rect(0, 0, px, 6), Point(0, 0));
    off->draw(&expected.context(), Rect(px, 0, 124, 6), Point(px, 0));
    EXPECT_EQ(region(drawn, Rect(0, 0, 124, 6)), region(expected, Rect(0, 0, 124, 6)))
        << "split at " << px;
  }
  HeldBitmap lit;
  HeldBitmap unlit;
  HeldBitmap compressorBar;
  HeldBitmap expanderBar;
};

TEST_F(Meters, AVuMeterFallsByAtMostOneFallStepPerDrawing) {
  auto* meter = new VuMeter(Rect(0, 0, 124, 6), lit.get(), unlit.get(), 124, VuMeter::kHorizontal);
  meter->setFallStep(0.1f);
  Canvas canvas(124, 6);
  meter->setValue(1.0f);
  meter->draw(&canvas.context());
  meter->setValue(0.0f);
  meter->draw(&canvas.context());
  EXPECT_FLOAT_EQ(meter->getValue(), 0.9f);
  meter->setValue(0.0f);
  meter->draw(&canvas.context());
  EXPECT_FLOAT_EQ(meter->getValue(), 0.8f);
  // Rising is not limited; out-of-range values are clamped first.
  meter->setValue(7.0f);
  meter->draw(&canvas.context());
  EXPECT_EQ(meter->getValue(), 1.0f);
  EXPECT_EQ(meter->getOldValue(), 1.0f);
  meter->release();
}

TEST_F(Meters, HorizontalBarsLightLedsRoundedToTheNearest) {
  auto* meter = new VuMeter(Rect(0, 0, 124, 6), lit.get(), unlit.get(), 124, VuMeter::kHorizontal);
  meter->setValue(0.5f);
  expectSplit(meter, lit.get(), unlit.get(), 62);
  meter->setValue(0.0f);
  expectSplit(meter, lit.get(), unlit.get(), 0);
  meter->setValue(1.0f);
  expectSplit(meter, lit.get(), unlit.get(), 124);
  meter->release();
  // Fewer LEDs than pixels: 4 LEDs of 31 pixels, 0.6 lights 2 of them (2.4 rounded).
  auto* coarse = new VuMeter(Rect(0, 0, 124, 6), lit.get(), unlit.get(), 4, VuMeter::kHorizontal);
  coarse->setValue(0.6f);
  expectSplit(coarse, lit.get(), unlit.get(), 62);
  coarse->release();
}

TEST_F(Meters, VerticalBarsGrowFromTheBottom) {
  // A 6-pixel-high strip as a vertical bar of 6 LEDs, one pixel row each.
  auto* meter = new VuMeter(Rect(0, 0, 124, 6), lit.get(), unlit.get(), 6, 0);
  meter->setValue(0.5f);
  Canvas drawn(124, 6);
  Canvas expected(124, 6);
  meter->draw(&drawn.context());
  unlit->draw(&expected.context(), Rect(0, 0, 124, 3), Point(0, 0));
  lit->draw(&expected.context(), Rect(0, 3, 124, 6), Point(0, 3));
  EXPECT_EQ(region(drawn, Rect(0, 0, 124, 6)), region(expected, Rect(0, 0, 124, 6)));
  meter->release();
}

TEST_F(Meters, AMeterWithoutALitBitmapDrawsNothingAndHoldsItsBitmaps) {
  auto* meter = new VuMeter(Rect(0, 0, 124, 6), nullptr, unlit.get(), 124, VuMeter::kHorizontal);
  EXPECT_EQ(unlit->getRefCount(), 2);
  Canvas canvas(124, 6, kMagenta);
  meter->setValue(0.5f);
  meter->draw(&canvas.context());
  EXPECT_EQ(canvas.pixel(100, 3), testing::rgb(kMagenta));
  meter->release();
  EXPECT_EQ(unlit->getRefCount(), 1);
}

TEST_F(Meters, TheGainReductionMeterDrawsLikeAVuMeterWithAnExchangeableBar) {
  auto* meter = new GainReductionMeter(Rect(0, 0, 124, 6), unlit.get(), compressorBar.get(), 124,
                                       VuMeter::kHorizontal);
  // 1.0 is no reduction: all black; lower values show the bar from the right end.
  meter->setValue(1.0f);
  expectSplit(meter, unlit.get(), compressorBar.get(), 124);
  meter->setValue(0.75f);
  expectSplit(meter, unlit.get(), compressorBar.get(), 93);
  meter->setOffBitmap(expanderBar.get());
  EXPECT_EQ(compressorBar->getRefCount(), 1);
  EXPECT_EQ(expanderBar->getRefCount(), 2);
  EXPECT_EQ(meter->offBitmap(), expanderBar.get());
  expectSplit(meter, unlit.get(), expanderBar.get(), 93);
  meter->setOffBitmap(nullptr);
  EXPECT_EQ(expanderBar->getRefCount(), 1);
  meter->release();
  EXPECT_EQ(unlit->getRefCount(), 1);
}

}  // namespace
}  // namespace kestrane
