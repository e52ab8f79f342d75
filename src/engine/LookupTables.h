// The process-wide lookup tables of the gain computer and the crossover.
//
// The three computed tables are built once per process, on the first call of lookupTables()
// (the processor's constructor makes that call), under std::call_once, so instances constructed
// on two threads at the same time share one build. They are read-only afterwards and may be read
// from any thread, the audio thread included.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/FixedPoint.h"

namespace kestrane {

inline constexpr int32_t Log2TableSize = 32769;       // indices 0..32768: Q23 magnitude >> 8
inline constexpr int32_t Exp2FracTableSize = 32768;   // fractional octave, 15 bits
inline constexpr int32_t OctaveShiftTableSize = 512;  // whole octaves

// A reduction of 30 octaves or more (in log2 Q23) mutes completely.
inline constexpr int64_t MuteReduction = int64_t{30} * Log2Q23Octave;

// A crossover kernel's scale factor by its scale exponent s = -8..2: 2^(29 + s), except that
// s = 2 gives 2^31 - 1, the largest int32. Index with s + KernelScaleOffset.
inline constexpr int32_t KernelScaleOffset = 8;
inline constexpr std::array<int32_t, 11> KernelScaleTable = {
    2097152,   4194304,   8388608,   16777216,   33554432,  67108864,
    134217728, 268435456, 536870912, 1073741824, 2147483647};

struct LookupTables {
  // Log2Table: entry i >= 1 is trunc(log2(i / 32768) * 8388608 - 0.5), the log2 Q23 level of the
  // Q23 magnitude i * 256; entries 0 and 1 are the floor, -125829120.
  std::array<int32_t, Log2TableSize> log2Table;
  // Exp2FracTable: entry i is round(2^(1 - i / 32768) * 8388608), 2^(1 - fraction) in Q23.
  std::array<int32_t, Exp2FracTableSize> exp2FracTable;
  // OctaveShiftTable: entry i is (2^31 - 1) >> (i + 1), 2^-(i + 1) in Q31; 0 from i = 30 on.
  std::array<int32_t, OctaveShiftTableSize> octaveShiftTable;

  // 2^-t in Q23 for a non-negative reduction t in log2 Q23 (t may exceed the 32-bit range):
  // the fractional octave through Exp2FracTable times the whole octaves through
  // OctaveShiftTable. 0 from 30 octaves on. Note that the table product lands one unit below
  // the nominal value at whole octaves: t = 0 gives 8388607, one octave 4194303. A negative t
  // (a gain above unity, which no caller asks for) is treated as 0.
  int32_t gainFromReduction(int64_t t) const noexcept {
    if (t >= MuteReduction) return 0;
    if (t < 0) t = 0;
    return mulQ31(exp2FracTable[static_cast<std::size_t>((t >> 8) & (Exp2FracTableSize - 1))],
                  octaveShiftTable[static_cast<std::size_t>(t >> 23)]);
  }

  // The log2 Q23 level of a Q23 magnitude 0..8388608; anything outside that range (negative, or
  // above full scale) counts as full scale and gives 0.
  int32_t toLog2Q23(int32_t x) const noexcept {
    if (x < 0 || x > Q23One) return 0;
    return log2Table[static_cast<std::size_t>(x >> 8)];
  }
};

// The process-wide tables, built on the first call (thread-safe), read-only afterwards.
const LookupTables& lookupTables();

}  // namespace kestrane
