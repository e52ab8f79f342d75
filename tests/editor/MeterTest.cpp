// The meters: the engine leaves its block readings in the editor's slots (levels only rising,
// gain reduction every block with the half that acts), and the editor's idle shows them and
// lets them fall back to rest by 1/62 of the bar per refresh.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "EditorPicture.h"
#include "EditorTestSupport.h"
#include "editor/GainReductionMeter.h"
#include "gui/Bitmap.h"

namespace kestrane {
namespace {

using layout::Role;
using testing::rowOf;

class Meters : public testing::OpenEditor {
 protected:
  // A refresh: an idle call more than the 5 ms the meters wait for after the last one, by the
  // clock the editor reads. A loaded machine may let a sleep pass before that clock moves on
  // (wine's tick count is kept by its server), so the wait is measured on the clock itself.
  void refresh() {
    const uint32_t start = platform::tickCount();
    do {
      platform::sleep(20);
    } while (platform::tickCount() - start <= 20);
    effect->dispatch(effEditIdle);
  }
  MeterSlots& slots() { return editor()->meterSlots(); }
  Control* inputLeft() { return view(Role::LevelMeter, -1, 0, 0); }
  GainReductionMeter* reduction(int32_t band) {
    return view<GainReductionMeter>(Role::ReductionMeter, rowOf(band));
  }
  // Blocks of a stereo 500 Hz sine (the LMF band of the first program) of the given peak
  // through the effect's audio path.
  void play(float peak, int blocks = 8) {
    constexpr int32_t kFrames = 4096;
    std::vector<float> left(kFrames), right(kFrames), outLeft(kFrames), outRight(kFrames);
    for (int block = 0; block < blocks; ++block) {
      for (int32_t i = 0; i < kFrames; ++i) {
        left[i] = right[i] = peak * static_cast<float>(std::sin(0.0712 * (block * kFrames + i)));
      }
      float* inputs[2] = {left.data(), right.data()};
      float* outputs[2] = {outLeft.data(), outRight.data()};
      effect->processReplacing(inputs, outputs, kFrames);
    }
  }
  // The meter's pixels in the window, as the window shows them.
  std::vector<platform::ColorRef> meterPixels(View* meter) {
    const std::vector<platform::ColorRef> picture = testing::windowPicture(window());
    std::vector<platform::ColorRef> pixels;
    const Rect& r = meter->getSize();
    for (int32_t y = r.top; y < r.bottom && !picture.empty(); ++y) {
      for (int32_t x = r.left; x < r.right; ++x) {
        pixels.push_back(picture[static_cast<std::size_t>(y * layout::kEditorWidth + x)]);
      }
    }
    return pixels;
  }
  void setAllBands(int32_t firstParameter, float value) {
    for (int32_t band = 0; band < kNumBands; ++band) set(firstParameter + band, value);
  }
};

TEST_F(Meters, AFullLevelMeterFallsToEmptyInAbout62Refreshes) {
  slots().level[LevelInputLeft].store(1.0f);
  slots().levelFresh[LevelInputLeft].store(1);
  refresh();
  EXPECT_EQ(inputLeft()->getValue(), 1.0f);
  EXPECT_EQ(slots().levelFresh[LevelInputLeft].load(), 0);  // the reading is taken
  int refreshes = 1;
  float previous = 1.0f;
  while (inputLeft()->getValue() > 0.0f && refreshes < 100) {
    refresh();
    ++refreshes;
    const float shown = inputLeft()->getValue();
    EXPECT_LE(shown, previous);
    if (refreshes > 2 && shown > 0.0f) {  // drawing clamps the last step at empty
      EXPECT_NEAR(previous - shown, 1.0f / 62.0f, 1e-5f);
    }
    previous = shown;
  }
  EXPECT_GE(refreshes, 62);
  EXPECT_LE(refreshes, 65);
  // Empty stays empty.
  const float rest = slots().level[LevelInputLeft].load();
  refresh();
  refresh();
  EXPECT_EQ(slots().level[LevelInputLeft].load(), rest);
}

TEST_F(Meters, AGainReductionMeterReturnsToRestByTheSameSteps) {
  slots().gainReduction[gainReductionSlot(BandLMF)].store(0.5f);
  int refreshes = 0;
  do {
    refresh();
    ++refreshes;
  } while (reduction(BandLMF)->getValue() < 1.0f && refreshes < 100);
  EXPECT_GE(refreshes, 30);
  EXPECT_LE(refreshes, 32);
  const float rest = slots().gainReduction[gainReductionSlot(BandLMF)].load();
  refresh();
  EXPECT_EQ(slots().gainReduction[gainReductionSlot(BandLMF)].load(), rest);
  EXPECT_EQ(reduction(BandHF)->getValue(), 1.0f);  // untouched bands stay at rest
}

TEST_F(Meters, AFreshReadingTakesTheBarOfTheHalfThatActs) {
  const int32_t slot = gainReductionSlot(BandHMF);
  slots().gainReduction[slot].store(0.4f);
  slots().gainReductionMode[slot].store(1);
  slots().gainReductionFresh[slot].store(1);
  refresh();
  EXPECT_EQ(reduction(BandHMF)->getValue(), 0.4f);
  EXPECT_EQ(reduction(BandHMF)->offBitmap()->getResourceId(), 125);
  EXPECT_EQ(slots().gainReductionFresh[slot].load(), 0);
  // The same reading from the other half: the bar changes colour on the screen too (after a
  // second reading, the bar has been drawn and nothing else would redraw it).
  slots().gainReductionFresh[slot].store(1);
  refresh();
  ASSERT_FALSE(reduction(BandHMF)->isDirty());
  const std::vector<platform::ColorRef> expander = meterPixels(reduction(BandHMF));
  slots().gainReductionMode[slot].store(0);
  slots().gainReductionFresh[slot].store(1);
  refresh();
  EXPECT_EQ(reduction(BandHMF)->getValue(), 0.4f);
  EXPECT_EQ(reduction(BandHMF)->offBitmap()->getResourceId(), 124);
  EXPECT_NE(meterPixels(reduction(BandHMF)), expander);
}

#ifndef _WIN32
// Only the software backend's clock can show two idle calls closer than 5 ms for certain.
TEST_F(Meters, IdleCallsCloserThan5MsLeaveTheMetersAlone) {
  slots().level[LevelOutputRight].store(0.5f);
  refresh();
  const float shown = view(Role::LevelMeter, -1, 1, 1)->getValue();
  idleLater(3);
  idleLater(5);
  EXPECT_EQ(view(Role::LevelMeter, -1, 1, 1)->getValue(), shown);
  idleLater(6);
  EXPECT_LT(view(Role::LevelMeter, -1, 1, 1)->getValue(), shown);
}
#endif

TEST_F(Meters, EngineBlocksRaiseLevelsOnlyAndWriteGainReductionEveryBlock) {
  play(0.5f);
  // A peak of half full scale is 0.85 on the meter scale.
  EXPECT_NEAR(slots().level[LevelInputLeft].load(), 0.85f, 0.01f);
  EXPECT_EQ(slots().levelFresh[LevelInputLeft].load(), 1);
  EXPECT_GT(slots().level[LevelOutputRight].load(), 0.5f);
  for (int32_t band = 0; band < kNumBands; ++band) {
    EXPECT_EQ(slots().gainReductionFresh[gainReductionSlot(band)].load(), 1);
  }
  // A quieter block leaves the held peaks alone but writes every gain reading again.
  for (auto& fresh : slots().gainReductionFresh) fresh.store(0);
  play(0.05f, 1);
  EXPECT_NEAR(slots().level[LevelInputLeft].load(), 0.85f, 0.01f);
  for (int32_t band = 0; band < kNumBands; ++band) {
    EXPECT_EQ(slots().gainReductionFresh[gainReductionSlot(band)].load(), 1);
  }
  // The idle shows them, the closed editor does not, and a new open starts at rest.
  refresh();
  EXPECT_NEAR(inputLeft()->getValue(), 0.85f, 0.01f);
  close();
  play(0.5f, 1);
  ASSERT_TRUE(open());
  EXPECT_EQ(inputLeft()->getValue(), 0.0f);
}

TEST_F(Meters, TheCompressorsReductionIsRedAndTheExpandersBlue) {
  setAllBands(ExpThreshLF, 0.0f);   // expanders off
  setAllBands(CompThreshLF, 0.0f);  // compressors from -40 dB
  setAllBands(CompRatioLF, 1.0f);
  set(EnableLookahead, 0.0f);
  play(0.9f);
  refresh();
  EXPECT_LT(reduction(BandLMF)->getValue(), 0.9f);
  EXPECT_EQ(reduction(BandLMF)->offBitmap()->getResourceId(), 124);

  setAllBands(CompThreshLF, 1.0f);  // compressors at 0 dB
  setAllBands(ExpThreshLF, 1.0f);   // expanders from 0 dB down
  setAllBands(ExpRatioLF, 1.0f);
  play(0.03f);
  refresh();
  EXPECT_LT(reduction(BandLMF)->getValue(), 0.9f);
  EXPECT_EQ(reduction(BandLMF)->offBitmap()->getResourceId(), 125);
}

}  // namespace
}  // namespace kestrane
