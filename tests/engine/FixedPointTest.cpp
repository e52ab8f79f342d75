// The fixed-point multiplications and the process-wide level and gain tables.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/FixedPoint.h"
#include "engine/LookupTables.h"

namespace kestrane {
namespace {

TEST(FixedPoint, ProductsKeepTheirSliceAndRoundTowardsMinusInfinity) {
  EXPECT_EQ(mulQ23(Q23One, Q23One), Q23One);
  EXPECT_EQ(mulQ23(Q23One / 2, Q23One / 2), Q23One / 4);
  EXPECT_EQ(mulQ23(1, 1), 0);
  EXPECT_EQ(mulQ23(-1, 1), -1);  // floor, not truncation towards zero
  EXPECT_EQ(mulQ23(-3, Q23One / 2), -2);
  EXPECT_EQ(mulQ31(-1, 1), -1);
  EXPECT_EQ(mulQ31(1 << 30, 1 << 30), 1 << 29);
  EXPECT_EQ(mulQ28(3, 1 << 27), 1);
  EXPECT_EQ(mulQ28(-3, 1 << 27), -2);
  // Bits above the slice are discarded, not saturated: 2^31 * 2^23 >> 23 wraps to INT32_MIN.
  EXPECT_EQ(mulQ23(INT32_MIN, Q23One), INT32_MIN);
  EXPECT_EQ(mulQ23(INT32_MAX, 2 * Q23One), -2);
  EXPECT_EQ(wrapAdd(INT32_MAX, 1), INT32_MIN);
  EXPECT_EQ(wrapSub(INT32_MIN, 1), INT32_MAX);
  EXPECT_EQ(wrapAdd64(INT64_MAX, 1), INT64_MIN);
}

TEST(LookupTables, TellingRows) {
  const LookupTables& t = lookupTables();
  EXPECT_EQ(t.log2Table[0], -125829120);
  EXPECT_EQ(t.log2Table[1], -125829120);
  EXPECT_EQ(t.log2Table[2], -117440512);
  EXPECT_EQ(t.log2Table[16384], -8388608);
  EXPECT_EQ(t.log2Table[32767], -369);
  EXPECT_EQ(t.log2Table[32768], 0);
  EXPECT_EQ(t.exp2FracTable[0], 16777216);
  EXPECT_EQ(t.exp2FracTable[1], 16776861);
  EXPECT_EQ(t.exp2FracTable[16384], 11863283);
  EXPECT_EQ(t.exp2FracTable[32767], 8388785);
  EXPECT_EQ(t.octaveShiftTable[0], 1073741823);
  EXPECT_EQ(t.octaveShiftTable[1], 536870911);
  EXPECT_EQ(t.octaveShiftTable[22], 255);
  EXPECT_EQ(t.octaveShiftTable[28], 3);
  EXPECT_EQ(t.octaveShiftTable[29], 1);
  EXPECT_EQ(t.octaveShiftTable[30], 0);
  EXPECT_EQ(t.octaveShiftTable[511], 0);
  EXPECT_EQ(KernelScaleTable[0], 2097152);                         // s = -8
  EXPECT_EQ(KernelScaleTable[KernelScaleOffset + 1], 1073741824);  // s = 1
  EXPECT_EQ(KernelScaleTable[KernelScaleOffset + 2], 2147483647);  // s = 2
}

TEST(LookupTables, TablesFollowTheirDoubleModels) {
  const LookupTables& t = lookupTables();
  for (int32_t i = 2; i < Log2TableSize; ++i) {
    const double model = std::log2(i / 32768.0) * 8388608.0;
    ASSERT_NEAR(t.log2Table[static_cast<std::size_t>(i)], model, 1.5) << i;
    ASSERT_LT(t.log2Table[static_cast<std::size_t>(i - 1)],
              t.log2Table[static_cast<std::size_t>(i)]);
  }
  for (int32_t i = 0; i < Exp2FracTableSize; ++i) {
    const double model = std::exp2(1.0 - i / 32768.0) * 8388608.0;
    ASSERT_NEAR(t.exp2FracTable[static_cast<std::size_t>(i)], model, 0.5) << i;
  }
}

TEST(LookupTables, GainFromReductionAcrossItsRange) {
  const LookupTables& t = lookupTables();
  // The table product lands one unit under the nominal 2^-t at whole octaves.
  EXPECT_EQ(t.gainFromReduction(0), 8388607);
  EXPECT_EQ(t.gainFromReduction(Log2Q23Octave), 4194303);
  // Q23 resolves 2^-22 (two units) but nothing from 23 octaves down; 30 octaves and more take
  // the explicit mute branch.
  EXPECT_EQ(t.gainFromReduction(int64_t{22} * Log2Q23Octave), 1);
  EXPECT_EQ(t.gainFromReduction(int64_t{23} * Log2Q23Octave), 0);
  EXPECT_EQ(t.gainFromReduction(int64_t{30} * Log2Q23Octave - 1), 0);
  EXPECT_EQ(t.gainFromReduction(int64_t{30} * Log2Q23Octave), 0);
  EXPECT_EQ(t.gainFromReduction(int64_t{1} << 40), 0);  // beyond the 32-bit range
  EXPECT_EQ(t.gainFromReduction(-Log2Q23Octave), t.gainFromReduction(0));  // no gain above unity
  // Everywhere within a few units of 2^-t with t taken to the table's 2^-15 octave steps, and
  // never rising as the reduction grows.
  int32_t previous = INT32_MAX;
  for (int64_t r = 0; r < int64_t{30} * Log2Q23Octave; r += 77777) {
    const int32_t g = t.gainFromReduction(r);
    const double model = std::exp2(-static_cast<double>((r >> 8) << 8) / Log2Q23Octave) * Q23One;
    ASSERT_NEAR(g, model, 2.0) << r;
    ASSERT_LE(g, previous) << r;
    previous = g;
  }
}

TEST(LookupTables, LevelToLogEdges) {
  const LookupTables& t = lookupTables();
  EXPECT_EQ(t.toLog2Q23(Q23One), 0);
  EXPECT_EQ(t.toLog2Q23(0), Log2Q23Floor);
  EXPECT_EQ(t.toLog2Q23(255), Log2Q23Floor);
  EXPECT_EQ(t.toLog2Q23(Q23One + 1), 0);  // above full scale counts as full scale
  EXPECT_EQ(t.toLog2Q23(INT32_MAX), 0);
  EXPECT_EQ(t.toLog2Q23(-1), 0);
  EXPECT_EQ(t.toLog2Q23(INT32_MIN), 0);
  EXPECT_EQ(t.toLog2Q23(Q23One / 2), -Log2Q23Octave);
}

}  // namespace
}  // namespace kestrane
