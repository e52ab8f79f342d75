// The engine's number formats and the three multiplications everything on the audio path uses.
//
// Q23: a signed 32-bit integer with 23 fractional bits; 8388608 (0x800000) is 1.0 and full-scale
// audio is +-8388608. Samples, band signals, gains and one-pole coefficients are Q23.
// log2 Q23: a base-2 logarithm of a Q23 magnitude, itself held as Q23; 0 is full scale and
// -8388608 one octave (-6.02 dB) below it.
//
// There is no saturation anywhere: sums are two's-complement 32-bit sums and every product is a
// 32 x 32 -> 64-bit product from which one 32-bit slice is kept (bits above it are discarded).
// All functions here are pure and may run on any thread.
#pragma once

#include <cstdint>

namespace kestrane {

inline constexpr int32_t Q23One = 8388608;           // 1.0, full scale
inline constexpr int32_t Log2Q23Floor = -125829120;  // -15 octaves: the floor of the level table
inline constexpr int32_t Log2Q23Octave = 8388608;    // one octave (6.02 dB) in log2 Q23

// Bits 23..54 of a * b: Q23 x Q23 -> Q23, rounding towards minus infinity.
constexpr int32_t mulQ23(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 23);
}

// Bits 31..62 of a * b: x times a Q31 factor (crossover output gain, exponent-table products).
constexpr int32_t mulQ31(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 31);
}

// Bits 28..59 of a * b: the crossover's scale step.
constexpr int32_t mulQ28(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 28);
}

// Two's-complement 32-bit sum and difference: the signal path wraps instead of saturating, and
// doing it through unsigned arithmetic keeps the wrap defined behaviour.
constexpr int32_t wrapAdd(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t wrapSub(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Two's-complement 64-bit sum, for the crossover's integrators.
constexpr int64_t wrapAdd64(int64_t a, int64_t b) noexcept {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}

}  // namespace kestrane
