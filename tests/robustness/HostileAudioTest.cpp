// Samples no musician sends but hosts do: NaN, infinities, +-1e30, denormals and full-scale
// square waves, through every factory program, and sample-rate changes in the middle of a
// stream. The output stays finite, the parameters stay as they were, and the instance recovers.
//
// What "recovers" can honestly mean. Each hostile signal has a twin, the legitimate signal it
// stands for: NaN, the infinities and denormals carry no signal and read as silence, so the
// instance must play exactly as one that heard silence, bit for bit, during and after. Samples
// far beyond full scale stand for a full-scale signal: afterwards the instance must play a clean
// signal as one that heard the full-scale twin. Not bit for bit: the crossover forgets once the
// samples have left its delay lines, but the detectors and gain smoothers carry their state. A
// band pressed down by 1e30 comes back at its release time, through integer one-pole steps whose
// last bits depend on where they started; and while a steady signal keeps the target gain within
// 0.001 of the current one, a band keeps the time-constant pair it chose last, so a trace of the
// past (about -70 dB here) can stay for good. Both play the clean signal for three seconds,
// several times the longest release of the factory programs, and their last half second must
// agree within 1e-3 (-60 dB): far below any stuck gain, filter or delay.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "params/Programs.h"
#include "robustness/RobustnessSupport.h"

