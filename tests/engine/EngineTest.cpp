// The block loop: limits, pass-through exactness, levels, metering, switches, kernel reloads.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <limits>

#include "EngineTestSupport.h"
#include "engine/SampleConversion.h"
#include "params/StepTables.h"

namespace kestrane {
namespace {

using test::expectDelayedCopy;
using test::Params;
using test::StereoBuffer;
using test::noise;

StereoBuffer sine(std::size_t n, double frequency, double amplitude, double rate = 44100.0) {
  test::Oscillator osc(frequency, rate);
  StereoBuffer b(n);
  for (std::size_t i = 0; i < n; ++i) b.left[i] = b.right[i] = static_cast<float>(amplitude * osc.next());
  return b;
}

TEST(BlockProcessing, BlockLengthLimits) {
  auto engine = test::makeEngine(test::unityParams());
  StereoBuffer in = noise(65536, 0.5f);
  StereoBuffer out(65536, 123.0f);
  const float* inputs[2] = {in.left.data(), in.right.data()};
  float* outputs[2] = {out.left.data(), out.right.data()};

  // Too long, empty or negative: outputs and state untouched.
  engine->processReplacing(inputs, outputs, 65536, 44100.0f);
  engine->processReplacing(inputs, outputs, 0, 44100.0f);
  engine->processReplacing(inputs, outputs, -1, 44100.0f);
  engine->processReplacing(inputs, outputs, std::numeric_limits<int32_t>::min(), 44100.0f);
  for (float v : out.left) ASSERT_EQ(v, 123.0f);
  EXPECT_EQ(engine->loadedKernels().rateIndex, -1);  // no block ran: nothing adopted yet

  // The longest block is processed, and equals the same samples processed in short blocks by
  // an engine that never saw the refused calls.
  engine->processReplacing(inputs, outputs, 65535, 44100.0f);
  auto reference = test::makeEngine(test::unityParams());
  in.left.resize(65535);
  in.right.resize(65535);
  const StereoBuffer expected = test::processInBlocks(*reference, in, 1000);
  for (std::size_t i = 0; i < 65535; ++i) ASSERT_EQ(out.left[i], expected.left[i]);
  EXPECT_EQ(out.left[65535], 123.0f);
}

TEST(BlockProcessing, UnitySettingsGiveTheDelayedInputBitForBit) {
  // Every crossover setting of the factory programs, with unity dynamics: the four bands sum
  // back to the input delayed by the three filters' delays. The first three samples after
  // construction are silent (the gain computer has not run yet).
  for (int32_t prog = 0; prog < 8; ++prog) {
    Params p = test::unityParams();
    for (int32_t id = Fir1Slope; id <= Fir3Freq; ++id) {
      p.set(id, FactoryPrograms[prog].value(static_cast<ParamId>(id)));
    }
    auto engine = test::makeEngine(p);
    const StereoBuffer in = noise(20000, 0.9f, 11 + prog);
    const StereoBuffer out = test::processInBlocks(*engine, in, 4096);
    const int32_t latency = engine->latencySamples();
    const KernelSelection k = engine->loadedKernels();
    const CrossoverKernelSet& set = crossoverKernels();
    int32_t sum = 0;
    for (int32_t f = 0; f < 3; ++f) sum += 27 * set.records[k.recordIndex(f)][KernelSpacingWord] - 1;
    EXPECT_EQ(latency, sum);
    EXPECT_EQ(engine->preparedDelaySamples(), latency);  // what the host is told, lookahead off
    expectDelayedCopy(in, out, latency, 3);
  }
}

TEST(BlockProcessing, DisabledBandsPassAtUnityWhateverTheirSettings) {
  for (int32_t prog = 0; prog < 8; ++prog) {
    Params p{FactoryPrograms[prog]};
    p.set(EnableLookahead, 0.0f).setBands(EnableLF, 0.0f);
    auto engine = test::makeEngine(p);
    const StereoBuffer in = noise(12000, 1.0f, 3);
    const StereoBuffer out = test::processInBlocks(*engine, in, 512);
    expectDelayedCopy(in, out, engine->latencySamples(), 3);
  }
}

TEST(BlockProcessing, SilenceInGivesSilenceOutAndFloorMeterReadings) {
  auto engine = test::makeEngine(Params{FactoryPrograms[0]});
  MeterSlots meters;
  for (auto& v : meters.level) v.store(-2.0f);  // below anything the engine computes
  engine->attachMeters(&meters);
  const StereoBuffer out = test::processInBlocks(*engine, StereoBuffer(3000), 1000);
  for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out.left[i], 0.0f);
  for (int32_t s = 0; s < kNumLevelSlots; ++s) {
    EXPECT_EQ(meters.level[s].load(), -1.25f) << s;
    EXPECT_EQ(meters.levelFresh[s].load(), 1) << s;
  }
  for (int32_t s = 0; s < kNumGainReductionSlots; ++s) {
    EXPECT_EQ(meters.gainReduction[s].load(), 1.0f);  // unity: between the thresholds
    EXPECT_EQ(meters.gainReductionMode[s].load(), 0);
  }
}

TEST(BlockProcessing, MeterSlotsRiseOnlyButGainReductionIsWrittenEveryBlock) {
  auto engine = test::makeEngine(test::unityParams());
  MeterSlots meters;
  engine->attachMeters(&meters);
  StereoBuffer in(64);
  in.left[10] = 1.0f;   // full scale
  in.right[20] = 0.5f;  // one octave below
  test::processInBlocks(*engine, in, 64);
  EXPECT_EQ(meters.level[LevelInputLeft].load(), 1.0f);
  EXPECT_EQ(meters.level[LevelInputRight].load(), 0.85f);
  EXPECT_EQ(meters.levelFresh[LevelInputLeft].load(), 1);

  // The editor lowers and clears; a quieter block does not raise the slot again.
  meters.level[LevelInputRight].store(0.9f);
  meters.levelFresh[LevelInputRight].store(0);
  meters.gainReduction[gainReductionSlot(BandHF)].store(0.25f);
  meters.gainReductionFresh[gainReductionSlot(BandHF)].store(0);
  test::processInBlocks(*engine, in, 64);
  EXPECT_EQ(meters.level[LevelInputRight].load(), 0.9f);
  EXPECT_EQ(meters.levelFresh[LevelInputRight].load(), 0);
  EXPECT_EQ(meters.gainReduction[gainReductionSlot(BandHF)].load(), 1.0f);
  EXPECT_EQ(meters.gainReductionFresh[gainReductionSlot(BandHF)].load(), 1);

  // Detached: nothing is published.
  engine->attachMeters(nullptr);
  meters.gainReductionFresh[0].store(0);
  test::processInBlocks(*engine, in, 64);
  EXPECT_EQ(meters.gainReductionFresh[0].load(), 0);
}

TEST(BlockProcessing, MeterScale) {
  const LookupTables& t = lookupTables();
  EXPECT_EQ(meterValue(t, 8388608), 1.0f);
  EXPECT_EQ(meterValue(t, 0x80000000u), 1.0f);  // above full scale reads full
  EXPECT_EQ(meterValue(t, 4194304), 0.85f);
  EXPECT_EQ(meterValue(t, 0), -1.25f);
  EXPECT_NEAR(meterValue(t, static_cast<uint32_t>(8388608 * std::pow(10.0, -40.1 / 20))), 0.0f,
              0.002f);
}

TEST(BlockProcessing, GainReductionMeterShowsTheModeAndIsLimitedBelow) {
  // Expander at -50 dB, 50:1, on a silent input: every band closes completely and its meter
  // stops at -0.1 with the expander bar.
  Params p = test::unityParams();
  p.setBands(ExpThreshLF, 0.019607844f).setBands(ExpRatioLF, 1.0f);
  auto engine = test::makeEngine(p);
  MeterSlots meters;
  engine->attachMeters(&meters);
  test::processInBlocks(*engine, StereoBuffer(44100), 4410);
  for (int32_t s = 0; s < kNumGainReductionSlots; ++s) {
    EXPECT_EQ(meters.gainReduction[s].load(), -0.1f);
    EXPECT_NE(meters.gainReductionMode[s].load(), 0);
  }
}

TEST(BlockProcessing, ExpanderAtMinus50dBAnd50To1MutesToExactlyZero) {
  Params p = test::unityParams();
  p.setBands(ExpThreshLF, 0.019607844f).setBands(ExpRatioLF, 1.0f);
  auto engine = test::makeEngine(p);
  const StereoBuffer out = test::processInBlocks(*engine, noise(3 * 44100, 0.0002f), 1024);
  for (std::size_t i = 2 * 44100; i < out.size(); ++i) {
    ASSERT_EQ(out.left[i], 0.0f) << i;
    ASSERT_EQ(out.right[i], 0.0f) << i;
  }
  for (int32_t b = 0; b < kNumBands; ++b) EXPECT_EQ(engine->bandDynamics(b).currentGain, 0);
}

// A tone that the crossover puts into the HMF band alone: splits at 50, 80 and 12500 Hz, with
// the steepest slopes.
Params hmfOnlyCrossover(Params p) {
  p.set(Fir1Slope, 1.0f).set(Fir2Slope, 1.0f).set(Fir3Slope, 1.0f);
  p.set(Fir1Freq, 0.0f).set(Fir2Freq, 0.0f).set(Fir3Freq, 1.0f);
  return p;
}

TEST(BlockProcessing, FullScaleSineAtMinus20dBAnd4To1SettlesNearMinus15dB) {
  Params p = hmfOnlyCrossover(test::unityParams());
  p.setBands(CompThreshLF, 0.5f).setBands(CompRatioLF, test::ratioValue(20));
  auto engine = test::makeEngine(p);
  const StereoBuffer out = test::processInBlocks(*engine, sine(44100, 1000.0, 1.0), 512);
  float peak = 0.0f;
  for (std::size_t i = 30000; i < out.size(); ++i) peak = std::max(peak, std::fabs(out.left[i]));
  EXPECT_NEAR(20.0 * std::log10(peak), -15.0, 0.2);
  EXPECT_NEAR(20.0 * std::log10(engine->bandDynamics(BandHMF).currentGain / 8388608.0), -15.0,
              0.05);
}

// Settled gain of the HMF band on a steady 1 kHz sine of the given level.
struct Settled {
  double levelDb;  // the detector's reading: the envelope in steps of 256 units
  double gainDb;
};

Settled settle(const Params& p, double amplitude) {
  auto engine = test::makeEngine(hmfOnlyCrossover(p));
  test::processInBlocks(*engine, sine(13230, 1000.0, amplitude), 2048);
  const BandDynamics& d = engine->bandDynamics(BandHMF);
  const int32_t index = std::max(std::min(d.envelope, Q23One - 1) >> 8, 1);
  return {20.0 * std::log10(index / 32768.0), 20.0 * std::log10(d.currentGain / 8388608.0)};
}

TEST(StaticCurve, CompressorMatchesTheDecibelFormula) {
  for (int32_t thresholdDb : {-40, -25, -10, -3}) {
    for (int32_t ratioStep : {5, 10, 20, 35, 36}) {
      for (double amplitude : {1.0, 0.1}) {
        Params p = test::unityParams();
        p.setBands(CompThreshLF, static_cast<float>(thresholdDb + 40) / 40.0f);
        p.setBands(CompRatioLF, test::ratioValue(ratioStep));
        const Settled s = settle(p, amplitude);
        const double ratio = RatioSteps[ratioStep] / 10.0;
        const double over = s.levelDb - thresholdDb;
        const double model = over > 0.0 ? -over * (1.0 - 1.0 / ratio) : 0.0;
        EXPECT_NEAR(s.gainDb, model, 0.1)
            << "threshold " << thresholdDb << " ratio " << ratio << " amplitude " << amplitude;
      }
    }
  }
}

TEST(StaticCurve, ExpanderMatchesTheDecibelFormula) {
  for (int32_t thresholdDb : {-50, -30, -10}) {
    for (int32_t ratioStep : {5, 10, 20}) {
      for (double amplitude : {0.3, 0.02}) {
        Params p = test::unityParams();
        p.setBands(ExpThreshLF, static_cast<float>(thresholdDb + 51) / 51.0f);
        p.setBands(ExpRatioLF, test::ratioValue(ratioStep));
        const Settled s = settle(p, amplitude);
        const double ratio = RatioSteps[ratioStep] / 10.0;
        const double under = thresholdDb - s.levelDb;
        const double model = under >= 0.0 ? -under * (ratio - 1.0) : 0.0;
        EXPECT_NEAR(s.gainDb, model, 0.1)
            << "threshold " << thresholdDb << " ratio " << ratio << " amplitude " << amplitude;
      }
    }
  }
}

TEST(BlockProcessing, NonFiniteAndHugeSamples) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  StereoBuffer odd = noise(5000, 0.5f);
  StereoBuffer clean = odd;
  for (std::size_t i = 100; i < 5000; i += 97) {
    odd.left[i] = (i % 2) ? nan : inf;
    odd.right[i] = -inf;
    clean.left[i] = clean.right[i] = 0.0f;
  }
  // Beyond what Q23 holds: saturated to the int32 range.
  odd.left[777] = 1e20f;
  clean.left[777] = 256.0f;
  odd.right[778] = -300.0f;
  clean.right[778] = -256.0f;
  auto a = test::makeEngine(Params{FactoryPrograms[3]});
  auto b = test::makeEngine(Params{FactoryPrograms[3]});
  const StereoBuffer outOdd = test::processInBlocks(*a, odd, 700);
  const StereoBuffer outClean = test::processInBlocks(*b, clean, 700);
  EXPECT_EQ(0, std::memcmp(outOdd.left.data(), outClean.left.data(), 5000 * sizeof(float)));
  EXPECT_EQ(0, std::memcmp(outOdd.right.data(), outClean.right.data(), 5000 * sizeof(float)));
}

