// Every block size from 1 to 4096 through the fast FIR passes, against the definition.
//
// The definition runs once over a stream, one sample at a time, keeping its state at every
// 64th sample and its outputs and integrators at every sample; each block size then starts a
// fast pass from one of those states and must land on the definition's outputs and state.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "FirFastPathSupport.h"

namespace kestrane {
namespace {

constexpr int32_t kLargestBlock = 4096;
constexpr int32_t kStream = 2 * kLargestBlock;
constexpr int32_t kSnapshotEvery = 64;

struct ChannelState {
  int64_t integ1, integ2;
  int32_t calmRun;
  bool operator==(const ChannelState& o) const {
    return integ1 == o.integ1 && integ2 == o.integ2 && calmRun == o.calmRun;
  }
};

ChannelState channelState(const FirStage& s, std::size_t c) {
  return {s.integ1[c], s.integ2[c], s.calmRun[c]};
}

TEST(FirFastPathSweep, EveryBlockSizeFrom1To4096) {
  // The widest and the narrowest spacing, and the one of the first split at 44.1 kHz.
  for (int32_t index : {kernelRecordIndex(3, 0, 0), kernelRecordIndex(1, 1, 4),
                        kernelRecordIndex(1, 3, 12)}) {
    std::mt19937 rng(static_cast<uint32_t>(index));
    auto reference = std::make_unique<FirStage>();
    reference->load(crossoverKernels().records[static_cast<std::size_t>(index)]);
    test::randomState(*reference, rng, false);
    const std::vector<int32_t> input = test::firInput(kStream, rng, true);
    std::vector<int32_t> right(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) right[i] = ~input[i];

    std::vector<std::unique_ptr<FirStage>> snapshots;
    std::vector<int32_t> expected[4];  // low L, low R, high L, high R
    for (auto& v : expected) v.resize(input.size());
    std::vector<ChannelState> after[2];  // the state after sample i, per channel
    for (std::size_t i = 0; i < input.size(); ++i) {
      if (i % kSnapshotEvery == 0) snapshots.push_back(std::make_unique<FirStage>(*reference));
      FirPassBuffers b{{input.data() + i, right.data() + i},
                       {expected[0].data() + i, expected[1].data() + i},
                       {expected[2].data() + i, expected[3].data() + i}};
      reference->runPassReference(b, 1);
      for (std::size_t c = 0; c < 2; ++c) after[c].push_back(channelState(*reference, c));
    }

    for (SimdLevel level : test::levelsHere()) {
      SCOPED_TRACE(test::describe(level, index));
      auto fast = std::make_unique<FirStage>();
      std::vector<int32_t> out[4];
      for (auto& v : out) v.resize(kLargestBlock);
      for (int32_t size = 1; size <= kLargestBlock; ++size) {
        const int32_t starts = (kStream - size) / kSnapshotEvery + 1;
        const int32_t start = kSnapshotEvery * ((size * 37) % starts);
        *fast = *snapshots[static_cast<std::size_t>(start / kSnapshotEvery)];
        fast->simd = level;
        const std::size_t at = static_cast<std::size_t>(start);
        FirPassBuffers b{{input.data() + at, right.data() + at},
                         {out[0].data(), out[1].data()},
                         {out[2].data(), out[3].data()}};
        fast->runPass(b, size);
        for (std::size_t k = 0; k < 4; ++k) {
          ASSERT_TRUE(
              std::equal(out[k].begin(), out[k].begin() + size, expected[k].begin() + start))
              << "block of " << size << " from sample " << start << ", output " << k;
        }
        const std::size_t last = at + static_cast<std::size_t>(size) - 1;
        for (std::size_t c = 0; c < 2; ++c) {
          ASSERT_TRUE(channelState(*fast, c) == after[c][last]) << "block of " << size;
        }
        ASSERT_EQ(fast->writePos, (snapshots[0]->writePos + start + size) & FirHistoryMask);
      }
    }
  }
}

}  // namespace
}  // namespace kestrane
