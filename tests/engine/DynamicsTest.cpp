// One band's detector, gain computer and smoother, driven directly with peak readings.
#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestSupport.h"
#include "engine/Dynamics.h"

namespace kestrane {
namespace {

struct Band {
  BandDynamics d;
  EngineCoefficients c;
  const LookupTables& tables = lookupTables();

  explicit Band(const test::Params& p, int32_t rate = 44100) : c(mapParameters(p.data(), rate)) {}

  // Four samples of the same channel-maximum magnitude: one detector step and four smoother
  // steps, as the band path runs them.
  void step(int32_t peak) {
    d.peakSlots = {peak, peak, peak, peak};
    runGainComputer(d, c.band[0], c.detectorKeep, c.holdSteps, tables);
    for (int k = 0; k < 4; ++k) runSmoother(d);
  }
  int32_t level() const { return tables.log2Table[std::min(d.envelope, Q23One - 1) >> 8]; }
};

// LF compressor at threshold t dB (-40..0) and ratio step r; expander off; 0 dB makeup.
test::Params compressor(int32_t thresholdDb, int32_t ratioStep) {
  test::Params p{KestraneProgram{}};
  p.set(CompThreshLF, static_cast<float>(thresholdDb + 40) / 40.0f);
  p.set(CompRatioLF, test::ratioValue(ratioStep));
  return p;
}

TEST(Dynamics, FullScaleSineAtMinus20dBAnd4To1SettlesNearMinus15dB) {
  Band band(compressor(-20, 20));
  for (int k = 0; k < 2000; ++k) band.step(Q23One);
  EXPECT_EQ(band.d.envelope, Q23One);  // held at the peak
  EXPECT_EQ(band.level(), -369);
  EXPECT_EQ(band.d.bandMode, 0);
  const int32_t reduction = mulQ23(27865983, 6291456);
  EXPECT_EQ(band.d.targetGain, band.tables.gainFromReduction(reduction));
  EXPECT_NEAR(band.d.currentGain / 8388608.0, 0.178, 0.001);
  EXPECT_NEAR(20.0 * std::log10(band.d.currentGain / 8388608.0), -15.0, 0.01);
}

TEST(Dynamics, EnvelopeHoldsFifteenMillisecondsThenReleases) {
  Band band(compressor(-20, 20));
  // The step that brings the peak counts as the first of 165 hold steps (15 ms at 44100 Hz).
  band.step(Q23One / 2);
  const int32_t holdSteps = band.c.holdSteps;
  ASSERT_EQ(holdSteps, 165);
  for (int32_t k = 1; k < holdSteps; ++k) {
    band.step(0);
    ASSERT_EQ(band.d.envelope, Q23One / 2) << "step " << k;
  }
  int32_t expected = Q23One / 2;
  for (int k = 0; k < 100; ++k) {
    band.step(0);
    expected = mulQ23(expected, 8315565);  // 1 - 384/44100 per step
    ASSERT_EQ(band.d.envelope, expected);
  }
  // A new peak restarts the hold.
  band.step(1000);
  band.step(Q23One / 4);
  band.step(0);
  EXPECT_EQ(band.d.envelope, Q23One / 4);
}

TEST(Dynamics, TimeConstantChoiceByDirectionWithHysteresis) {
  test::Params p = compressor(-20, 20);
  p.set(CompAttackLF, 0.5f).set(CompReleaseLF, 0.5f);
  Band band(p);
  const BandCoefficients& c = band.c.band[0];
  for (int k = 0; k < 4; ++k) band.step(0);  // unity gain in the dead zone

  // Falling gain in the compressor region: attack pair.
  band.step(Q23One);
  EXPECT_EQ(band.d.activeKeep, c.compAttack.keep);
  EXPECT_EQ(band.d.activeTake, c.compAttack.take);

  // Settled: the target lies inside +-8388 of the current gain, so the pair stays whatever it
  // was, even though the coefficients now offer other pairs.
  for (int k = 0; k < 4000; ++k) band.step(Q23One);
  ASSERT_LT(std::abs(band.d.targetGain - band.d.currentGain), kGainHysteresis);
  const int32_t keepBefore = band.d.activeKeep;
  band.c.band[0].compAttack = {1234, 8388608 - 1234};
  band.c.band[0].compRelease = {4321, 8388608 - 4321};
  band.step(Q23One);
  EXPECT_EQ(band.d.activeKeep, keepBefore);

  // The level falls (after the 15 ms hold the envelope releases) and the gain must rise: the
  // release pair, taken from the coefficients as they are now.
  for (int k = 0; k < 180; ++k) band.step(Q23One / 4);
  EXPECT_EQ(band.d.activeKeep, 4321);
  EXPECT_EQ(band.d.activeTake, 8388608 - 4321);
}

TEST(Dynamics, DeadZoneReturnsToUnityWithTheLastPair) {
  // Compressed at full scale, then the level falls to -40 dB: while the released envelope
  // still lies above the threshold the gain rises with the release pair, and in the dead zone
  // between the thresholds that pair and the compressor mode stay.
  test::Params p = compressor(-20, 20);
  p.set(CompReleaseLF, 0.5f);
  Band band(p);
  band.step(0);
  for (int k = 0; k < 100; ++k) band.step(Q23One);
  ASSERT_EQ(band.d.activeKeep, band.c.band[0].compAttack.keep);
  for (int k = 0; k < 3000; ++k) band.step(Q23One / 100);
  EXPECT_LT(band.level(), band.c.band[0].compThresh);
  EXPECT_EQ(band.d.targetGain, Q23One);
  EXPECT_EQ(band.d.activeKeep, band.c.band[0].compRelease.keep);
  EXPECT_EQ(band.d.bandMode, 0);
}

TEST(Dynamics, ExpanderAtMinus50dBAnd50To1MutesExactly) {
  test::Params p{KestraneProgram{}};
  p.set(ExpThreshLF, 0.019607844f).set(ExpRatioLF, 1.0f);
  Band band(p);
  for (int k = 0; k < 20000; ++k) band.step(0);
  EXPECT_EQ(band.d.bandMode, 1);
  EXPECT_EQ(band.d.targetGain, 0);  // more than 30 octaves of reduction
  EXPECT_EQ(band.d.currentGain, 0);
}

TEST(Dynamics, CompressorWinsWhereTheThresholdsCross) {
  // Compressor at -40 dB, expander at -20 dB: a level of -30 dB is compressed.
  test::Params p = compressor(-40, 20);
  p.set(ExpThreshLF, 31.0f / 51.0f).set(ExpRatioLF, test::ratioValue(20));
  Band band(p);
  for (int k = 0; k < 2000; ++k) band.step(static_cast<int32_t>(Q23One * std::pow(10.0, -1.5)));
  EXPECT_EQ(band.d.bandMode, 0);
  EXPECT_NEAR(20.0 * std::log10(band.d.currentGain / 8388608.0), -7.5, 0.1);
}

TEST(Dynamics, HoldCountStopsAtItsLimit) {
  Band band(compressor(-20, 20));
  band.d.envelope = 1000;
  band.d.holdCount = INT32_MAX - 1;
  band.step(0);
  band.step(0);
  EXPECT_EQ(band.d.holdCount, INT32_MAX);
}

}  // namespace
}  // namespace kestrane
