// Which instruction set the audio path's inner loops run on.
//
// Every fast path gives exactly the bits of the plain scalar definitions (FirStage::
// runPassReference, runBandPathReference); the level only decides how fast they come. The
// shipped 32-bit library must run on any processor with SSE2, so the wider paths are compiled
// for their instruction set function by function and chosen at run time: an engine or stage
// takes its level when it is built, never per sample.
#pragma once

#include <cstdint>

namespace kestrane {

enum class SimdLevel : int32_t {
  Portable,  // plain C++: the folded, mirrored loops, any processor
  Avx2,      // 256-bit integer vectors (Intel Haswell, AMD Excavator and later)
};

// The widest level this processor and operating system can run; detected once per process
// (thread-safe), then a plain load. Any thread.
SimdLevel detectedSimdLevel() noexcept;

// Whether `level` can run here: Portable always, Avx2 when detectedSimdLevel() is Avx2.
bool simdLevelSupported(SimdLevel level) noexcept;

// The level to use when asked for `wanted`: `wanted` if it can run here, else Portable.
SimdLevel usableSimdLevel(SimdLevel wanted) noexcept;

}  // namespace kestrane
