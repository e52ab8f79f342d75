// The fast band path and block conversions against their definitions (runBandPathReference,
// floatToQ23), bit for bit, on every instruction-set level this processor runs: outputs, block
// peaks and the whole delay-line and dynamics state, over many stretch lengths, lookaheads,
// coefficient changes and extreme samples.
#include <gtest/gtest.h>

#include <array>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "SimdLevelsHere.h"
#include "engine/BandPath.h"
#include "engine/BlockKernels.h"
#include "engine/SampleConversion.h"
#include "engine/SimdLevel.h"

namespace kestrane {
namespace {

using test::levelName;
using test::levelsHere;

bool samePeaks(const BlockPeaks& a, const BlockPeaks& b) {
  return a.input == b.input && a.bandLevel == b.bandLevel && a.bandOutput == b.bandOutput &&
         a.output == b.output && a.bandGain == b.bandGain;
}

bool sameDynamics(const BandDynamics& a, const BandDynamics& b) {
  return a.peakSlots == b.peakSlots && a.envelope == b.envelope && a.holdCount == b.holdCount &&
         a.targetGain == b.targetGain && a.smoothedGain == b.smoothedGain &&
         a.currentGain == b.currentGain && a.activeKeep == b.activeKeep &&
         a.activeTake == b.activeTake && a.bandMode == b.bandMode;
}

bool sameState(const BandPathState& a, const BandPathState& b) {
  if (a.alignLF != b.alignLF || a.alignLMF != b.alignLMF) return false;
  if (a.lookahead != b.lookahead) return false;
  if (a.alignPosLF != b.alignPosLF || a.alignPosLMF != b.alignPosLMF ||
      a.alignDelayLF != b.alignDelayLF || a.alignDelayLMF != b.alignDelayLMF ||
      a.lookaheadPos != b.lookaheadPos || a.subBlockPhase != b.subBlockPhase) {
    return false;
  }
  for (int32_t band = 0; band < kNumBands; ++band) {
    if (!sameDynamics(a.dynamics[band], b.dynamics[band])) return false;
  }
  return true;
}

// Band signals of one stretch: program-like noise whose level moves in steps (so the
// detector compresses, expands and holds), silence now and then, and rare extreme samples.
std::vector<int32_t> bandSignal(std::size_t n, std::mt19937& rng) {
  std::vector<int32_t> v(n);
  const int32_t shift = static_cast<int32_t>(rng() % 12);
  const bool silent = rng() % 8 == 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (silent) continue;
    v[i] = static_cast<int32_t>(rng() % (1u << 24)) - (1 << 23);
    v[i] >>= shift;
    if (rng() % 5000 == 0) v[i] = rng() % 2 ? INT32_MIN : INT32_MAX;
  }
  return v;
}

// With `inPlace`, the fast path gets its band signals as the engine hands them over: written
// beforehand into every slot directSlots() offers (the rest elsewhere).
TEST(BandPathFastPath, EveryLevelMatchesTheReference) {
  constexpr int32_t kLengths[] = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 63, 64, 65, 255, 256, 257,
                                  511, 512, 513, 1000, 1500};
  for (const bool inPlace : {false, true})
  for (SimdLevel level : levelsHere()) {
    SCOPED_TRACE(levelName(level) + std::string(inPlace ? ", signals in place" : ""));
    int32_t offered = 0;
    int32_t refused = 0;
    std::mt19937 rng(1234);
    auto reference = std::make_unique<BandPathState>();
    auto fast = std::make_unique<BandPathState>();
    auto scratch = std::make_unique<BandPathScratch>();
    test::Noise gen(5);
    EngineCoefficients c;
    for (int32_t call = 0; call < 400; ++call) {
      // Now and then new coefficients, a kernel change, a different lookahead.
      if (call % 25 == 0) {
        test::Params p = test::randomParams(gen);
        c = mapParameters(p.data(), call % 50 == 0 ? 48000 : call % 75 == 0 ? 192000 : 44100);
        // Up to 100 ms at 192 kHz and the longest the rings hold.
        const int32_t lookaheads[] = {0, 1, 3, 441, 4410, 16383, 19200, kMaxLookaheadSamples};
        c.lookaheadSamples = lookaheads[rng() % std::size(lookaheads)];
      }
      if (call % 60 == 0) {
        const int32_t delayLF = static_cast<int32_t>(rng() % 3941);  // up to 176.4/192 kHz's
        const int32_t delayLMF = static_cast<int32_t>(rng() % 1944);
        reference->restartAfterKernelChange(delayLF, delayLMF);
        fast->restartAfterKernelChange(delayLF, delayLMF);
      }
      const std::size_t pick = static_cast<std::size_t>(call) % std::size(kLengths);
      const int32_t n = call % 3 == 0 ? static_cast<int32_t>(1 + rng() % 700) : kLengths[pick];
      const std::size_t size = static_cast<std::size_t>(n);
      std::vector<int32_t> signals[8];
      for (auto& s : signals) s = bandSignal(size, rng);
      BandSplit split{{signals[0].data(), signals[1].data()},
                      {signals[2].data(), signals[3].data()},
                      {signals[4].data(), signals[5].data()},
                      {signals[6].data(), signals[7].data()}};
      std::vector<float> out[2][2];
      for (auto& way : out) {
        for (auto& ch : way) ch.assign(size, -7.0f);
      }
      BandSplit fastSplit = split;
      if (inPlace) {
        const BandSlots slots = directSlots(*fast, n, c.lookaheadSamples);
        std::array<const int32_t*, 2>* bands[] = {&fastSplit.lowFir1, &fastSplit.lowFir2,
                                                  &fastSplit.lowFir3, &fastSplit.highFir3};
        for (std::size_t b = 0; b < kNumBands; ++b) {
          for (std::size_t ch = 0; ch < 2; ++ch) {
            int32_t* slot = slots.band[b][ch];
            (slot != nullptr ? offered : refused) += 1;
            if (slot == nullptr) continue;
            std::memcpy(slot, (*bands[b])[ch], size * sizeof(int32_t));
            (*bands[b])[ch] = slot;
          }
        }
      }
      BlockPeaks peaks[2];
      peaks[1].bandGain[2] = peaks[0].bandGain[2] = 77;  // peaks carry over within a block
      runBandPathReference(*reference, c, lookupTables(), split,
                           {out[0][0].data(), out[0][1].data()}, n, peaks[0]);
      runBandPath(*fast, c, lookupTables(), fastSplit, {out[1][0].data(), out[1][1].data()}, n,
                  peaks[1], *scratch, level);
      ASSERT_EQ(0, std::memcmp(out[0][0].data(), out[1][0].data(), size * sizeof(float)))
          << "call " << call << ", " << n << " frames";
      ASSERT_EQ(0, std::memcmp(out[0][1].data(), out[1][1].data(), size * sizeof(float)))
          << "call " << call;
      ASSERT_TRUE(samePeaks(peaks[0], peaks[1])) << "call " << call;
      ASSERT_TRUE(sameState(*reference, *fast)) << "call " << call;
    }
    // Both kinds of hand-over happened: slots offered, and slots refused (a ring's end, or a
    // lookahead too long to write the stretch early).
    if (inPlace) {
      EXPECT_GT(offered, 1000);
      EXPECT_GT(refused, 100);
    }
  }
}

