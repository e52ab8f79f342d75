// One linear-phase crossover split: a sparse 55-tap kernel followed by a double integrator.
//
// The kernel's taps are the second difference, at distance L (`spacing`), of a 53-tap model
// filter; the double integrator turns the sparse filter back into that model filter linearly
// interpolated over L samples: a finite, symmetric low-pass impulse response 54 * L - 1 samples
// long whose centre lies `delay` = 27 * L - 1 samples after the input. The high output is the
// input delayed by `delay` minus the low output, so low + high is exactly the delayed input.
//
// Units: every sample in and out is Q23 (int32). Threads: load() and clear() run where the
// kernels are selected (the processor's coefficient update); runPass(), step() and advance() run
// on the audio thread. The two must not overlap on one stage; the stage itself has no lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/CrossoverKernels.h"

namespace kestrane {

inline constexpr int32_t FirHistoryLength = 4096;  // power of two, > 54 * 72 = 3888
inline constexpr int32_t FirHistoryMask = FirHistoryLength - 1;

// One sample's two outputs, Q23.
struct FirOutput {
  int32_t low;
  int32_t high;
};

// The buffers of one pass of a stage over a block: per channel (0 = left, 1 = right) an input
// array and the low and high output arrays, each `frames` int32 long. The outputs must not
// overlap the inputs.
struct FirPassBuffers {
  std::array<const int32_t*, 2> input;
  std::array<int32_t*, 2> low;
  std::array<int32_t*, 2> high;
};

struct FirStage {
  // The converted record in use (crossoverKernels().records[...]).
  KernelRecord kernel{};
  // Input history, left and right, indexed by writePos - j * spacing (mod 4096).
  std::array<std::array<int32_t, FirHistoryLength>, 2> history{};
  int32_t spacing = 1;   // L: samples between taps
  int32_t gain = 0;      // G: output gain, Q31
  int32_t delay = 0;     // 27 * L - 1: group delay in samples
  int32_t scale = 0;     // KernelScaleTable[scale exponent]: 2^(29 + s)
  int32_t writePos = 0;  // ring position of the current sample, shared by both channels
  // The double integrator per channel; two's-complement 64-bit sums.
  std::array<int64_t, 2> integ1{};
  std::array<int64_t, 2> integ2{};

  // Copies a converted record (crossoverKernels().records[...]), derives spacing, gain, scale
  // and delay from it and clears the state. Not for the audio thread's time budget: it clears
  // 32 kB.
  void load(const KernelRecord& record) noexcept;

  // Zeroes the history rings, both integrators of both channels and the write position.
  void clear() noexcept;

  // One filter over a block of one channel pair: input[c][i] in, low[c][i] and high[c][i] out for
  // i < frames, exactly as `frames` calls of step(0, ...), step(1, ...), advance() would give.
  // This is the entry the block processing calls, once per stage and block.
  void runPass(const FirPassBuffers& buffers, int32_t frames) noexcept;

  // The plain scalar pass that defines runPass()'s result bit for bit. A faster runPass()
  // (vectorised, mirrored history, folded symmetric taps) must give exactly these outputs and
  // leave exactly this state.
  void runPassReference(const FirPassBuffers& buffers, int32_t frames) noexcept;

  // One sample x (Q23) of channel c (0 or 1) at the current write position. The caller runs it
  // for the left and then the right channel and then calls advance().
  FirOutput step(int32_t channel, int32_t x) noexcept;

  // Moves the write position on by one sample (mod 4096).
  void advance() noexcept { writePos = (writePos + 1) & FirHistoryMask; }
};

}  // namespace kestrane
