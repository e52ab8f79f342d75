// The crossover kernel set and the FIR stage: every record's structure and response, the
// integer path against a double model, complementary outputs, settling, block splitting and the
// once-per-process conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "engine/CrossoverKernels.h"
#include "engine/FirStage.h"
#include "engine/LookupTables.h"
#include "tools/kernelgen/KernelAnalysis.h"
#include "tools/kernelgen/KernelDesign.h"

namespace kestrane {
namespace {

const KernelRecord& record(int32_t index) {
  return crossoverKernels().records[static_cast<std::size_t>(index)];
}

int32_t tap(const KernelRecord& r, int32_t j) {
  return r[static_cast<std::size_t>(KernelFirstTapWord + j)];
}

// The 53-tap model filter behind a record: the double running sum of its (converted) taps.
std::vector<int64_t> modelFilter(const KernelRecord& r) {
  std::vector<int64_t> q(KernelTaps);
  int64_t first = 0;
  int64_t second = 0;
  for (int32_t j = 0; j < KernelTaps; ++j) {
    first += tap(r, j);
    second += first;
    q[static_cast<std::size_t>(j)] = second;
  }
  return q;
}

// The interpolated response in integer units of the second integrator: q upsampled by L and
// convolved with the triangle L - |n|, computed from the record alone.
std::vector<int64_t> interpolatedResponse(const KernelRecord& r) {
  const int32_t l = r[KernelSpacingWord];
  const std::vector<int64_t> q = modelFilter(r);
  std::vector<int64_t> h(static_cast<std::size_t>((KernelTaps - 1) * l - 1), 0);
  for (int32_t k = 0; k < KernelTaps - 2; ++k) {
    const int32_t centre = k * l + l - 1;
    for (int32_t d = -(l - 1); d <= l - 1; ++d) {
      h[static_cast<std::size_t>(centre + d)] += q[static_cast<std::size_t>(k)] * (l - std::abs(d));
    }
  }
  return h;
}

double outputFactor(const KernelRecord& r) {
  const double scale =
      KernelScaleTable[static_cast<std::size_t>(r[KernelScaleWord] + KernelScaleOffset)];
  return scale * r[KernelGainWord] * std::ldexp(1.0, -91);
}

// Runs `input` (left channel; the right channel carries its negation) through a fresh stage.
struct StageRun {
  std::vector<int32_t> low[2];
  std::vector<int32_t> high[2];
  std::unique_ptr<FirStage> stage = std::make_unique<FirStage>();
};

StageRun runStage(const KernelRecord& r, const std::vector<int32_t>& input) {
  StageRun run;
  run.stage->load(r);
  const int32_t n = static_cast<int32_t>(input.size());
  std::vector<int32_t> negated(input.size());
  std::transform(input.begin(), input.end(), negated.begin(), [](int32_t x) { return -x; });
  FirPassBuffers buffers{};
  buffers.input = {input.data(), negated.data()};
  for (std::size_t c = 0; c < 2; ++c) {
    run.low[c].resize(input.size());
    run.high[c].resize(input.size());
    buffers.low[c] = run.low[c].data();
    buffers.high[c] = run.high[c].data();
  }
  run.stage->runPass(buffers, n);
  return run;
}

std::vector<int32_t> randomFullScale(std::size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> dist(-Q23One, Q23One);
  std::vector<int32_t> v(n);
  for (int32_t& x : v) x = dist(rng);
  return v;
}

// ---------------------------------------------------------------------------------------------
// The kernel set itself.

TEST(CrossoverKernels, HeaderAndRecordShape) {
  const CrossoverKernelSet& set = crossoverKernels();
  EXPECT_EQ(set.header, (std::array<int32_t, 4>{9, 4, 13, 55}));
  EXPECT_EQ(kernelRecordIndex(0, 0, 0), 0);
  EXPECT_EQ(kernelRecordIndex(1, 3, 6), 97);
  EXPECT_EQ(kernelRecordIndex(3, 3, 12), 207);
  EXPECT_EQ(kernelRecordIndex(8, 3, 12), 467);
  EXPECT_EQ(KernelRecordCount, 468);
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    const int32_t rate = i / 52;
    const int32_t reach = (KernelTaps - 1) * r[KernelSpacingWord];
    const int32_t frequency = i % 13;
    SCOPED_TRACE(i);
    EXPECT_EQ(r[KernelTapCountWord], 55);
    EXPECT_EQ(r[KernelSpacingWord], kernelgen::SpacingTable[static_cast<std::size_t>(rate)]
                                                           [static_cast<std::size_t>(frequency)]);
    EXPECT_GE(r[KernelScaleWord], -8);
    EXPECT_LE(r[KernelScaleWord], 2);
    // The stage's history holds every sample the taps reach, with room for a chunk.
    EXPECT_LT(reach, FirHistoryLength);
  }
}

constexpr uint64_t OriginalGroupsHash = 7024585850569630989u;

// The groups of 32, 44.1, 48 and 96 kHz are the original set, word for word (a 64-bit FNV-1a
// hash of their stored words); later groups only ever append records.
TEST(CrossoverKernels, OriginalGroupsAreUnchanged) {
  uint64_t hash = 14695981039346656037u;
  const std::size_t words = static_cast<std::size_t>(4 * KernelSlopes * KernelFrequencies) *
                            static_cast<std::size_t>(KernelRecordLength);
  for (std::size_t w = 0; w < words; ++w) {
    hash ^= static_cast<uint32_t>(StoredCrossoverKernels[KernelHeaderLength + w]);
    hash *= 1099511628211u;
  }
  EXPECT_EQ(hash, OriginalGroupsHash);
  EXPECT_EQ((std::array<int32_t, 4>{KernelGroupRates[0], KernelGroupRates[1], KernelGroupRates[2],
                                    KernelGroupRates[3]}),
            (std::array<int32_t, 4>{32000, 44100, 48000, 96000}));
}

TEST(CrossoverKernels, ConvertedOnceFromTheStoredSet) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    const auto* stored = &StoredCrossoverKernels[static_cast<std::size_t>(KernelHeaderLength +
                                                                          i * KernelRecordLength)];
    SCOPED_TRACE(i);
    EXPECT_GE(stored[KernelGainWord], 4194315);
    EXPECT_LE(stored[KernelGainWord], 8387740);
    for (int32_t w = 0; w < KernelRecordLength; ++w) {
      // Stored values small enough that times 256 stays inside int32.
      ASSERT_LE(std::abs(stored[w]), 8388607);
      ASSERT_EQ(r[static_cast<std::size_t>(w)], w >= KernelGainWord ? stored[w] * 256 : stored[w]);
    }
  }
  EXPECT_EQ(kernelConversionCount(), 1);
}