TEST(BandPathFastPath, FloatConversionOfEveryKindOfSample) {
  const float inf = std::numeric_limits<float>::infinity();
  const float special[] = {0.0f,
                           -0.0f,
                           std::numeric_limits<float>::quiet_NaN(),
                           inf,
                           -inf,
                           256.0f,
                           -256.0f,
                           255.99998f,
                           -255.99998f,
                           1e30f,
                           std::numeric_limits<float>::denorm_min(),
                           -std::numeric_limits<float>::min(),
                           0.5f / 8388608.0f,   // ties round to even
                           1.5f / 8388608.0f,
                           -2.5f / 8388608.0f,
                           1.0f,
                           -1.0f};
  std::mt19937 rng(3);
  for (SimdLevel level : levelsHere()) {
    for (int32_t frames : {0, 1, 7, 8, 9, 16, 23, 64, 100, 512}) {
      for (int32_t trial = 0; trial < 20; ++trial) {
        std::vector<float> in(static_cast<std::size_t>(frames));
        for (float& x : in) {
          x = rng() % 6 == 0 ? special[rng() % std::size(special)]
                             : static_cast<float>(static_cast<int32_t>(rng())) *
                                   std::ldexp(1.0f, -static_cast<int>(20 + rng() % 20));
        }
        std::vector<int32_t> out(in.size() + 1, 12345);
        uint32_t peak = 17;
        uint32_t expectedPeak = 17;
        (level == SimdLevel::Avx2 ? floatsToQ23Avx2 : floatsToQ23Portable)(in.data(), out.data(),
                                                                            frames, peak);
        for (std::size_t i = 0; i < in.size(); ++i) {
          ASSERT_EQ(out[i], floatToQ23(in[i])) << levelName(level) << " " << in[i];
          expectedPeak = std::max(expectedPeak, magnitude(out[i]));
        }
        EXPECT_EQ(out.back(), 12345) << "wrote past the end";
        EXPECT_EQ(peak, expectedPeak);
      }
    }
  }
}

