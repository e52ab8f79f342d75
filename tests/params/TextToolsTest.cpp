#include "params/TextTools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace kestrane {
namespace {

template <typename Tool, typename... Args>
std::string textOf(Tool tool, Args... args) {
  char text[32];
  std::fill(std::begin(text), std::end(text), '#');
  tool(args..., text);
  return text;
}

TEST(Long2String, RightAlignsInSevenColumns) {
  EXPECT_EQ(textOf(long2string, 42), "     42");
  EXPECT_EQ(textOf(long2string, 0), "      0");
  EXPECT_EQ(textOf(long2string, -40), "    -40");
  EXPECT_EQ(textOf(long2string, 12500), "  12500");
}

TEST(Long2String, HugeFromOneHundredMillionAndCutToEightCharacters) {
  EXPECT_EQ(textOf(long2string, 100000000), " Huge!  ");
  EXPECT_EQ(textOf(long2string, std::numeric_limits<int32_t>::max()), " Huge!  ");
  EXPECT_EQ(textOf(long2string, 99999999), "99999999");
  EXPECT_EQ(textOf(long2string, std::numeric_limits<int32_t>::min()), "-2147483");
}

TEST(Tenths2String, OneDecimalWithTheSignOfTheWhole) {
  EXPECT_EQ(textOf(tenths2string, 0), "0.0");
  EXPECT_EQ(textOf(tenths2string, -5), "-0.5");  // the minus of a value above -1 is kept
  EXPECT_EQ(textOf(tenths2string, 125), "12.5");
  EXPECT_EQ(textOf(tenths2string, -250), "-25.0");
  EXPECT_EQ(textOf(tenths2string, -999999), "-99999.9");
  EXPECT_EQ(textOf(tenths2string, 1000000), " Huge!  ");
  EXPECT_EQ(textOf(tenths2string, std::numeric_limits<int32_t>::min()), " Huge!  ");
}

TEST(Float2String, FillsEightCharactersAroundThePoint) {
  EXPECT_EQ(textOf(float2string, 1.5f), "1.500000");
  EXPECT_EQ(textOf(float2string, -3.25f), "-3.25000");
  EXPECT_EQ(textOf(float2string, 2000.0f), "2000.000");
  EXPECT_EQ(textOf(float2string, 0.0f), "0.000000");
  EXPECT_EQ(textOf(float2string, 1234567.0f), "1234567.");
}

TEST(Float2String, OutOfRangeAndNotANumberReadHuge) {
  EXPECT_EQ(textOf(float2string, 100000000.0f), " Huge!  ");
  EXPECT_EQ(textOf(float2string, -10000000.0f), " Huge!  ");
  EXPECT_EQ(textOf(float2string, std::numeric_limits<float>::infinity()), " Huge!  ");
  EXPECT_EQ(textOf(float2string, -std::numeric_limits<float>::infinity()), " Huge!  ");
  EXPECT_EQ(textOf(float2string, std::numeric_limits<float>::quiet_NaN()), " Huge!  ");
}

TEST(DB2String, SilenceIsMinusInfinityOtherwiseDecibels) {
  EXPECT_EQ(textOf(dB2string, 0.0f), "  -oo   ");
  EXPECT_EQ(textOf(dB2string, -1.0f), "  -oo   ");
  EXPECT_EQ(textOf(dB2string, 1.0f), "0.000000");
  EXPECT_EQ(textOf(dB2string, 10.0f), "20.00000");
}

TEST(SampleTools, ConvertWithTheSampleRate) {
  EXPECT_EQ(textOf(Hz2string, 441.0f, 44100.0f), "100.0000");
  EXPECT_EQ(textOf(Hz2string, 0.0f, 44100.0f), "0.000000");
  EXPECT_EQ(textOf(ms2string, 44100.0f, 44100.0f), "1000.000");
}

}  // namespace
}  // namespace kestrane