TEST(CrossoverKernels, TapsAreTheSecondDifferenceOfASymmetricModel) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    SCOPED_TRACE(i);
    int64_t sum = 0;
    int64_t moment = 0;
    for (int32_t j = 0; j < KernelTaps; ++j) {
      ASSERT_EQ(tap(r, j), tap(r, KernelTaps - 1 - j)) << j;
      sum += tap(r, j);
      moment += int64_t{j} * tap(r, j);
    }
    EXPECT_EQ(sum, 0);
    EXPECT_EQ(moment, 0);
    const std::vector<int64_t> q = modelFilter(r);
    EXPECT_EQ(q[53], 0);
    EXPECT_EQ(q[54], 0);
  }
}

TEST(CrossoverKernels, UnityGainAtZeroHertz) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    const std::vector<int64_t> q = modelFilter(r);
    int64_t sum = 0;
    for (int32_t k = 0; k < 53; ++k) sum += q[static_cast<std::size_t>(k)];
    const double l = r[KernelSpacingWord];
    const double gain = static_cast<double>(sum) * l * l * std::ldexp(1.0, 1 + r[KernelScaleWord]) *
                        r[KernelGainWord] * std::ldexp(1.0, -63);
    EXPECT_NEAR(gain, 1.0, 1e-6) << i;
  }
}