// The float output of the mix follows the host's rounding mode as the reference's does.
TEST(BandPathFastPath, MixOutputUnderEveryRoundingMode) {
  std::mt19937 rng(11);
  const int modes[] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};
  for (SimdLevel level : levelsHere()) {
    for (int mode : modes) {
      std::vector<int32_t> band[kNumBands][2], gain[kNumBands];
      BandMix mix;
      const int32_t n = 77;
      for (int32_t b = 0; b < kNumBands; ++b) {
        for (std::size_t ch = 0; ch < 2; ++ch) {
          for (int32_t i = 0; i < n; ++i) band[b][ch].push_back(static_cast<int32_t>(rng()));
          mix.band[b][ch] = band[b][ch].data();
        }
        for (int32_t i = 0; i < n; ++i) gain[b].push_back(static_cast<int32_t>(rng() % (1u << 24)));
        mix.gain[b] = gain[b].data();
        mix.makeup[b] = static_cast<int32_t>(rng() % (1u << 25));
      }
      std::vector<float> out[2][2];
      BlockPeaks peaks[2];
      for (int32_t way = 0; way < 2; ++way) {
        for (auto& ch : out[way]) ch.assign(static_cast<std::size_t>(n), 0.0f);
        mix.output = {out[way][0].data(), out[way][1].data()};
        mix.frames = n;
        const int saved = std::fegetround();
        std::fesetround(mode);
        if (way == 0) {
          mixBandsPortable(mix, peaks[way]);
        } else {
          (level == SimdLevel::Avx2 ? mixBandsAvx2 : mixBandsPortable)(mix, peaks[way]);
        }
        std::fesetround(saved);
      }
      EXPECT_EQ(out[0][0], out[1][0]) << levelName(level) << " mode " << mode;
      EXPECT_EQ(out[0][1], out[1][1]) << levelName(level) << " mode " << mode;
      EXPECT_TRUE(samePeaks(peaks[0], peaks[1]));
    }
  }
}

// The smoothers' choice of time constants right at the edges of the hysteresis window, in
// every region, each band in its own situation: one step per call, so that the state after
// each step shows the pair chosen. Gains stay at G (keep 1.0, and a pull that rounds to
// nothing), so every target lies exactly where it is meant to; the pairs differ in `take`.
TEST(BandPathFastPath, TimeConstantsChangeExactlyAtTheHysteresisEdges) {
  constexpr int32_t G = 4194304;
  const int32_t offsets[] = {-kGainHysteresis - 1, -kGainHysteresis, -kGainHysteresis + 1, 0,
                             kGainHysteresis - 1,  kGainHysteresis,  kGainHysteresis + 1};
  const GainRegion regions[] = {GainRegion::Compressor, GainRegion::Expander,
                                GainRegion::Between};
  BandCoefficients bands[kNumBands];
  for (BandCoefficients& k : bands) {
    k.compAttack = {Q23One, 1};
    k.compRelease = {Q23One, 2};
    k.expRelease = {Q23One, 3};
    k.expAttack = {Q23One, 4};
  }
  for (SimdLevel level : levelsHere()) {
    std::array<BandDynamics, kNumBands> expected{}, actual{};
    for (BandDynamics& d : expected) {
      d.smoothedGain = d.currentGain = d.targetGain = G;
      d.activeKeep = Q23One;
      d.activeTake = 5;
      d.bandMode = 1;
    }
    actual = expected;
    for (int32_t step = 0; step < 63; ++step) {
      std::array<GainTarget, kNumBands> targets;
      for (int32_t b = 0; b < kNumBands; ++b) {
        targets[b] = {G + offsets[(step + b) % 7], regions[(step / 7 + b) % 3]};
      }
      std::array<int32_t, 4> gains[kNumBands];
      const std::array<int32_t*, kNumBands> gain = {gains[0].data(), gains[1].data(),
                                                    gains[2].data(), gains[3].data()};
      (level == SimdLevel::Avx2 ? smoothGainsAvx2 : smoothGainsPortable)(actual, bands, &targets,
                                                                         0, 4, gain);
      for (int32_t b = 0; b < kNumBands; ++b) {
        adoptTarget(expected[b], bands[b], targets[b]);
        for (int32_t i = 0; i < 4; ++i) {
          runSmoother(expected[b]);
          EXPECT_EQ(gains[b][i], expected[b].currentGain);
        }
        ASSERT_TRUE(sameDynamics(actual[b], expected[b]))
            << levelName(level) << ", step " << step << ", band " << b << ": take "
            << actual[b].activeTake << ", expected " << expected[b].activeTake;
      }
    }
  }
}

}  // namespace
}  // namespace kestrane