namespace kestrane::robustness {
namespace {

constexpr std::size_t kHostileFrames = 8192;  // a multiple of the detector's 4-sample step
constexpr std::size_t kCleanFrames = 3 * 44100;
constexpr std::size_t kComparedFrom = kCleanFrames - 44100 / 2;
constexpr float kRecoveryTolerance = 1e-3f;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

using Sample = float (*)(std::size_t i, int channel);

struct Hostile {
  const char* name;
  Sample hostile;
  Sample twin;  // the legitimate signal it stands for
  bool exact;  // the instance plays exactly as with the twin, not only afterwards
};

float silence(std::size_t, int) { return 0.0f; }
float squareSign(std::size_t i, int channel) {
  return ((i + static_cast<std::size_t>(channel) * 50) / 220) % 2 ? -1.0f : 1.0f;
}
// Every kind of sample in turn, and what each stands for.
constexpr float kMixed[] = {kNaN, kInfinity, -kInfinity, 1e30f, -1e30f, 1e-40f, 1.0f, -1.0f, 0.0f};
constexpr float kMixedTwin[] = {0.0f, 0.0f, 0.0f, 1.0f, -1.0f, 0.0f, 1.0f, -1.0f, 0.0f};
std::size_t mixedIndex(std::size_t i, int channel) {
  return (i * 7 + static_cast<std::size_t>(channel)) % 9;
}

const Hostile kHostile[] = {
    {"NaN", [](std::size_t, int) { return kNaN; }, silence, true},
    {"plus infinity", [](std::size_t, int) { return kInfinity; }, silence, true},
    {"minus infinity", [](std::size_t, int) { return -kInfinity; }, silence, true},
    {"denormals", [](std::size_t i, int ch) { return (i + ch) % 2 ? -1e-40f : 1e-40f; }, silence,
     true},
    {"1e30 square", [](std::size_t i, int ch) { return 1e30f * squareSign(i, ch); }, squareSign,
     false},
    {"full-scale square", squareSign, [](std::size_t i, int ch) { return 0.9f * squareSign(i, ch); },
     false},
    {"all of them in turn", [](std::size_t i, int ch) { return kMixed[mixedIndex(i, ch)]; },
     [](std::size_t i, int ch) { return kMixedTwin[mixedIndex(i, ch)]; }, false},
};

test::StereoSignal signalOf(Sample sample) {
  test::StereoSignal s{std::vector<float>(kHostileFrames), std::vector<float>(kHostileFrames)};
  for (std::size_t i = 0; i < kHostileFrames; ++i) {
    s.left[i] = sample(i, 0);
    s.right[i] = sample(i, 1);
  }
  return s;
}

// A fresh instance on program `program` at 44.1 kHz.
std::unique_ptr<Effect> freshInstance(int32_t program) {
  auto fx = std::make_unique<Effect>(openFromLibrary());
  if (!fx->valid()) return fx;
  fx->setSampleRate(44100.0f);
  fx->dispatch(effMainsChanged, 0, 1);
  fx->setProgram(program);
  return fx;
}

class HostileAudio : public ::testing::TestWithParam<int32_t> {};

TEST_P(HostileAudio, OutputStaysFiniteAndTheInstancePlaysAsAfterTheTwin) {
  const int32_t program = GetParam();
  const test::StereoSignal clean = steadyMix(kCleanFrames, 0.5f);

  // What an instance plays during and after each twin (several hostile signals share one).
  std::map<Sample, std::pair<test::StereoSignal, test::StereoSignal>> twins;
  for (const Hostile& hostile : kHostile) {
    SCOPED_TRACE(hostile.name);
    if (twins.count(hostile.twin) == 0) {
      auto twin = freshInstance(program);
      ASSERT_TRUE(twin->valid());
      test::StereoSignal during = twin->process(signalOf(hostile.twin), 256);
      twins[hostile.twin] = {std::move(during), twin->process(clean)};
    }
    const auto& [twinDuring, twinAfter] = twins[hostile.twin];

    auto fx = freshInstance(program);
    ASSERT_TRUE(fx->valid());
    std::vector<float> before(kNumParams);
    for (int32_t id = 0; id < kNumParams; ++id) before[id] = fx->getParameter(id);
    const test::StereoSignal during = fx->process(signalOf(hostile.hostile), 256);
    const test::StereoSignal after = fx->process(clean);

    EXPECT_TRUE(allFinite(during));
    EXPECT_TRUE(allFinite(after));
    if (hostile.exact) {
      EXPECT_EQ(largestDifference(during, twinDuring, 0), 0.0f);
      EXPECT_EQ(largestDifference(after, twinAfter, 0), 0.0f);
    } else {
      EXPECT_LE(largestDifference(after, twinAfter, kComparedFrom), kRecoveryTolerance);
    }
    for (int32_t id = 0; id < kNumParams; ++id) {
      EXPECT_EQ(fx->getParameter(id), before[id]) << "parameter " << id;
    }
    EXPECT_EQ(fx->dispatch(effGetProgram), program);
  }
}

// The eight presets and one empty program.
INSTANTIATE_TEST_SUITE_P(FactoryPrograms, HostileAudio, ::testing::Range(0, 9),
                         [](const ::testing::TestParamInfo<int32_t>& program) {
                           std::string name = FactoryPrograms[program.param].name;
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// The host switches rates between blocks, without asking for anything else, through rates the
// crossover has no kernels for and rates that mean nothing; back at 44.1 kHz the instance plays
// as a fresh one.
TEST(SampleRateChanges, MidStreamThroughEveryKindOfRate) {
  const float rates[] = {48000.0f, 96000.0f, 32000.0f, 22050.0f, 192000.0f, 384000.0f, 0.0f,
                         -44100.0f, kNaN, kInfinity, 1e9f, 8000.0f, 44100.0f};
  const test::StereoSignal clean = steadyMix(kCleanFrames, 0.5f);
  auto reference = freshInstance(0);
  ASSERT_TRUE(reference->valid());
  const test::StereoSignal expected = reference->process(clean);

  auto fx = freshInstance(0);
  ASSERT_TRUE(fx->valid());
  const test::StereoSignal stretch = steadyMix(4096, 0.5f, 3);
  for (float rate : rates) {
    fx->setSampleRate(rate);
    EXPECT_TRUE(allFinite(fx->process(stretch, 1000))) << "at " << rate << " Hz";
  }
  const test::StereoSignal after = fx->process(clean);
  EXPECT_TRUE(allFinite(after));
  EXPECT_LE(largestDifference(after, expected, kComparedFrom), kRecoveryTolerance);
}

// A host sets the rate (either way), restores a program and starts the audio: the first block
// already runs with that rate's kernels, lookahead and time constants, exactly as the engine
// alone set up for the rate.
TEST(SampleRateChanges, TheFirstBlockRunsAtTheRateTheHostSet) {
  const test::StereoSignal in = test::programMaterial(44100.0, 0.5);
  for (const float rate : {32000.0f, 48000.0f, 96000.0f}) {
    for (const bool together : {false, true}) {
      SCOPED_TRACE(std::to_string(rate) + (together ? " with the block size" : " alone"));
      Effect fx(openFromLibrary());
      ASSERT_TRUE(fx.valid());
      if (together) {
        EXPECT_EQ(fx.dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, rate), 1);
      } else {
        fx.setSampleRate(rate);
      }
      fx.setProgram(1);
      fx.dispatch(effMainsChanged, 0, 1);
      const test::StereoSignal out = fx.process(in);

      auto engineOwner = std::make_unique<Engine>();  // too large for a thread's stack
      Engine& engine = *engineOwner;
      engine.setSampleRate(rate);
      engine.recompute(FactoryPrograms[1].values);
      test::StereoSignal expected{std::vector<float>(in.frames()), std::vector<float>(in.frames())};
      for (std::size_t done = 0; done < in.frames(); done += 512) {
        const auto n = static_cast<int32_t>(std::min<std::size_t>(512, in.frames() - done));
        const float* inputs[2] = {in.left.data() + done, in.right.data() + done};
        float* outputs[2] = {expected.left.data() + done, expected.right.data() + done};
        engine.processReplacing(inputs, outputs, n, rate);
      }
      EXPECT_EQ(largestDifference(out, expected, 0), 0.0f);
    }
  }
}

}  // namespace
}  // namespace kestrane::robustness
