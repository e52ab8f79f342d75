// Crossover changes while audio runs: no drop-out, no click, no level jump; afterwards the
// output is exactly what an instance that had run the new crossover all along gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "EngineTestSupport.h"
#include "engine/CrossoverChange.h"
#include "engine/SampleConversion.h"
#include "params/StepTables.h"

namespace kestrane {
namespace {

using test::Params;
using test::StereoBuffer;

constexpr int32_t kBlock = 512;

// The output of an engine that runs `before`, and from frame `changeAt` (a multiple of kBlock)
// on `after`; `endAt` is the end of the block in which the change had ended.
struct ChangeRun {
  StereoBuffer out;
  std::size_t endAt = 0;
  int32_t lookahead = 0;
};

// With `afterEnd`, the run stops that many frames after the end of the change (and the
// lookahead), and `out` is that long.
ChangeRun runChange(const Params& before, const Params& after, const StereoBuffer& in,
                    std::size_t changeAt, float rate, std::size_t afterEnd = SIZE_MAX) {
  auto engine = test::makeEngine(before, rate);
  ChangeRun run;
  run.out = StereoBuffer(in.size());
  for (std::size_t done = 0; done < in.size();) {
    if (run.endAt != 0 && afterEnd != SIZE_MAX &&
        done >= run.endAt + static_cast<std::size_t>(run.lookahead) + afterEnd) {
      run.out.left.resize(done);
      run.out.right.resize(done);
      break;
    }
    if (done == changeAt) {
      engine->recompute(after.data());
      run.lookahead = engine->coefficients().lookaheadSamples;
    }
    const std::size_t n = std::min<std::size_t>(kBlock, in.size() - done);
    const float* inputs[2] = {in.left.data() + done, in.right.data() + done};
    float* outputs[2] = {run.out.left.data() + done, run.out.right.data() + done};
    engine->processReplacing(inputs, outputs, static_cast<int32_t>(n), rate);
    done += n;
    if (done > changeAt && run.endAt == 0 && !engine->crossoverChanging()) run.endAt = done;
  }
  return run;
}

// A sine in both channels (the right one inverted), amplitude `amplitude`.
StereoBuffer sine(std::size_t n, double frequency, double rate, float amplitude) {
  test::Oscillator osc(frequency, rate);
  StereoBuffer b(n);
  for (std::size_t i = 0; i < n; ++i) {
    b.left[i] = static_cast<float>(amplitude * osc.next());
    b.right[i] = -b.left[i];
  }
  return b;
}

// Level in dB (RMS, left channel) of frames [from, from + n).
double levelDb(const StereoBuffer& b, std::size_t from, std::size_t n) {
  double sum = 0.0;
  for (std::size_t i = from; i < from + n; ++i) sum += double(b.left[i]) * b.left[i];
  return 10.0 * std::log10(sum / static_cast<double>(n) + 1e-30);
}

// The largest sample-to-sample step (either channel) of frames [from, to).
double largestStep(const StereoBuffer& b, std::size_t from, std::size_t to) {
  double step = 0.0;
  for (std::size_t i = std::max<std::size_t>(from, 1); i < to; ++i) {
    step = std::max(step, std::fabs(double(b.left[i]) - b.left[i - 1]));
    step = std::max(step, std::fabs(double(b.right[i]) - b.right[i - 1]));
  }
  return step;
}

// The split frequencies a parameter record selects, in Hz.
std::array<double, 3> splits(const Params& p, int32_t rate) {
  const KernelSelection k = mapParameters(p.data(), rate).kernels;
  std::array<double, 3> f;
  for (int32_t s = 0; s < 3; ++s) f[s] = CrossoverFreqSteps[k.freqIndex[s] + s];
  return f;
}

// The band a frequency falls in behind the cascade (LF below split 1, LMF below split 2, ...).
int32_t bandOf(double f, const std::array<double, 3>& s) {
  for (int32_t k = 0; k < 3; ++k) {
    if (f < s[k]) return k;
  }
  return 3;
}

// A test frequency well inside one band of both records: in the same band of both and at
// least an octave from every split, the farthest such; nothing where there is none.
std::optional<double> frequencyInsideOneBand(const Params& a, const Params& b, int32_t rate) {
  const std::array<double, 3> sa = splits(a, rate), sb = splits(b, rate);
  std::optional<double> best;
  double bestDistance = 1.0;
  for (double f = 40.0; f < 0.3 * rate && f < 16000.0; f *= 1.1892) {  // quarter octaves
    if (bandOf(f, sa) != bandOf(f, sb)) continue;
    double distance = 1e9;
    for (double s : sa) distance = std::min(distance, std::fabs(std::log2(f / s)));
    for (double s : sb) distance = std::min(distance, std::fabs(std::log2(f / s)));
    if (distance >= bestDistance) {
      bestDistance = distance;
      best = f;
    }
  }
  return best;
}

// How much larger a step may be during a change than the largest step of the same signal
// before it: the glides play the bands up to 1/16 faster (a sine's steps grow with its
// frequency); the glides' interpolator adds its passband ripple and, in the last 7 samples of
// delay before a glide ends (about 2.5 ms at 44.1 kHz), the error of the taps that cannot
// reach newer samples, which grows with the frequency; and the peak detector reads a high sine
// (a few samples per period) a little differently while its pitch moves, so a compressing
// band's gain moves by a fraction of a decibel. 5 % covers these (the worst seen is 3.4 %, a
// 14.5 kHz sine at 96 kHz in a compressing band; below 5 kHz it stays under 1 %).
constexpr double kStepMargin = 1.0 + 1.0 / CrossoverChange::GlideDivisor + 0.05;

// Level and clicks through a change of the crossover from `a` to `b` (the dynamics as in both)
// with a steady sine well inside one band of both: every 10 ms window (or 4 periods, for a
// sine below 400 Hz) from the change to well after its end lies within 1 dB of the range
// between the level before and the level after (the new crossover may leave a little more or
// less of the sine in a neighbouring band, whose dynamics differ), and no step exceeds the
// largest step before or after by more than kStepMargin. Answers whether the pair had such a
// frequency and the band passes it (a muted band has no level to keep).
bool expectSmoothChange(const Params& a, const Params& b, int32_t rate, const std::string& what) {
  const std::optional<double> f = frequencyInsideOneBand(a, b, rate);
  if (!f) return false;
  SCOPED_TRACE(testing::Message() << what << " at " << rate << " Hz, sine " << *f << " Hz");
  const std::size_t window =
      std::max(static_cast<std::size_t>(rate / 100), static_cast<std::size_t>(4 * rate / *f));
  const std::size_t changeAt = static_cast<std::size_t>(rate / 4) / kBlock * kBlock;
  const StereoBuffer in = sine(changeAt + static_cast<std::size_t>(rate) * 2, *f, rate, 0.25f);
  const ChangeRun run = runChange(a, b, in, changeAt, static_cast<float>(rate), 14 * window);
  const std::size_t total = run.out.size();
  EXPECT_GT(run.endAt, changeAt) << "the change did not end";
  const std::size_t settled = run.endAt + static_cast<std::size_t>(run.lookahead) + 2 * window;
  const std::size_t tail = total - 10 * window;  // the level after is measured from here
  EXPECT_LT(settled, tail) << "the change took too long";
  if (run.endAt <= changeAt || settled >= tail) return true;

  const double before = levelDb(run.out, changeAt - 10 * window, 10 * window);
  const double after = levelDb(run.out, tail, 10 * window);
  if (std::min(before, after) < -40.0) return false;
  const double low = std::min(before, after) - 1.0, high = std::max(before, after) + 1.0;
  for (std::size_t at = changeAt; at + window <= settled; at += window / 2) {
    const double level = levelDb(run.out, at, window);
    EXPECT_TRUE(level >= low && level <= high)
        << "window at " << at - changeAt << " after the change: " << level << " dB, before "
        << before << ", after " << after;
    if (level < low || level > high) break;
  }
  const double allowed = std::max(largestStep(run.out, changeAt - 10 * window, changeAt),
                                  largestStep(run.out, tail, total)) *
                         kStepMargin;
  EXPECT_LE(largestStep(run.out, changeAt, settled), allowed);
  return true;
}

// Parameter record `p` with the crossover (slopes and split points) of `q`.
Params withCrossoverOf(Params p, const Params& q) {
  for (int32_t id = Fir1Slope; id <= Fir3Freq; ++id) p.set(id, q.record[recordSlot(id)]);
  return p;
}

// Ordered pairs of factory programs whose crossovers differ (those with `from + to` odd only,
// where `everyOther`): the first program's dynamics, its crossover changing to the second's.
// (A program change also changes the dynamics at once, which moves the level by design.)
void expectFactoryCrossoverChangesSmooth(int32_t rate, bool everyOther) {
  int32_t tested = 0, pairs = 0;
  for (int32_t from = 0; from < 8; ++from) {
    for (int32_t to = 0; to < 8; ++to) {
      if (everyOther && (from + to) % 2 == 0) continue;
      const Params a{FactoryPrograms[from]};
      const Params b = withCrossoverOf(a, Params{FactoryPrograms[to]});
      if (mapParameters(a.data(), rate).kernels == mapParameters(b.data(), rate).kernels) {
        continue;
      }
      ++pairs;
      const std::string what = "program " + std::to_string(from) + " to " + std::to_string(to);
      tested += expectSmoothChange(a, b, rate, what) ? 1 : 0;
      if (testing::Test::HasFailure()) return;
    }
  }
  // Some pairs have no frequency an octave from all six split points in one band of both, or
  // mute the band that has one.
  EXPECT_GE(tested * 3, pairs) << tested << " of " << pairs << " pairs measured";
}

TEST(CrossoverChange, FactoryProgramCrossoversChangeWithoutDropOrClickAt44100) {
  expectFactoryCrossoverChangesSmooth(44100, false);
}

TEST(CrossoverChange, FactoryProgramCrossoversChangeWithoutDropOrClickAt96000) {
  expectFactoryCrossoverChangesSmooth(96000, true);
}

// A random crossover: slopes and split points anywhere.
Params randomCrossover(Params p, test::Noise& gen) {
  for (int32_t id = Fir1Slope; id <= Fir3Freq; ++id) {
    p.set(id, static_cast<float>(gen.next() % 1001) / 1000.0f);
  }
  return p;
}

TEST(CrossoverChange, RandomSplitAndSlopeChangesWithoutDropOrClick) {
  test::Noise gen(18);
  for (int32_t rate : {44100, 96000}) {
    for (int32_t k = 0; k < 12; ++k) {
      const Params base{FactoryPrograms[gen.next() % 8]};
      const Params a = randomCrossover(base, gen), b = randomCrossover(base, gen);
      expectSmoothChange(a, b, rate, "random change " + std::to_string(k));
      if (HasFailure()) return;
    }
  }
}

// Bands at unity with their own makeup gains (so each band's signal counts, not only their
// sum): after a change, from the end of the change and the lookahead on, the output is bit for
// bit that of a fresh instance started with the new settings at the change and fed the same
// input since; so nothing of the audio before the change (which is louder and different here)
// is heard any more.
TEST(CrossoverChange, AfterTheChangeTheOutputIsAFreshInstancesBitForBit) {
  test::Noise gen(1818);
  for (int32_t rate : {44100, 96000}) {
    for (int32_t k = 0; k < 6; ++k) {
      Params base = test::unityParams();
      for (int32_t g = GainLF; g <= GainHF; ++g) {
        base.set(g, 0.4f + static_cast<float>(gen.next() % 200) / 1000.0f);
      }
      if (k % 2 == 1) base.set(EnableLookahead, 1.0f).set(Lookahead, 0.2f);
      const Params a = randomCrossover(base, gen), b = randomCrossover(base, gen);
      const std::size_t changeAt = 20 * kBlock;
      const std::size_t total = changeAt + static_cast<std::size_t>(rate) * 3 / 2;
      StereoBuffer in = test::noise(total, 0.3f, 5 + k);
      for (std::size_t i = 0; i < changeAt; ++i) {
        in.left[i] *= 3.0f;
        in.right[i] *= -3.0f;
      }
      const ChangeRun run = runChange(a, b, in, changeAt, static_cast<float>(rate));
      ASSERT_GT(run.endAt, changeAt);

      StereoBuffer since(total - changeAt);
      std::copy(in.left.begin() + changeAt, in.left.end(), since.left.begin());
      std::copy(in.right.begin() + changeAt, in.right.end(), since.right.begin());
      auto fresh = test::makeEngine(b, static_cast<float>(rate));
      const StereoBuffer expected =
          test::processInBlocks(*fresh, since, 300, static_cast<float>(rate));
      const std::size_t from = run.endAt + static_cast<std::size_t>(run.lookahead);
      ASSERT_LT(from + 1000, total);
      SCOPED_TRACE(testing::Message() << "change " << k << " at " << rate << " Hz");
      for (std::size_t i = from; i < total; ++i) {
        ASSERT_EQ(run.out.left[i], expected.left[i - changeAt])
            << i - changeAt << " after the change, which ended by " << run.endAt - changeAt;
        ASSERT_EQ(run.out.right[i], expected.right[i - changeAt]) << i - changeAt;
      }
    }
  }
}

// Changes that follow each other faster than a change takes, landing in every phase of the one
// before (filling, fading, gliding), with a steady sine at unity: each starts from what is
// heard, so the output neither drops nor steps; the last one ends like any other.
TEST(CrossoverChange, ChangesDuringAChangeStartFromWhatIsHeard) {
  test::Noise gen(99);
  const int32_t rate = 44100;
  const std::size_t total = 6 * static_cast<std::size_t>(rate);
  const StereoBuffer in = sine(total, 700.0, rate, 0.25f);
  Params p = test::unityParams();
  auto engine = test::makeEngine(p, rate);
  StereoBuffer out(total);
  const std::size_t quiet = 2 * static_cast<std::size_t>(rate);  // changes stop here
  std::size_t nextChange = 16 * kBlock;
  for (std::size_t done = 0; done < total;) {
    if (done >= nextChange && done < quiet) {
      engine->recompute(randomCrossover(p, gen).data());
      nextChange = done + 64 + gen.next() % 6000;
    }
    const std::size_t n = std::min<std::size_t>(64 + gen.next() % 700, total - done);
    const float* inputs[2] = {in.left.data() + done, in.right.data() + done};
    float* outputs[2] = {out.left.data() + done, out.right.data() + done};
    engine->processReplacing(inputs, outputs, static_cast<int32_t>(n), rate);
    done += n;
  }
  EXPECT_FALSE(engine->crossoverChanging());
  const std::size_t window = rate / 100;
  const std::size_t start = 16 * kBlock;
  const double level = levelDb(out, start - 10 * window, 10 * window);
  for (std::size_t at = start; at + window <= total; at += window / 2) {
    ASSERT_NEAR(levelDb(out, at, window), level, 1.0) << "window at " << at;
  }
  const double allowed = largestStep(out, start - 10 * window, start) * kStepMargin;
  EXPECT_LE(largestStep(out, start, total), allowed);
}

TEST(CrossoverChange, BandLinesHoldEveryDelayDifferenceOfAGroup) {
  // The band lines reach back the difference of two crossovers' delays of one rate group, plus
  // the interpolator's two samples, and a stretch more.
  const CrossoverKernelSet& kernels = crossoverKernels();
  for (int32_t group = 0; group < KernelRateGroups; ++group) {
    int32_t shortest = INT32_MAX, longest = 0;
    for (int32_t slope = 0; slope < KernelSlopes; ++slope) {
      int32_t low = 0, high = 0;
      for (int32_t k = 0; k < 3; ++k) {
        int32_t kMin = INT32_MAX, kMax = 0;
        for (int32_t f = k; f < k + 11; ++f) {
          const int32_t d = kernelDelay(kernels.records[static_cast<std::size_t>(
              kernelRecordIndex(group, slope, f))]);
          kMin = std::min(kMin, d);
          kMax = std::max(kMax, d);
        }
        low += kMin;
        high += kMax;
      }
      shortest = std::min(shortest, low);
      longest = std::max(longest, high);
    }
    EXPECT_LT(longest - shortest + 3 + BandPathStretch, BandLineLength)
        << "group " << KernelGroupRates[static_cast<std::size_t>(group)];
  }
}

}  // namespace
}  // namespace kestrane