// The worst case over all inputs within +-1.0 full scale: the second integrator reaches
// 2^23 * sum |h|, which must fit 64 bits, and the scale and gain steps must keep it in 32 bits.
TEST(CrossoverKernels, IntegerPathCannotOverflowAtFullScale) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    SCOPED_TRACE(i);
    int64_t absSum = 0;
    for (int64_t v : interpolatedResponse(r)) absSum += v < 0 ? -v : v;
    ASSERT_LT(absSum, int64_t{1} << 40);  // 2^23 * absSum < 2^63
    const int64_t high32 = absSum >> 9;   // (2^23 * absSum) >> 32
    const int64_t scale =
        KernelScaleTable[static_cast<std::size_t>(r[KernelScaleWord] + KernelScaleOffset)];
    const int64_t t = (high32 * scale) >> 28;
    ASSERT_LE(t, INT32_MAX);
    const int64_t low = (t * r[KernelGainWord]) >> 31;
    ASSERT_LE(low + Q23One, INT32_MAX);  // high = delayed input - low
  }
}

// Every record meets the response figures of its slope class at its own sample rate, measured
// on the stage's effective impulse response.
TEST(CrossoverKernels, ResponseFiguresOfEveryRecord) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const int32_t slope = (i / KernelFrequencies) % KernelSlopes;
    const kernelgen::KernelResponse m = kernelgen::measureKernel(i, false);
    EXPECT_EQ(kernelgen::limitViolations(m, slope), "")
        << "record " << i << ": -6 dB at " << m.sixDbRatio << " x nominal, " << m.atNominalDb
        << " / " << m.atDoubleDb << " / " << m.atQuadrupleDb << " dB at 1x / 2x / 4x, pass band "
        << m.passBandDb << " dB";
  }
}

TEST(CrossoverKernels, EffectiveResponseIsTheInterpolatedModelFilter) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    const std::vector<int64_t> model = interpolatedResponse(r);
    const std::vector<double> measured = kernelgen::effectiveImpulseResponse(r);
    ASSERT_EQ(measured.size(), model.size());
    const double factor = outputFactor(r);
    for (std::size_t n = 0; n < model.size(); ++n) {
      ASSERT_DOUBLE_EQ(measured[n], static_cast<double>(model[n]) * factor) << i << " " << n;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The FIR stage.

TEST(FirStage, LoadDerivesTheFieldsAndClearsTheState) {
  auto stage = std::make_unique<FirStage>();
  stage->load(record(0));
  const std::vector<int32_t> noise = randomFullScale(500, 1);
  for (int32_t x : noise) {
    stage->step(0, x);
    stage->step(1, x);
    stage->advance();
  }
  const KernelRecord& r = record(kernelRecordIndex(3, 2, 0));
  stage->load(r);
  EXPECT_EQ(stage->kernel, r);
  EXPECT_EQ(stage->spacing, 72);
  EXPECT_EQ(stage->delay, 27 * 72 - 1);
  EXPECT_EQ(stage->gain, r[KernelGainWord]);
  EXPECT_EQ(stage->scale, KernelScaleTable[static_cast<std::size_t>(r[KernelScaleWord] + 8)]);
  EXPECT_EQ(stage->writePos, 0);
  EXPECT_EQ(stage->integ1, (std::array<int64_t, 2>{0, 0}));
  EXPECT_EQ(stage->integ2, (std::array<int64_t, 2>{0, 0}));
  for (const auto& ring : stage->history) {
    EXPECT_TRUE(std::all_of(ring.begin(), ring.end(), [](int32_t v) { return v == 0; }));
  }
}

// low + high is the input delayed by `delay`, bit for bit, and the low output is the designed
// filter: within the rounding of the scale and gain steps of a double-precision convolution.
TEST(FirStage, OutputsAreComplementaryAndFollowTheDoubleModel) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    SCOPED_TRACE(i);
    const int32_t length = (KernelTaps - 1) * r[KernelSpacingWord] - 1;
    const std::vector<int32_t> x =
        randomFullScale(static_cast<std::size_t>(length + 200), 1000u + i);
    const StageRun run = runStage(r, x);
    const int32_t delay = run.stage->delay;
    for (std::size_t c = 0; c < 2; ++c) {
      for (std::size_t n = 0; n < x.size(); ++n) {
        const int32_t in =
            n >= static_cast<std::size_t>(delay) ? x[n - static_cast<std::size_t>(delay)] : 0;
        ASSERT_EQ(wrapAdd(run.low[c][n], run.high[c][n]), c == 0 ? in : -in) << n;
      }
    }
    const std::vector<int64_t> h = interpolatedResponse(r);
    const double factor = outputFactor(r);
    const double tolerance = 2.0 + std::ldexp(1.0, 1 + r[KernelScaleWord]);
    for (std::size_t n = x.size() - 64; n < x.size(); ++n) {
      double model = 0.0;
      for (std::size_t k = 0; k < h.size(); ++k) model += static_cast<double>(h[k]) * x[n - k];
      ASSERT_NEAR(run.low[0][n], model * factor, tolerance) << n;
    }
  }
}

