#include "engine/LookupTables.h"

#include <cmath>
#include <mutex>

namespace kestrane {
namespace {

void buildTables(LookupTables& t) {
  // log2(i / 32768) in Q23, biased down by half a unit before truncation towards zero.
  t.log2Table[0] = Log2Q23Floor;
  for (int32_t i = 1; i < Log2TableSize; ++i) {
    const double v = std::log2(i / 32768.0) * 8388608.0 - 0.5;
    t.log2Table[static_cast<std::size_t>(i)] = static_cast<int32_t>(v);
  }
  t.log2Table[1] = Log2Q23Floor;

  // 2^(1 - i / 32768) in Q23, rounded; the exponent is accumulated step by step (each step is
  // exactly 2^-15, so the sum is exact in double).
  double exponent = 1.0;
  for (int32_t i = 0; i < Exp2FracTableSize; ++i) {
    t.exp2FracTable[static_cast<std::size_t>(i)] =
        static_cast<int32_t>(std::pow(2.0, exponent) * 8388608.0 + 0.5);
    exponent -= 1.0 / 32768.0;
  }

  // (2^31 - 1) >> (i + 1): the whole-octave factor in Q31, 0 once every bit is shifted out.
  for (int32_t i = 0; i < OctaveShiftTableSize; ++i) {
    t.octaveShiftTable[static_cast<std::size_t>(i)] = i < 30 ? (INT32_C(2147483647) >> (i + 1)) : 0;
  }
}

// Zero-initialised static storage (no load-time cost), filled exactly once.
LookupTables tableStorage;
std::once_flag tablesBuilt;

}  // namespace

const LookupTables& lookupTables() {
  std::call_once(tablesBuilt, [] { buildTables(tableStorage); });
  return tableStorage;
}

}  // namespace kestrane
