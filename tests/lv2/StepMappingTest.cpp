// The LV2 ports' values against the engine: every step of every parameter, in the units the
// host sends, reaches the engine as exactly that step; the engine's reading of normalised
// values agrees with EffectCore's step rules everywhere, including a hair either side of every
// step boundary; and the presets give the engine what the factory programs give it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "core/ParameterSteps.h"
#include "engine/ParameterMapping.h"
#include "lv2/Lv2Ports.h"
#include "params/ParameterTable.h"
#include "params/Programs.h"

namespace kestrane::lv2 {
namespace {

// The "Extreme" program: every band and the lookahead switched on with settings that are not
// neutral, so every parameter changes what the engine computes.
struct Record {
  float values[kNumParams];
  Record() { std::memcpy(values, FactoryPrograms[3].values, sizeof values); }
  Record& set(int32_t index, float v) {
    values[recordSlot(index)] = v;
    return *this;
  }
};

static_assert(std::is_trivially_copyable_v<EngineCoefficients>);
// Coefficients hold only 32-bit integers, so comparing their bytes compares every field.
bool same(const EngineCoefficients& a, const EngineCoefficients& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

EngineCoefficients map(const Record& r, int32_t rate = 44100) {
  return mapParameters(r.values, rate);
}

// The engine reads the editor's page not at all; every other parameter is checked through it.
bool engineReads(int32_t index) { return index != DisplayMode; }

TEST(Lv2Steps, EveryStepOfEveryParameterReachesTheEngineAsThatStep) {
  for (int32_t index = 0; index < kNumParams; ++index) {
    const int32_t count = stepCount(index);
    ASSERT_GE(count, 2) << index;
    for (int32_t step = 0; step < count; ++step) {
      const float port = stepValue(index, step);
      ASSERT_EQ(stepForPortValue(index, port), step) << index << " " << port;
      const float v = normalisedForPortValue(index, port);
      ASSERT_GE(v, 0.0f);
      ASSERT_LE(v, 1.0f);
      ASSERT_EQ(engineStep(index, v), step) << ParameterTable[index].enumeratorName << " " << port;
      if (!engineReads(index) || step == 0) continue;
      // Neighbouring steps are different settings to the engine.
      const float below = normalisedForPortValue(index, stepValue(index, step - 1));
      EXPECT_FALSE(same(map(Record().set(index, v)), map(Record().set(index, below))))
          << ParameterTable[index].enumeratorName << " step " << step;
    }
  }
}

// The rules behind engineStep are the engine's: over a dense grid and the four floats either
// side of every step boundary, a value gives the engine exactly what its step's own value does.
TEST(Lv2Steps, EngineStepIsHowTheEngineReadsEveryValue) {
  for (int32_t index = 0; index < kNumParams; ++index) {
    if (!engineReads(index)) continue;
    const int32_t last = stepCount(index) - 1;
    std::vector<float> values = {0.0f, 1.0f, -0.5f, 1.5f, std::nanf("")};
    for (int32_t k = 0; k <= 2000; ++k) values.push_back(static_cast<float>(k / 2000.0));
    for (int32_t s = 0; s <= last; ++s) {
      for (double boundary : {s / double(last), (s + 0.5) / last}) {
        float v = static_cast<float>(boundary);
        for (int i = 0; i < 4; ++i) v = std::nextafter(v, -1.0f);
        for (int i = 0; i < 9; ++i, v = std::nextafter(v, 2.0f)) values.push_back(v);
      }
    }
    for (float v : values) {
      // Outside 0..1 the engine clamps to its own tables (attack and release reach one entry
      // further than the steps a host can choose); inside, the two agree exactly.
      if (v > 1.0f) continue;
      const float own = normalisedForStep(index, engineStep(index, v));
      ASSERT_TRUE(same(map(Record().set(index, v)), map(Record().set(index, own))))
          << ParameterTable[index].enumeratorName << " v=" << v;
    }
  }
}

// Port values between steps, or beyond the ends, take the nearest step.
TEST(Lv2Steps, PortValuesBetweenStepsTakeTheNearest) {
  for (int32_t index = 0; index < kNumParams; ++index) {
    const int32_t last = stepCount(index) - 1;
    for (int32_t s = 0; s < last; ++s) {
      const double a = stepValue(index, s), b = stepValue(index, s + 1);
      EXPECT_EQ(stepForPortValue(index, static_cast<float>(a + 0.4 * (b - a))), s) << index;
      EXPECT_EQ(stepForPortValue(index, static_cast<float>(a + 0.6 * (b - a))), s + 1) << index;
    }
    EXPECT_EQ(stepForPortValue(index, -1e9f), 0);
    EXPECT_EQ(stepForPortValue(index, 1e9f), last);
    EXPECT_EQ(stepForPortValue(index, std::nanf("")), 0);
  }
}

// The units: values a user reads reach the engine as that setting.
TEST(Lv2Steps, PortUnitsAreTheUsersUnits) {
  auto with = [](int32_t index, float port, int32_t rate = 44100) {
    return map(Record().set(index, normalisedForPortValue(index, port)), rate);
  };
  const double dB = 8388608.0 * kDbToLog2;
  EXPECT_EQ(with(CompThreshLF, -13.0f).band[BandLF].compThresh, static_cast<int32_t>(-13 * dB));
  EXPECT_EQ(with(ExpThreshHF, -50.0f).band[BandHF].expThresh, static_cast<int32_t>(-50 * dB));
  EXPECT_EQ(with(ExpThreshHF, -51.0f).band[BandHF].expThresh, kExpanderOff);
  EXPECT_EQ(with(GainHMF, -25.1f).band[BandHMF].makeupGain, 0);  // muted
  EXPECT_EQ(with(GainHMF, 0.0f).band[BandHMF].makeupGain, 8388608);
  EXPECT_EQ(with(GainHMF, 25.0f).band[BandHMF].makeupGain, 149172888);
  EXPECT_EQ(with(CompRatioLMF, 4.0f).band[BandLMF].compFactor, 6291456);  // 1 - 1/4
  EXPECT_EQ(with(ExpRatioLMF, 2.0f).band[BandLMF].expFactor, 8388608);    // 2 - 1
  EXPECT_EQ(with(Lookahead, 5.0f).lookaheadSamples, 220);
  EXPECT_EQ(with(Lookahead, 100.0f, 96000).lookaheadSamples, 9600);
  EXPECT_EQ(with(Fir1Slope, 24.0f).kernels.slopeIndex[0], 3);
  EXPECT_EQ(with(Fir3Freq, 12500.0f).kernels.freqIndex[2], 10);
  EXPECT_EQ(with(Fir2Freq, 80.0f).kernels.freqIndex[1], 0);
  const SmoothingPair attack = with(CompAttackHF, 0.5f).band[BandHF].compAttack;
  EXPECT_EQ(attack.keep, mapping::smoothingPair(0.5, 44100).keep);
  const SmoothingPair release = with(ExpReleaseLF, 5000.0f).band[BandLF].expRelease;
  EXPECT_EQ(release.keep, mapping::smoothingPair(5000.0, 44100).keep);
  // A band switched off passes at unity whatever its gain says.
  EXPECT_EQ(with(EnableLF, 0.0f).band[BandLF].makeupGain, 8388608);
}

// A preset holds each factory value as the port value of its step; read back, it gives the
// engine exactly the coefficients of the factory program, at every rate group.
TEST(Lv2Steps, PresetsGiveTheEngineTheFactoryPrograms) {
  for (int32_t program = 0; program < kNumPrograms; ++program) {
    const KestraneProgram& factory = FactoryPrograms[program];
    Record preset;
    for (int32_t index = 0; index < kNumParams; ++index) {
      const float v = factory.value(static_cast<ParamId>(index));
      preset.set(index, normalisedForPortValue(index, portValueForNormalised(index, v)));
    }
    for (int32_t rate : {32000, 44100, 48000, 96000, 22050}) {
      EXPECT_TRUE(same(mapParameters(factory.values, rate), map(preset, rate)))
          << factory.name << " at " << rate;
    }
    // The editor shows the expander page only for 1.0; the page survives the round trip.
    EXPECT_EQ(preset.values[recordSlot(DisplayMode)] >= 1.0f,
              factory.value(DisplayMode) >= 1.0f);
  }
}

// The port table as a host reads it: unique symbols that LV2 accepts, and named steps.
TEST(Lv2Steps, PortsHaveValidUniqueSymbols) {
  std::vector<std::string> symbols = {"in_l", "in_r", "out_l", "out_r", "latency"};
  for (int32_t index = 0; index < kNumParams; ++index) {
    symbols.push_back(parameterPortInfo(index).symbol);
    EXPECT_STRNE(parameterPortInfo(index).name, "") << index;
  }
  for (uint32_t i = 0; i < kNumMeterPorts; ++i) symbols.push_back(meterPortInfo(i).symbol);
  EXPECT_EQ(symbols.size(), kNumPorts);
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    const std::string& s = symbols[i];
    ASSERT_FALSE(s.empty());
    EXPECT_FALSE(s[0] >= '0' && s[0] <= '9') << s;
    for (char c : s) EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') << s;
    for (std::size_t j = 0; j < i; ++j) EXPECT_NE(s, symbols[j]);
  }
  EXPECT_STREQ(parameterPortInfo(CompThreshLMF).symbol, "comp_thresh_lmf");
  EXPECT_STREQ(parameterPortInfo(Fir2Freq).name, "Split 2 frequency");
  EXPECT_STREQ(parameterPortInfo(ExpReleaseHF).name, "HF expander release");
  EXPECT_STREQ(stepLabel(GainLF, 0), "-inf");
  EXPECT_STREQ(stepLabel(DisplayMode, 1), "Expander");
}

}  // namespace
}  // namespace kestrane::lv2