// The input that drives every record hardest (full scale with the signs of its response) gives
// the model's output: nothing wraps on the way.
TEST(FirStage, WorstCaseFullScaleInputDoesNotWrap) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    const std::vector<int64_t> h = interpolatedResponse(r);
    std::vector<int32_t> x(h.size());
    int64_t absSum = 0;
    for (std::size_t n = 0; n < h.size(); ++n) {
      const int64_t v = h[h.size() - 1 - n];
      x[n] = v < 0 ? -Q23One : Q23One;
      absSum += v < 0 ? -v : v;
    }
    const StageRun run = runStage(r, x);
    const double expected = static_cast<double>(absSum) * Q23One * outputFactor(r);
    EXPECT_NEAR(run.low[0].back(), expected, 2.0 + std::ldexp(1.0, 1 + r[KernelScaleWord])) << i;
    EXPECT_NEAR(run.low[1].back(), -expected, 2.0 + std::ldexp(1.0, 1 + r[KernelScaleWord])) << i;
  }
}

TEST(FirStage, ImpulsePeaksAtTheCentre) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    std::vector<int32_t> x(static_cast<std::size_t>(54 * r[KernelSpacingWord]), 0);
    x[0] = Q23One / 2;
    const StageRun run = runStage(r, x);
    // The centre holds the largest value. (The widest kernels are so flat on top that a
    // neighbour can round to the same value.)
    const std::size_t centre = static_cast<std::size_t>(27 * r[KernelSpacingWord] - 1);
    EXPECT_EQ(run.low[0][centre], *std::max_element(run.low[0].begin(), run.low[0].end())) << i;
    const std::size_t previousKnot = centre - static_cast<std::size_t>(r[KernelSpacingWord]);
    EXPECT_GT(run.low[0][centre], run.low[0][previousKnot]) << i;
  }
  // 44.1 kHz, 24 dB/oct, 800 Hz: the peak is what the magnitude response implies.
  const KernelRecord& r = record(kernelRecordIndex(1, 3, 6));
  std::vector<int32_t> x(300, 0);
  x[0] = Q23One / 2;
  const StageRun run = runStage(r, x);
  EXPECT_EQ(run.low[0][107], *std::max_element(run.low[0].begin(), run.low[0].end()));
  const double implied =
      kernelgen::impliedCentreValue(kernelgen::effectiveImpulseResponse(r), 44100.0) * (Q23One / 2);
  EXPECT_NEAR(run.low[0][107], implied, 0.03 * implied);
}

TEST(FirStage, ConstantInputSettlesToTheInput) {
  for (int32_t i = 0; i < KernelRecordCount; ++i) {
    const KernelRecord& r = record(i);
    const std::size_t settled = static_cast<std::size_t>(54 * r[KernelSpacingWord]);
    // Within a few units: 4, or one unit of the second integrator's top word where that is
    // coarser (2^(1 + s) G, only for the plain-delay records, whose scale exponent is 2).
    const double tolerance = std::max(4.0, std::ldexp(1.0, 1 + r[KernelScaleWord]));
    for (int32_t level : {1000000, Q23One, -Q23One, 1}) {
      const StageRun run = runStage(r, std::vector<int32_t>(settled + 32, level));
      for (std::size_t n = settled; n < settled + 32; ++n) {
        ASSERT_NEAR(run.low[0][n], level, tolerance) << i << " " << level;
        ASSERT_NEAR(run.high[0][n], 0, tolerance) << i << " " << level;
      }
    }
  }
}

