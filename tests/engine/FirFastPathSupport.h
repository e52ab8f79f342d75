// Helpers of the FIR fast-path tests: the levels to test, random stage states and inputs, and a
// pair of stages (definition and fast pass) driven through the same passes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/CrossoverKernels.h"
#include "engine/FirStage.h"
#include "SimdLevelsHere.h"
#include "engine/SimdLevel.h"

namespace kestrane::test {

inline std::string describe(SimdLevel level, int32_t kernel) {
  return std::string(levelName(level)) + " kernel " + std::to_string(kernel);
}

// A sample of program-like level (up to 4x full scale), or now and then, when `restless`, one
// anywhere in the int32 range (beyond the calm limit most of the time).
inline int32_t firSample(std::mt19937& rng, bool restless) {
  if (restless && rng() % 64 == 0) return static_cast<int32_t>(rng());
  return static_cast<int32_t>(rng() % (8u << 23)) - (4 << 23);
}

inline std::vector<int32_t> firInput(std::size_t n, std::mt19937& rng, bool restless) {
  std::vector<int32_t> v(n);
  // Restless samples come in bursts between calm stretches, so both sums get their turn.
  for (std::size_t i = 0; i < n; ++i) v[i] = firSample(rng, restless && (i / 500) % 2 == 1);
  return v;
}

// Any state a stage can be in: a random mirrored history, position and integrators, and the
// calm count that the history implies.
inline void randomState(FirStage& s, std::mt19937& rng, bool restless) {
  for (std::size_t c = 0; c < 2; ++c) {
    for (int32_t slot = 0; slot < FirHistoryLength; ++slot) {
      const int32_t v = firSample(rng, restless);
      s.history[c][static_cast<std::size_t>(slot)] = v;
      s.history[c][static_cast<std::size_t>(slot + FirHistoryLength)] = v;
    }
    s.integ1[c] = static_cast<int64_t>((uint64_t{rng()} << 32) | rng());
    s.integ2[c] = static_cast<int64_t>((uint64_t{rng()} << 32) | rng());
  }
  s.writePos = static_cast<int32_t>(rng() % FirHistoryLength);
  for (std::size_t c = 0; c < 2; ++c) {
    int32_t run = 0;
    while (run < FirHistoryLength) {
      const int32_t slot = (s.writePos - 1 - run) & FirHistoryMask;
      const int32_t x = s.history[c][static_cast<std::size_t>(slot)];
      if (x < -FirCalmLimit || x >= FirCalmLimit) break;
      ++run;
    }
    s.calmRun[c] = run;
  }
}

inline bool sameStageState(const FirStage& a, const FirStage& b) {
  return a.writePos == b.writePos && a.integ1 == b.integ1 && a.integ2 == b.integ2 &&
         a.calmRun == b.calmRun && a.history == b.history;
}

// The definition and a fast pass of one kernel from one random state, side by side.
class FirRun {
 public:
  FirRun(int32_t kernel, SimdLevel level, std::mt19937& rng, bool restlessHistory)
      : reference_(std::make_unique<FirStage>()) {
    reference_->load(crossoverKernels().records[static_cast<std::size_t>(kernel)]);
    randomState(*reference_, rng, restlessHistory);
    fast_ = std::make_unique<FirStage>(*reference_);
    fast_->simd = level;
  }

  // input[at .. at + n) through both; true when the outputs agree.
  bool pass(const std::vector<int32_t>& input, std::size_t at, int32_t n) {
    const std::size_t size = static_cast<std::size_t>(std::max(n, 1));
    std::vector<int32_t> out[2][4];  // [stage][low L, low R, high L, high R]
    std::vector<int32_t> right(size);
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) right[i] = ~input[at + i];
    FirStage* stages[2] = {reference_.get(), fast_.get()};
    for (int32_t s = 0; s < 2; ++s) {
      for (auto& v : out[s]) v.assign(size, 0x5a5a5a5a);
      FirPassBuffers b{{input.data() + at, right.data()},
                       {out[s][0].data(), out[s][1].data()},
                       {out[s][2].data(), out[s][3].data()}};
      if (s == 0) {
        stages[s]->runPassReference(b, n);
      } else {
        stages[s]->runPass(b, n);
      }
    }
    for (std::size_t k = 0; k < 4; ++k) {
      if (out[0][k] != out[1][k]) return false;
    }
    return true;
  }

  bool sameState() const { return sameStageState(*reference_, *fast_); }
  FirStage& reference() { return *reference_; }
  FirStage& fast() { return *fast_; }

 private:
  std::unique_ptr<FirStage> reference_;
  std::unique_ptr<FirStage> fast_;
};

}  // namespace kestrane::test
