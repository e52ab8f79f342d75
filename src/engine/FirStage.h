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
#include "engine/SimdLevel.h"

namespace kestrane {

// Power of two, longer than the reach of the widest kernel (54 * 144 = 7776 samples at 176.4 and
// 192 kHz); the crossover tests check every record against it.
inline constexpr int32_t FirHistoryLength = 8192;
inline constexpr int32_t FirHistoryMask = FirHistoryLength - 1;
// Each channel's ring is stored twice in a row: slot i at i and again at i + FirHistoryLength.
// The taps of any output, and the outputs of any short run, then read one contiguous piece of
// memory however the ring wraps.
inline constexpr int32_t FirMirroredLength = 2 * FirHistoryLength;
// Samples of magnitude below this (-2^30 <= x < 2^30) are "calm": two of them add up in 32
// bits without wrapping, which lets the symmetric taps be folded (see runPass).
inline constexpr int32_t FirCalmLimit = INT32_C(1) << 30;

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
  // Input history, left and right, indexed by writePos - j * spacing (mod FirHistoryLength);
  // mirrored: history[c][i] == history[c][i + FirHistoryLength] for every slot i.
  std::array<std::array<int32_t, FirMirroredLength>, 2> history{};
  int32_t spacing = 1;   // L: samples between taps
  int32_t gain = 0;      // G: output gain, Q31
  int32_t delay = 0;     // 27 * L - 1: group delay in samples
  int32_t scale = 0;     // KernelScaleTable[scale exponent]: 2^(29 + s)
  int32_t writePos = 0;  // ring position of the current sample, shared by both channels
  // The double integrator per channel; two's-complement 64-bit sums.
  std::array<int64_t, 2> integ1{};
  std::array<int64_t, 2> integ2{};
  // Per channel, how many of the newest samples in a row are calm (up to FirHistoryLength). Kept
  // by every writer of the history; the fast passes fold the taps only while the whole tap
  // span is calm.
  std::array<int32_t, 2> calmRun{FirHistoryLength, FirHistoryLength};
  // The instruction set runPass() uses; the processor's best when the stage is built. May be
  // set to any level simdLevelSupported() allows (tests compare the levels).
  SimdLevel simd = detectedSimdLevel();

  // Copies a converted record (crossoverKernels().records[...]), derives spacing, gain, scale
  // and delay from it and clears the state. Not for the audio thread's time budget: it clears
  // 128 kB.
  void load(const KernelRecord& record) noexcept;

  // Zeroes the history rings, both integrators of both channels and the write position.
  void clear() noexcept;

  // Stores x (Q23) as channel c's sample at ring slot `slot`, in both copies of the mirrored
  // ring, and counts it into calmRun. Every writer of the history goes through here or keeps
  // the same two invariants.
  void store(int32_t channel, int32_t slot, int32_t x) noexcept;

  // One filter over a block of one channel pair: input[c][i] in, low[c][i] and high[c][i] out for
  // i < frames, exactly as `frames` calls of step(0, ...), step(1, ...), advance() would give.
  // This is the entry the block processing calls, once per stage and block.
  //
  // How it is fast and still exact: the block runs in chunks; a chunk's inputs are stored
  // first, then its tap sums are formed from contiguous (mirrored) history, with the taps'
  // symmetry folded in where that stays exact, then the double integrator and the outputs
  // follow as running sums. Every sum is taken modulo 2^64 like the reference's, and sums
  // modulo 2^64 do not depend on the order of their terms, so the bits are the reference's.
  void runPass(const FirPassBuffers& buffers, int32_t frames) noexcept;

  // The plain scalar pass that defines runPass()'s result bit for bit. A faster runPass()
  // (vectorised, mirrored history, folded symmetric taps) must give exactly these outputs and
  // leave exactly this state.
  void runPassReference(const FirPassBuffers& buffers, int32_t frames) noexcept;

  // One sample x (Q23) of channel c (0 or 1) at the current write position. The caller runs it
  // for the left and then the right channel and then calls advance().
  FirOutput step(int32_t channel, int32_t x) noexcept;

  // Moves the write position on by one sample (mod FirHistoryLength).
  void advance() noexcept { writePos = (writePos + 1) & FirHistoryMask; }
};

}  // namespace kestrane