// Any split of a block into passes, and the per-sample step, give the same outputs and state.
TEST(FirStage, BlockSplitInvariance) {
  constexpr std::size_t Frames = 10000;  // more than one trip round the rings
  const std::vector<int32_t> left = randomFullScale(Frames, 7);
  const std::vector<int32_t> right = randomFullScale(Frames, 8);
  for (int32_t index :
       {kernelRecordIndex(1, 3, 0), kernelRecordIndex(3, 0, 4), kernelRecordIndex(2, 1, 12),
        kernelRecordIndex(8, 3, 0)}) {
    const KernelRecord& r = record(index);
    std::vector<int32_t> out[2][4];  // [way][low L, low R, high L, high R]
    std::unique_ptr<FirStage> stages[2] = {std::make_unique<FirStage>(),
                                           std::make_unique<FirStage>()};
    // Way 0: the per-sample step, as the definition.
    stages[0]->load(r);
    for (auto& v : out[0]) v.resize(Frames);
    for (std::size_t n = 0; n < Frames; ++n) {
      const FirOutput a = stages[0]->step(0, left[n]);
      const FirOutput b = stages[0]->step(1, right[n]);
      stages[0]->advance();
      out[0][0][n] = a.low;
      out[0][1][n] = b.low;
      out[0][2][n] = a.high;
      out[0][3][n] = b.high;
    }
    // Way 1: passes over random splits, empty ones included.
    stages[1]->load(r);
    for (auto& v : out[1]) v.resize(Frames);
    std::mt19937 rng(static_cast<uint32_t>(index));
    std::size_t at = 0;
    while (at < Frames) {
      const std::size_t n = std::min<std::size_t>(Frames - at, rng() % 700);
      FirPassBuffers b{};
      b.input = {left.data() + at, right.data() + at};
      b.low = {out[1][0].data() + at, out[1][1].data() + at};
      b.high = {out[1][2].data() + at, out[1][3].data() + at};
      stages[1]->runPass(b, static_cast<int32_t>(n));
      at += n;
    }
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(out[0][k], out[1][k]) << index << " " << k;
    EXPECT_EQ(stages[0]->writePos, stages[1]->writePos);
    EXPECT_EQ(stages[0]->integ1, stages[1]->integ1);
    EXPECT_EQ(stages[0]->integ2, stages[1]->integ2);
    EXPECT_EQ(stages[0]->history, stages[1]->history);
  }
}

// Two instances constructed at once on two threads make the process-wide tables and convert the
// kernel set exactly once; a later construction changes nothing. (CTest runs every test in its
// own process, so here the two threads are the first callers.)
TEST(CrossoverKernels, ProcessTablesAreMadeOnceUnderConcurrentConstruction) {
  const CrossoverKernelSet* kernels[2] = {nullptr, nullptr};
  const LookupTables* tables[2] = {nullptr, nullptr};
  auto construct = [&](int32_t k) {
    tables[k] = &lookupTables();
    kernels[k] = &crossoverKernels();
  };
  std::thread a(construct, 0);
  std::thread b(construct, 1);
  a.join();
  b.join();
  EXPECT_EQ(kernels[0], kernels[1]);
  EXPECT_EQ(tables[0], tables[1]);
  EXPECT_EQ(kernelConversionCount(), 1);
  EXPECT_EQ(tables[0]->log2Table[16384], -8388608);
  const int32_t storedGain = StoredCrossoverKernels[KernelHeaderLength + KernelGainWord];
  EXPECT_EQ(kernels[0]->records[0][KernelGainWord], storedGain * 256);
  construct(0);
  EXPECT_EQ(kernelConversionCount(), 1);
  EXPECT_EQ(kernels[0]->records[0][KernelGainWord], storedGain * 256);
}

}  // namespace
}  // namespace kestrane
