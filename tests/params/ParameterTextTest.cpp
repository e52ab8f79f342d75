#include "params/ParameterText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "params/ParamId.h"
#include "params/ParameterTable.h"

namespace kestrane {
namespace {

std::string textOf(int32_t index, float value) {
  char text[16];
  std::memset(text, '#', sizeof text);
  EXPECT_TRUE(formatParameterText(index, value, text));
  return text;
}

// The texts of the two ends of the range, by ParamId.
std::string edgeText(int32_t index, bool top) {
  switch (ParameterTable[index].rule) {
    case TextRule::Slope: return top ? "     24" : "      6";
    case TextRule::Frequency: {
      static const char* const low[] = {"     50", "     80", "    125"};
      static const char* const high[] = {"   5000", "   8000", "  12500"};
      return top ? high[index - Fir1Freq] : low[index - Fir1Freq];
    }
    case TextRule::CompThresh: return top ? "      0" : "    -40";
    case TextRule::Ratio: return top ? "    500" : "     10";
    case TextRule::Attack: return top ? "   1000" : "      5";
    case TextRule::Release: return top ? "    500" : "      5";
    case TextRule::ExpThresh: return top ? "      0" : "-inf";
    case TextRule::Gain: return top ? "   25.0" : "-inf";
    case TextRule::Lookahead: return top ? "    100" : "      0";
    case TextRule::Switch: return top ? "      1" : "      0";
    case TextRule::Page: return top ? "      1" : "      0";
  }
  return {};
}

TEST(ParameterText, RangeEndsOfEveryParameter) {
  for (int32_t i = 0; i < kNumParams; ++i) {
    SCOPED_TRACE(ParameterTable[i].enumeratorName);
    EXPECT_EQ(textOf(i, 0.0f), edgeText(i, false));
    EXPECT_EQ(textOf(i, 1.0f), edgeText(i, true));
  }
}

TEST(ParameterText, SlopesAndFrequenciesNameTheNearestStep) {
  EXPECT_EQ(textOf(Fir1Slope, 1.0f / 3.0f), "     12");
  EXPECT_EQ(textOf(Fir1Slope, 0.6666667f), "     18");
  EXPECT_EQ(textOf(Fir2Slope, 0.6666666f), "     18");  // 1.9999998: rounds up to step 2
  EXPECT_EQ(textOf(Fir2Slope, 0.16666666f), "      6");  // 0.4999999: step 0
  EXPECT_EQ(textOf(Fir2Slope, 0.16666667f), "     12");  // 0.5000000: halves up
  // 10 x 0.7f = 6.99999988: step 7 plus the offset 2, the frequency Mastering runs.
  EXPECT_EQ(textOf(Fir3Freq, 0.7f), "   3200");
  EXPECT_EQ(textOf(Fir1Freq, 0.04999999f), "     50");
  EXPECT_EQ(textOf(Fir1Freq, 0.05f), "     80");
}

TEST(ParameterText, ThresholdsAndLookaheadNameTheStepAtOrBelow) {
  EXPECT_EQ(textOf(Lookahead, 0.01f), "      0");  // 0.99999998 ms
  EXPECT_EQ(textOf(Lookahead, 0.5f), "     50");
  EXPECT_EQ(textOf(CompThreshLF, 0.7f), "    -13");  // 27.9999995
  EXPECT_EQ(textOf(CompThreshLF, 0.725f), "    -11");
}

TEST(ParameterText, RatiosAndTimesNameTheNearestEntry) {
  EXPECT_EQ(textOf(CompRatioLF, 0.014f), "     11");  // trunc(1.004): entry 1
  EXPECT_EQ(textOf(CompRatioLF, 0.5f), "     36");  // trunc(18.5): entry 18
  EXPECT_EQ(textOf(CompAttackHF, 0.5f), "    220");  // trunc(49.0): entry 49
  EXPECT_EQ(textOf(ExpReleaseLMF, 0.5f), "     70");  // trunc(31.5): entry 31
}

TEST(ParameterText, GainsNameTenthsOfADecibelFromTheNearestStep) {
  EXPECT_EQ(textOf(GainLF, 0.0f), "-inf");
  EXPECT_EQ(textOf(GainLF, 0.0009979f), "-inf");  // 0.4999: step 0 mutes
  EXPECT_EQ(textOf(GainLF, 0.001996008f), "  -25.0");  // 501 v just below 1: step 1
  EXPECT_EQ(textOf(GainLF, 0.5808383f), "    4.0");  // 290.9999996: step 291
  EXPECT_EQ(textOf(GainLF, 0.5608782f), "    3.0");  // 281.0000: step 281, not "2"
  EXPECT_EQ(textOf(GainLF, kGainUnity), "    0.0");
  EXPECT_EQ(textOf(GainLF, 250.0f / 501.0f), "   -0.1");
  EXPECT_EQ(textOf(GainLF, 242.0f / 501.0f), "   -0.9");
  EXPECT_EQ(textOf(GainLF, 260.0f / 501.0f), "    0.9");
  EXPECT_EQ(textOf(GainLF, 376.0f / 501.0f), "   12.5");
  EXPECT_EQ(textOf(GainLF, 1.0f), "   25.0");
  uint32_t bits;
  std::memcpy(&bits, &kGainUnity, sizeof bits);
  EXPECT_EQ(bits, 0x3F004168u);
}

TEST(ParameterText, ExpanderThresholdLeavesMinusInfinityAtOneFiftyFirst) {
  const float first = 0.019607844f;  // first float with 51 v >= 1
  EXPECT_EQ(textOf(ExpThreshLF, first), "    -50");
  EXPECT_EQ(textOf(ExpThreshLF, std::nextafter(first, 0.0f)), "-inf");
}

TEST(ParameterText, SwitchesReadOnForEveryValueButZero) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  EXPECT_EQ(textOf(EnableLF, 0.0f), "      0");
  EXPECT_EQ(textOf(EnableLF, -0.0f), "      0");
  EXPECT_EQ(textOf(EnableLF, tiny), "      1");
  EXPECT_EQ(textOf(EnableLookahead, 0.00005f), "      1");
  // The display mode selects the expander page only at a full 1.
  EXPECT_EQ(textOf(DisplayMode, 0.99999994f), "      0");
  EXPECT_EQ(textOf(DisplayMode, 1.0f), "      1");
}

TEST(ParameterText, OutOfRangeValuesReadAsTheNearestEnd) {
  const float inf = std::numeric_limits<float>::infinity();
  const float high[] = {1.0000001f, 1.5f, 1e30f, inf};
  const float low[] = {-1e-7f, -0.5f, -1e30f, -inf, std::numeric_limits<float>::quiet_NaN()};
  for (int32_t i = 0; i < kNumParams; ++i) {
    SCOPED_TRACE(ParameterTable[i].enumeratorName);
    for (float v : high) EXPECT_EQ(textOf(i, v), edgeText(i, true)) << v;
    // A switch acts for every value but 0, so it reads 1 below the range as well.
    const bool isSwitch = ParameterTable[i].rule == TextRule::Switch;
    for (float v : low) EXPECT_EQ(textOf(i, v), edgeText(i, isSwitch)) << v;
  }
}

TEST(ParameterText, UnknownIndexLeavesTheBufferAlone) {
  for (int32_t index : {-1, kNumParams, 60, std::numeric_limits<int32_t>::min()}) {
    char text[4] = {'x', 'y', 'z', '\0'};
    EXPECT_FALSE(formatParameterText(index, 0.5f, text));
    EXPECT_STREQ(text, "xyz");
  }
}

TEST(ParameterTable, HostTextsHaveTheirFixedWidths) {
  for (const ParameterInfo& info : ParameterTable) {
    EXPECT_EQ(std::strlen(info.name), 11u) << info.enumeratorName;
    EXPECT_EQ(std::strlen(info.label), 8u) << info.enumeratorName;
  }
  EXPECT_STREQ(ParameterTable[EnableLookahead].name, "Enable Lkhd");
  EXPECT_STREQ(ParameterTable[ExpRatioHF].label, " 1:x/10 ");
}

}  // namespace
}  // namespace kestrane