TEST(SampleConversion, RoundsToNearestEvenAndSaturates) {
  EXPECT_EQ(floatToQ23(1.0f), 8388608);
  EXPECT_EQ(floatToQ23(-1.0f), -8388608);
  EXPECT_EQ(floatToQ23(0.5f / 8388608.0f), 0);    // tie: to even
  EXPECT_EQ(floatToQ23(1.5f / 8388608.0f), 2);
  EXPECT_EQ(floatToQ23(2.5f / 8388608.0f), 2);
  EXPECT_EQ(floatToQ23(-2.5f / 8388608.0f), -2);
  EXPECT_EQ(floatToQ23(-3.5f / 8388608.0f), -4);
  EXPECT_EQ(floatToQ23(255.99998f), 2147483520);
  EXPECT_EQ(floatToQ23(256.0f), INT32_MAX);
  EXPECT_EQ(floatToQ23(-256.0f), INT32_MIN);
  EXPECT_EQ(floatToQ23(std::numeric_limits<float>::max()), INT32_MAX);
  EXPECT_EQ(floatToQ23(std::numeric_limits<float>::infinity()), 0);
  EXPECT_EQ(floatToQ23(-std::numeric_limits<float>::infinity()), 0);
  EXPECT_EQ(floatToQ23(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(floatToQ23(std::numeric_limits<float>::denorm_min()), 0);

  // Against the floating-point unit's own round-to-nearest-even, for many random values.
  test::Noise gen(99);
  for (int k = 0; k < 200000; ++k) {
    const float x = gen.sample(1.0f) * static_cast<float>(std::ldexp(1.0, -(k % 30)));
    ASSERT_EQ(floatToQ23(x), static_cast<int32_t>(std::nearbyint(x * 8388608.0))) << x;
  }
  EXPECT_EQ(q23ToFloat(8388608), 1.0f);
  EXPECT_EQ(q23ToFloat(INT32_MIN), -256.0f);
}

TEST(BlockProcessing, InPlaceProcessingMatches) {
  const StereoBuffer in = noise(3000, 0.7f);
  auto a = test::makeEngine(Params{FactoryPrograms[1]});
  auto b = test::makeEngine(Params{FactoryPrograms[1]});
  const StereoBuffer expected = test::processInBlocks(*a, in, 3000);
  StereoBuffer buffer = in;
  float* io[2] = {buffer.left.data(), buffer.right.data()};
  b->processReplacing(io, io, 3000, 44100.0f);
  EXPECT_EQ(buffer.left, expected.left);
  EXPECT_EQ(buffer.right, expected.right);
}

TEST(BlockProcessing, LookaheadBeyondTheRingsIsLimited) {
  // 100 ms at 192 kHz is 19200 samples and delays by all of them; at 384 kHz 100 ms would be
  // 38400, more than the rings hold: the delay stops at kMaxLookaheadSamples, never wraps.
  Params p = test::unityParams();
  p.set(Lookahead, 1.0f).set(EnableLookahead, 1.0f);
  struct Case {
    float rate;
    int32_t lookahead;
  };
  for (const auto& [rate, lookahead] : {Case{192000.0f, 19200}, Case{384000.0f, 32767}}) {
    SCOPED_TRACE(rate);
    auto engine = test::makeEngine(p, rate);
    const StereoBuffer in = noise(60000, 0.5f);
    const StereoBuffer out = test::processInBlocks(*engine, in, 4096, rate);
    EXPECT_EQ(engine->coefficients().lookaheadSamples, lookahead);
    expectDelayedCopy(in, out, engine->latencySamples() + lookahead, 0);
  }
}

// The split the user picks is where the crossover splits at every rate, not only at the first
// four groups' rates: at 22.05, 88.2 and 192 kHz a 1250 Hz FIR1 split of every slope from 12 to
// 24 dB/oct puts the LF band's -6 dB point within 3 % of 1250 Hz, measured on the engine's
// output with the other three bands muted.
TEST(BlockProcessing, SplitFrequencyHoldsAtEveryRate) {
  auto lfGain = [](float rate, float slope, double frequency) {
    Params p = test::unityParams();
    p.set(Fir1Slope, slope).set(Fir1Freq, 0.7f);  // CrossoverFreqSteps[7] = 1250 Hz
    p.set(GainLMF, 0.0f).set(GainHMF, 0.0f).set(GainHF, 0.0f);
    auto engine = test::makeEngine(p, rate);
    const std::size_t n = 32768;
    const StereoBuffer in = sine(n, frequency, 0.25, rate);
    const StereoBuffer out = test::processInBlocks(*engine, in, 4096, rate);
    // RMS over the second half, long after the filters have filled.
    double inEnergy = 0.0;
    double outEnergy = 0.0;
    for (std::size_t i = n / 2; i < n; ++i) {
      inEnergy += static_cast<double>(in.left[i]) * in.left[i];
      outEnergy += static_cast<double>(out.left[i]) * out.left[i];
    }
    return std::sqrt(outEnergy / inEnergy);
  };
  for (float rate : {22050.0f, 88200.0f, 192000.0f}) {
    for (float slope : {0.33333334f, 0.6666667f, 1.0f}) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, slope value " << slope);
      EXPECT_GT(lfGain(rate, slope, 0.97 * 1250.0), 0.5);
      EXPECT_LT(lfGain(rate, slope, 1.03 * 1250.0), 0.5);
    }
  }
}

// The alignment rings hold the longest LF and LMF delays of every rate group: FIR2 and FIR3 at
// their widest spacings.
TEST(BlockProcessing, AlignmentRingsHoldEveryGroupsDelays) {
  for (int32_t g = 0; g < KernelRateGroups; ++g) {
    int32_t fir2 = 0;
    int32_t fir3 = 0;
    for (int32_t slope = 0; slope < KernelSlopes; ++slope) {
      for (int32_t f = 0; f <= 10; ++f) {
        auto delayOf = [&](int32_t frequency) {
          return kernelDelay(crossoverKernels().records[static_cast<std::size_t>(
              kernelRecordIndex(g, slope, frequency))]);
        };
        fir2 = std::max(fir2, delayOf(f + 1));
        fir3 = std::max(fir3, delayOf(f + 2));
      }
    }
    EXPECT_LT(fir2 + fir3, AlignLength) << KernelGroupRates[static_cast<std::size_t>(g)];
  }
}

TEST(BlockProcessing, BlockSizeDoesNotChangeTheOutput) {
  // Program material through every factory program with lookahead: the longest blocks against
  // random lengths from 1 frame up (the detector's 4-sample steps and the internal stretches
  // cross the block boundaries).
  const test::StereoSignal material = test::programMaterial(44100.0, 2.0);
  StereoBuffer in;
  in.left = material.left;
  in.right = material.right;
  for (int32_t prog = 0; prog < 8; prog += 3) {
    auto whole = test::makeEngine(Params{FactoryPrograms[prog]});
    auto pieces = test::makeEngine(Params{FactoryPrograms[prog]});
    const StereoBuffer expected = test::processInBlocks(*whole, in, Engine::kMaxBlockFrames);
    StereoBuffer actual(in.size());
    test::Noise gen(prog + 1);
    for (std::size_t done = 0; done < in.size();) {
      const uint32_t pick = gen.next();
      const std::size_t len = pick % 4 == 0 ? 1 + pick % 7 : 1 + (pick >> 8) % 5000;
      const std::size_t n = std::min(len, in.size() - done);
      const float* inputs[2] = {in.left.data() + done, in.right.data() + done};
      float* outputs[2] = {actual.left.data() + done, actual.right.data() + done};
      pieces->processReplacing(inputs, outputs, static_cast<int32_t>(n), 44100.0f);
      done += n;
    }
    EXPECT_EQ(0, std::memcmp(actual.left.data(), expected.left.data(), in.size() * 4)) << prog;
    EXPECT_EQ(0, std::memcmp(actual.right.data(), expected.right.data(), in.size() * 4)) << prog;
  }
}

}  // namespace
}  // namespace kestrane
