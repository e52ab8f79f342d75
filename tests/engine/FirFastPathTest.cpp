// The fast FIR passes against their definition, FirStage::runPassReference: outputs and state
// bit for bit, on every instruction-set level this processor runs, for every kernel, many block
// sizes and random splits, with calm input (folded taps) and restless input (plain taps).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FirFastPathSupport.h"

namespace kestrane {
namespace {

using test::FirRun;

// Block sizes around every boundary of the passes: steps of 4 and 8, the chunk limit of 256
// (and 208, where a shorter history once limited the chunks), the engine's stretch of 512.
constexpr int32_t kBlockSizes[] = {1,   2,   3,   4,   5,   7,   8,   9,   15,  16,  17,  31,  33,
                                   63,  64,  65,  127, 128, 129, 207, 208, 209, 255, 256, 257, 300,
                                   511, 512, 513, 777, 1024, 1500};

TEST(FirFastPath, EveryKernelEveryLevelMatchesTheDefinition) {
  for (SimdLevel level : test::levelsHere()) {
    for (int32_t index = 0; index < KernelRecordCount; ++index) {
      SCOPED_TRACE(test::describe(level, index));
      std::mt19937 rng(static_cast<uint32_t>(index * 7 + static_cast<int32_t>(level)));
      // A third of the kernels start from a history with restless samples in it, a third get
      // restless bursts in their input, the rest stay calm throughout.
      FirRun run(index, level, rng, index % 3 == 0);
      const std::vector<int32_t> input = test::firInput(3000, rng, index % 3 == 1);
      std::size_t at = 0;
      for (int32_t k = 0; at < input.size(); ++k) {
        const std::size_t pick = static_cast<std::size_t>(index + k) % std::size(kBlockSizes);
        const int32_t size = kBlockSizes[pick];
        const int32_t n = static_cast<int32_t>(std::min<std::size_t>(size, input.size() - at));
        ASSERT_TRUE(run.pass(input, at, n)) << "pass of " << n << " at " << at;
        at += static_cast<std::size_t>(n);
      }
      ASSERT_TRUE(run.sameState());
    }
  }
}

TEST(FirFastPath, RandomSplitsOfLongStreams) {
  for (SimdLevel level : test::levelsHere()) {
    for (int32_t index : {kernelRecordIndex(3, 0, 0), kernelRecordIndex(1, 1, 4),
                          kernelRecordIndex(1, 3, 12), kernelRecordIndex(0, 2, 7),
                          kernelRecordIndex(8, 3, 0), kernelRecordIndex(7, 1, 1)}) {
      SCOPED_TRACE(test::describe(level, index));
      std::mt19937 rng(static_cast<uint32_t>(index));
      FirRun run(index, level, rng, false);
      const std::vector<int32_t> input = test::firInput(20000, rng, true);
      for (std::size_t at = 0; at < input.size();) {
        const int32_t n = static_cast<int32_t>(
            std::min<std::size_t>(rng() % 700, input.size() - at));  // empty passes too
        ASSERT_TRUE(run.pass(input, at, n)) << "pass of " << n << " at " << at;
        at += static_cast<std::size_t>(n);
      }
      ASSERT_TRUE(run.sameState());
    }
  }
}

// A chunk folds only while its whole reach is calm: one restless sample in the reach, however
// far back, must switch it to the plain sums (a wrongly folded pair would wrap). `distance`
// calm samples follow the restless one before the second pass.
TEST(FirFastPath, OneRestlessSampleAtTheEdgeOfTheReach) {
  for (SimdLevel level : test::levelsHere()) {
    for (int32_t index :
         {kernelRecordIndex(3, 0, 0), kernelRecordIndex(1, 3, 12), kernelRecordIndex(8, 0, 0)}) {
      const int32_t reach = (KernelTaps - 1) * crossoverKernels().records[index][KernelSpacingWord];
      for (int32_t distance : {0, 1, reach - 1, reach, reach + 1}) {
        for (int32_t value : {INT32_MIN, FirCalmLimit, -FirCalmLimit - 1, INT32_MAX}) {
          SCOPED_TRACE(test::describe(level, index) + " distance " + std::to_string(distance) +
                       " value " + std::to_string(value));
          std::mt19937 rng(static_cast<uint32_t>(distance));
          FirRun run(index, level, rng, false);
          // Calm samples at the calm limit with the restless one's sign, so that a wrongly
          // folded pair would wrap.
          const int32_t calm = value < 0 ? -FirCalmLimit : FirCalmLimit - 1;
          std::vector<int32_t> input(static_cast<std::size_t>(distance + 81), calm);
          input[40] = value;
          const std::size_t first = static_cast<std::size_t>(41 + distance);
          ASSERT_TRUE(run.pass(input, 0, static_cast<int32_t>(first)));
          ASSERT_TRUE(run.pass(input, first, 40));
          ASSERT_TRUE(run.sameState());
        }
      }
    }
  }
}

TEST(FirFastPath, AnUnsupportedLevelFallsBackToPortable) {
  RecordProperty("detected", detectedSimdLevel() == SimdLevel::Avx2 ? "avx2" : "portable");
  std::printf("this processor runs the %s paths\n",
              detectedSimdLevel() == SimdLevel::Avx2 ? "AVX2" : "portable");
  EXPECT_TRUE(simdLevelSupported(SimdLevel::Portable));
  EXPECT_EQ(usableSimdLevel(SimdLevel::Portable), SimdLevel::Portable);
  EXPECT_EQ(usableSimdLevel(SimdLevel::Avx2), detectedSimdLevel());
  EXPECT_EQ(FirStage{}.simd, detectedSimdLevel());
}

}  // namespace
}  // namespace kestrane
