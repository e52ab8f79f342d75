// How the engine holds its numbers, and the few products its audio path is built from.
//
// Q23 reads a signed 32-bit integer as value / 2^23, so 8388608 (0x800000) stands for 1.0: a
// float sample at full scale becomes +-8388608, leaving room for 256 times that before the
// integer runs out. Samples, band signals, gains and smoother weights are all held this way.
// Levels are held as log2 Q23 instead, the distance from full scale in octaves times 2^23 (0 at
// full scale, -8388608 6.02 dB below), because in octaves a ratio is a plain multiplication.
//
// Nothing saturates: sums wrap as two's-complement hardware does, and each product is formed
// in 64 bits and one 32-bit slice of it kept. That keeps every result the same bits on every
// compiler and instruction set, which the vector paths and the golden tests rely on.
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
