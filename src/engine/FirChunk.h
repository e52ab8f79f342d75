// The inner loops of FirStage::runPass: one chunk of one channel, in one version per
// instruction-set level. Internal to the engine; audio thread.
//
// A chunk's inputs are already in the mirrored history when its loops run. They then form, for
// each of its samples at ring slot p,
//   acc  = sum over j = 0..54 of tap[j] * h[p - j * L]        (modulo 2^64)
//   integ1 += acc;  integ2 += integ1                           (modulo 2^64)
//   low  = mulQ31(mulQ28(integ2 >> 32, scale), gain)
//   high = h[p - delay] - low                                  (modulo 2^32)
// exactly as FirStage::step() does.
#pragma once

#include <cstdint>

namespace kestrane {

// The most samples in one chunk: its tap sums wait in a buffer of this many 64-bit words.
inline constexpr int32_t FirChunkLimit = 256;

struct FirChunk {
  const int32_t* ring;  // the channel's mirrored history (FirMirroredLength words)
  int32_t first;        // ring slot of the chunk's first sample, 0..FirHistoryLength - 1
  int32_t frames;       // 1..FirChunkLimit; the chunk's taps never reach a slot it overwrote
  const int32_t* taps;  // the kernel's 55 taps
  int32_t spacing;      // L
  int32_t delay;        // 27 * L - 1
  int32_t scale;        // 2^(29 + s)
  int32_t gain;         // Q31
  // Every sample the chunk's taps reach is calm (FirCalmLimit), so the symmetric pairs
  // h[p - j L] + h[p - (54 - j) L] fit 32 bits and each pair needs one product.
  bool folded;
  int64_t* integ1;  // the channel's integrators, moved on by `frames` samples
  int64_t* integ2;
  int32_t* low;  // `frames` outputs each
  int32_t* high;
};

void runFirChunkPortable(const FirChunk& chunk) noexcept;

// Stores count samples at `at` and again FirHistoryLength further on (both copies of the
// mirrored ring); answers 1 if any of them is restless (outside the calm range), else 0.
uint32_t storeMirroredPortable(int32_t* at, const int32_t* x, int32_t count) noexcept;

// 256-bit version; call only where simdLevelSupported(SimdLevel::Avx2).
uint32_t storeMirroredAvx2(int32_t* at, const int32_t* x, int32_t count) noexcept;

// 256-bit version; call only where simdLevelSupported(SimdLevel::Avx2).
void runFirChunkAvx2(const FirChunk& chunk) noexcept;

}  // namespace kestrane
