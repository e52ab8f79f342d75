// The parameter-to-coefficient mapping: telling values, rounding groups, switches, rate
// dependence and the clamping of values outside 0..1.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EngineTestSupport.h"
#include "engine/ParameterMapping.h"

namespace kestrane {
namespace {

using test::Params;

// Everything 0.0 except the four band enables.
Params allZeroBandsOn() {
  Params p;
  return p.setBands(EnableLF, 1.0f);
}

EngineCoefficients map(const Params& p, int32_t rate = 44100) {
  return mapParameters(p.data(), rate);
}

TEST(ParameterMapping, ThresholdsTruncateThePlainProduct) {
  EXPECT_EQ(map(allZeroBandsOn()).band[BandLF].compThresh, -55732705);  // -40 dB
  EXPECT_EQ(map(allZeroBandsOn().set(CompThreshHF, 0.975f)).band[BandHF].compThresh, -1393317);
  EXPECT_EQ(map(allZeroBandsOn().set(CompThreshLMF, 1.0f)).band[BandLMF].compThresh, 0);
  // 0.7 as a float is 0.699999988: 28 steps, so -13 dB rather than -12.
  EXPECT_EQ(map(allZeroBandsOn().set(CompThreshLF, 0.7f)).band[BandLF].compThresh,
            static_cast<int32_t>(-13 * 8388608.0 * kDbToLog2));

  // The expander is off below the first value whose product with 51 reaches 1, -50 dB there.
  const float first = 0.019607844f;
  EXPECT_EQ(map(allZeroBandsOn().set(ExpThreshLF, first)).band[BandLF].expThresh, -69665881);
  EXPECT_EQ(map(allZeroBandsOn().set(ExpThreshLF, std::nextafter(first, 0.0f))).band[0].expThresh,
            kExpanderOff);
  EXPECT_EQ(map(allZeroBandsOn().set(ExpThreshHMF, 1.0f)).band[BandHMF].expThresh, 0);
}

TEST(ParameterMapping, RatioFactors) {
  const int32_t steps[] = {0, 10, 20, 35, 36};  // 1:1, 2:1, 4:1, 10:1, 50:1
  const int32_t comp[] = {0, 4194304, 6291456, 7549747, 8220835};
  const int32_t exp[] = {0, 8388608, 25165824, 75497472, 411041792};
  for (int k = 0; k < 5; ++k) {
    Params p = allZeroBandsOn();
    p.set(CompRatioHMF, test::ratioValue(steps[k])).set(ExpRatioLMF, test::ratioValue(steps[k]));
    const EngineCoefficients c = map(p);
    EXPECT_EQ(c.band[BandHMF].compFactor, comp[k]) << "step " << steps[k];
    EXPECT_EQ(c.band[BandLMF].expFactor, exp[k]) << "step " << steps[k];
  }
}

TEST(ParameterMapping, MakeupGainSteps) {
  const int32_t g[] = {1, 250, 251, 252, 501};
  const int32_t expected[] = {471726, 8292584, 8388608, 8485743, 149172888};
  for (int k = 0; k < 5; ++k) {
    Params p = allZeroBandsOn();
    p.set(GainHF, static_cast<float>(g[k]) / 501.0f);
    EXPECT_EQ(map(p).band[BandHF].makeupGain, expected[k]) << "g = " << g[k];
  }
  EXPECT_EQ(map(allZeroBandsOn()).band[BandLF].makeupGain, 0);  // muted
  // The empty program's 0.500998 reads as 0 dB.
  EXPECT_EQ(map(Params{KestraneProgram{}}).band[BandLMF].makeupGain, 8388608);
}

TEST(ParameterMapping, TimeConstantPairsAt44100) {
  // Shortest and longest attack (0.5, 100 ms) on LF, release (50, 5000 ms) on HF.
  Params p = allZeroBandsOn();
  p.set(CompAttackHF, 1.0f).set(CompReleaseHF, 1.0f).set(ExpAttackLMF, 1.0f);
  const EngineCoefficients c = map(p);
  EXPECT_EQ(c.band[BandLF].compAttack.keep, 7593005);
  EXPECT_EQ(c.band[BandLF].compAttack.take, 8388608 - 7593005);
  EXPECT_EQ(c.band[BandLF].compRelease.keep, 8380253);
  EXPECT_EQ(c.band[BandHF].compAttack.keep, 8384429);
  EXPECT_EQ(c.band[BandHF].compRelease.keep, 8388524);
  EXPECT_EQ(c.band[BandLMF].expAttack.keep, 8384429);
  EXPECT_EQ(c.band[BandLMF].expRelease.keep, 8380253);
  EXPECT_EQ(c.band[BandLF].compAttack.keep,
            static_cast<int32_t>(std::exp(-2197.22 / 22050.0) * 8388608.0));
  EXPECT_EQ(mapping::smoothingPair(0.0, 44100).keep, 0);
  EXPECT_EQ(mapping::smoothingPair(0.0, 44100).take, 8388608);
}

TEST(ParameterMapping, DetectorConstantsAndKernelGroupPerRate) {
  struct Row {
    int32_t rate, release, keep, hold, group;
  };
  const Row rows[] = {{32000, 100663, 8287945, 120, 0},
                      {44100, 73043, 8315565, 165, 1},
                      {48000, 67108, 8321500, 180, 2},
                      {96000, 33554, 8355054, 360, 3},
                      {22050, 146087, 8242521, 82, 4},
                      {88200, 36521, 8352087, 330, 6}};
  for (const Row& r : rows) {
    const EngineCoefficients c = map(allZeroBandsOn(), r.rate);
    EXPECT_EQ(c.detectorRelease, r.release) << r.rate;
    EXPECT_EQ(c.detectorKeep, r.keep) << r.rate;
    EXPECT_EQ(c.holdSteps, r.hold) << r.rate;
    EXPECT_EQ(c.kernels.rateIndex, r.group) << r.rate;
  }
}

// Each group's own rate selects it; any other rate the group of the nearest rate (of two equally
// near, the lower), down to 1 Hz and up to the largest rate a host can name.
TEST(ParameterMapping, KernelGroupOfTheNearestRate) {
  for (int32_t g = 0; g < KernelRateGroups; ++g) {
    EXPECT_EQ(mapping::rateIndexFor(KernelGroupRates[static_cast<std::size_t>(g)]), g);
  }
  auto rateOf = [](int32_t rate) {
    return KernelGroupRates[static_cast<std::size_t>(mapping::rateIndexFor(rate))];
  };
  EXPECT_EQ(rateOf(1), 22050);
  EXPECT_EQ(rateOf(11025), 22050);
  EXPECT_EQ(rateOf(23025), 22050);  // halfway: the lower
  EXPECT_EQ(rateOf(23026), 24000);
  EXPECT_EQ(rateOf(38050), 32000);
  EXPECT_EQ(rateOf(38051), 44100);
  EXPECT_EQ(rateOf(64000), 48000);
  EXPECT_EQ(rateOf(92100), 88200);
  EXPECT_EQ(rateOf(92101), 96000);
  EXPECT_EQ(rateOf(176000), 176400);
  EXPECT_EQ(rateOf(184201), 192000);
  EXPECT_EQ(rateOf(384000), 192000);
  EXPECT_EQ(rateOf(INT32_MAX), 192000);
}

TEST(ParameterMapping, LookaheadWholeMillisecondsAndItsSwitch) {
  Params p = allZeroBandsOn();
  p.set(Lookahead, 1.0f).set(EnableLookahead, 1.0f);
  EXPECT_EQ(map(p, 44100).lookaheadSamples, 4410);
  EXPECT_EQ(map(p, 96000).lookaheadSamples, 9600);
  // Every group rate gets its full 100 ms; beyond what the rings hold (above 327670 Hz) the
  // delay is limited, not wrapped.
  for (int32_t rate : KernelGroupRates) EXPECT_EQ(map(p, rate).lookaheadSamples, rate / 10);
  EXPECT_EQ(map(p, 192000).lookaheadSamples, 19200);
  EXPECT_EQ(map(p, 384000).lookaheadSamples, kMaxLookaheadSamples);
  EXPECT_EQ(map(p, INT32_MAX).lookaheadSamples, kMaxLookaheadSamples);
  p.set(Lookahead, 0.7f);  // 69 ms: truncation of 69.9999988
  EXPECT_EQ(map(p, 44100).lookaheadSamples, 3042);
  p.set(Lookahead, 0.01f);
  EXPECT_EQ(map(p, 44100).lookaheadSamples, 0);
  p.set(Lookahead, 1.0f).set(EnableLookahead, 0.0f);
  EXPECT_EQ(map(p, 44100).lookaheadSamples, 0);
}

TEST(ParameterMapping, CrossoverSelectionRoundsToNearestStep) {
  Params p = allZeroBandsOn();
  p.set(Fir1Slope, 0.33333334f).set(Fir2Slope, 0.6666667f).set(Fir3Slope, 1.0f);
  p.set(Fir1Freq, 0.4f).set(Fir2Freq, 0.5f).set(Fir3Freq, 0.7f);
  const KernelSelection k = map(p, 48000).kernels;
  EXPECT_EQ(k.slopeIndex[0], 1);
  EXPECT_EQ(k.slopeIndex[1], 2);
  EXPECT_EQ(k.slopeIndex[2], 3);
  EXPECT_EQ(k.freqIndex[0], 4);
  EXPECT_EQ(k.freqIndex[1], 5);
  EXPECT_EQ(k.freqIndex[2], 7);  // 0.7f rounds up where the display truncates
  EXPECT_EQ(k.recordIndex(2), 2 * 52 + 3 * 13 + 7 + 2);
}

TEST(ParameterMapping, AllZeroSettings) {
  // Only the band enables on: no compression (1:1), expanders off, fastest times, bands muted.
  const EngineCoefficients c = map(allZeroBandsOn());
  for (int32_t b = 0; b < kNumBands; ++b) {
    EXPECT_EQ(c.band[b].compFactor, 0);
    EXPECT_EQ(c.band[b].expFactor, 0);
    EXPECT_EQ(c.band[b].expThresh, kExpanderOff);
    EXPECT_EQ(c.band[b].makeupGain, 0);
    EXPECT_EQ(c.band[b].expAttack.keep, 7593005);
    EXPECT_EQ(c.band[b].expRelease.keep, 8380253);
  }
  EXPECT_EQ(c.kernels.freqIndex[0], 0);
  EXPECT_EQ(c.lookaheadSamples, 0);

  // Everything 0.0, enables included: every band passes at unity.
  const EngineCoefficients off = map(Params{});
  for (int32_t b = 0; b < kNumBands; ++b) {
    EXPECT_EQ(off.band[b].makeupGain, 8388608);
    EXPECT_EQ(off.band[b].compThresh, 0);
    EXPECT_EQ(off.band[b].expThresh, kExpanderOff);
  }
}

TEST(ParameterMapping, EnableCountsAsOnUnlessExactlyZero) {
  Params p = allZeroBandsOn();
  p.set(EnableLF, 0.00001f).set(EnableLMF, -1.0f).set(EnableHMF, 0.0f);
  p.set(EnableHF, std::numeric_limits<float>::quiet_NaN());
  const EngineCoefficients c = map(p);
  EXPECT_EQ(c.band[BandLF].makeupGain, 0);   // on: gain 0.0 mutes
  EXPECT_EQ(c.band[BandLMF].makeupGain, 0);  // on
  EXPECT_EQ(c.band[BandHMF].makeupGain, 8388608);  // off: unity
  EXPECT_EQ(c.band[BandHF].makeupGain, 0);   // NaN is not 0.0: on
}

TEST(ParameterMapping, OutOfRangeValuesClampToTheirTables) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Params high = allZeroBandsOn();
  for (int32_t id = 0; id < DisplayMode; ++id) high.set(id, 1.5f);
  const EngineCoefficients c = map(high);
  EXPECT_EQ(c.kernels.slopeIndex[0], 3);
  EXPECT_EQ(c.kernels.freqIndex[2], 10);  // never a record of another slope or rate group
  EXPECT_EQ(c.band[BandLF].compFactor, 8220835);  // 50:1, the last ratio
  EXPECT_EQ(c.band[BandLF].compThresh, 0);
  EXPECT_EQ(c.band[BandLF].makeupGain, 149172888);
  EXPECT_EQ(c.lookaheadSamples, 4410);
  EXPECT_EQ(c.band[BandLF].compAttack.keep, mapping::smoothingPair(100.0, 44100).keep);
  EXPECT_EQ(c.band[BandLF].compRelease.keep, mapping::smoothingPair(5000.0, 44100).keep);

  for (float v : {-1.0f, nan, -inf, inf, 1e30f}) {
    Params p = allZeroBandsOn();
    for (int32_t id = 0; id < EnableLookahead; ++id) p.set(id, v);
    const EngineCoefficients m = map(p);
    const bool big = v > 1.0f;
    EXPECT_EQ(m.kernels.freqIndex[1], big ? 10 : 0) << v;
    EXPECT_EQ(m.band[BandHF].compFactor, big ? 8220835 : 0) << v;
    EXPECT_EQ(m.band[BandHF].expThresh, big ? 0 : kExpanderOff) << v;
    EXPECT_EQ(m.band[BandHF].makeupGain, big ? 149172888 : 0) << v;
  }
}

TEST(ParameterMapping, SaturatingConversion) {
  EXPECT_EQ(mapping::truncToInt32(-2.9), -2);
  EXPECT_EQ(mapping::truncToInt32(1e12), INT32_MAX);
  EXPECT_EQ(mapping::truncToInt32(-1e12), INT32_MIN);
  EXPECT_EQ(mapping::truncToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace kestrane
