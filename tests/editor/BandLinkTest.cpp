// Shift links the bands: a user who holds it and turns one band's knob (or types into its
// readout) drags the other three bands' same control along by the same distance, counted from
// where each stood when Shift was pressed, so their differences survive; a band that reaches
// 0 or 1 stays there while the others go on.
#include <gtest/gtest.h>

#include "EditorTestSupport.h"
#include "params/Programs.h"

namespace kestrane {
namespace {

using layout::Role;
using testing::EditorHostLog;
using testing::layoutIndex;
using testing::rowOf;

class BandLink : public testing::OpenEditor {
 protected:
  void SetUp() override {
    set(CompThreshLF, 0.5f);
    set(CompThreshLMF, 0.3f);
    set(CompThreshHMF, 0.95f);
    set(CompThreshHF, 0.2f);
  }
  void holdShift(bool held) {
    testuser::hold(testuser::Input{held ? platform::ShiftBit : 0, platform::Position{}});
    idleLater();  // the editor notices the key at its idle, as it does between gestures
  }
  // The user turns a knob to value (as a drag step would leave it).
  void turn(std::size_t knob, float value) {
    Control* control = view(knob);
    control->setValue(value);
    editor()->valueChanged(nullptr, control);
  }
  std::size_t thresholdKnob(int32_t band) { return layoutIndex(Role::BandKnob, rowOf(band), 0); }
};

TEST_F(BandLink, ShiftMovesTheOtherBandsByTheSameAmountEachClampedOnItsOwn) {
  holdShift(true);
  EditorHostLog::clear();
  turn(thresholdKnob(BandLF), 0.6f);
  EXPECT_NEAR(get(CompThreshLF), 0.6f, 1e-6f);
  EXPECT_NEAR(get(CompThreshLMF), 0.4f, 1e-6f);
  EXPECT_NEAR(get(CompThreshHMF), 1.0f, 1e-6f);  // 0.95 + 0.1 stops at the top
  EXPECT_NEAR(get(CompThreshHF), 0.3f, 1e-6f);
  // The moved bands show their values and are reported to the host like the edit itself.
  EXPECT_EQ(view(thresholdKnob(BandHMF))->getValue(), 1.0f);
  EXPECT_EQ(bandText(BandHMF, 0), "0");
  EXPECT_EQ(EditorHostLog::automations().size(), 4u);

  // Further along the same gesture the moves stay relative to the anchors: HMF leaves the top.
  turn(thresholdKnob(BandLF), 0.4f);
  EXPECT_NEAR(get(CompThreshLMF), 0.2f, 1e-6f);
  EXPECT_NEAR(get(CompThreshHMF), 0.85f, 1e-6f);
  EXPECT_NEAR(get(CompThreshHF), 0.1f, 1e-6f);

  // Another band's knob leads now, from the same anchors.
  turn(thresholdKnob(BandHF), 0.25f);
  EXPECT_NEAR(get(CompThreshLF), 0.55f, 1e-6f);
  EXPECT_NEAR(get(CompThreshLMF), 0.35f, 1e-6f);
  EXPECT_NEAR(get(CompThreshHMF), 1.0f, 1e-6f);
}

TEST_F(BandLink, WithoutShiftOrAfterItsReleaseOnlyTheEditedBandMoves) {
  turn(thresholdKnob(BandLF), 0.6f);
  EXPECT_NEAR(get(CompThreshLMF), 0.3f, 1e-6f);
  holdShift(true);
  holdShift(false);
  turn(thresholdKnob(BandLF), 0.7f);
  EXPECT_NEAR(get(CompThreshLMF), 0.3f, 1e-6f);
  EXPECT_NEAR(get(CompThreshHF), 0.2f, 1e-6f);
  // A new press takes new anchors: the current values.
  holdShift(true);
  turn(thresholdKnob(BandLF), 0.8f);
  EXPECT_NEAR(get(CompThreshLMF), 0.4f, 1e-6f);
  EXPECT_NEAR(get(CompThreshHMF), 1.0f, 1e-6f);
}

TEST_F(BandLink, GainsAndOtherColumnsLinkLikewiseButCrossoversAndSwitchesDoNot) {
  set(GainLF, 0.5f);
  set(GainHF, 0.1f);
  set(CompReleaseLMF, 0.2f);
  set(CompReleaseHF, 0.5f);
  holdShift(true);
  turn(layoutIndex(Role::GainKnob, rowOf(BandLF)), 0.4f);
  EXPECT_NEAR(get(GainHF), 0.0f, 1e-6f);  // 0.1 - 0.1
  turn(layoutIndex(Role::BandKnob, rowOf(BandHF), 3), 0.8f);
  EXPECT_NEAR(get(CompReleaseLMF), 0.5f, 1e-6f);
  const float enableLMF = get(EnableLMF);
  turn(layoutIndex(Role::EnableButton, rowOf(BandLF)), 0.0f);
  EXPECT_EQ(get(EnableLMF), enableLMF);
}

TEST_F(BandLink, TypingIntoAReadoutWithShiftHeldMovesTheOtherBands) {
  set(GainLF, 0.500998f);  // 0.0 dB
  set(GainLMF, 0.6f);
  holdShift(true);
  const std::size_t readout = layoutIndex(Role::GainReadout, rowOf(BandLF));
  click(readout);
  platform::WindowRef field = testuser::editField(window());
  ASSERT_NE(field, nullptr);
  testuser::type(field, "-5");
  testuser::hold(testuser::Input{platform::ShiftBit, platform::Position{}});
  testuser::pressReturn(field);
  EXPECT_EQ(text(readout), "-5.0");
  EXPECT_NEAR(get(GainLMF), 0.6f - 50.0f / 501.0f, 1e-6f);
}

TEST_F(BandLink, HostChangesAndProgramChangesAreNeverMultiplied) {
  holdShift(true);
  set(CompThreshLF, 0.1f);
  EXPECT_NEAR(get(CompThreshLMF), 0.3f, 1e-6f);
  EXPECT_NEAR(get(CompThreshHF), 0.2f, 1e-6f);
  // A program change is 49 host changes: the program arrives exactly as stored.
  effect->setProgram(4);
  for (int32_t index = 0; index < kNumParams; ++index) {
    EXPECT_EQ(get(index), FactoryPrograms[4].value(static_cast<ParamId>(index)))
        << "parameter " << index;
  }
}

TEST_F(BandLink, APageChangeWhileShiftIsHeldStartsFromThatPagesValues) {
  set(ExpThreshLF, 0.2f);
  set(ExpThreshLMF, 0.4f);
  holdShift(true);
  set(DisplayMode, 1.0f);
  turn(thresholdKnob(BandLF), 0.3f);
  EXPECT_NEAR(get(ExpThreshLMF), 0.5f, 1e-6f);
  EXPECT_NEAR(get(CompThreshLMF), 0.3f, 1e-6f);  // the compressor page's values stay
}

}  // namespace
}  // namespace kestrane
