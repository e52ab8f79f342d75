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
    case TextRule::Gain: return top ? "     25" : "-inf";
    case TextRule::Lookahead: return top ? "    100" : "      0";
    case TextRule::Switch: return top ? "      1" : "      0";
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

TEST(ParameterText, TruncatesTheProductNotTheRoundedProduct) {
  EXPECT_EQ(textOf(Fir1Slope, 1.0f / 3.0f), "     12");
  EXPECT_EQ(textOf(Fir1Slope, 0.6666667f), "     18");
  // 10 x 0.7f = 6.99999988: entry 6 plus the offset 2.
  EXPECT_EQ(textOf(Fir3Freq, 0.7f), "   2000");
  EXPECT_EQ(textOf(Lookahead, 0.01f), "      0");
  EXPECT_EQ(textOf(Lookahead, 0.5f), "     50");
  // Ratio, attack and release add one half before truncating.
  EXPECT_EQ(textOf(CompRatioLF, 0.014f), "     11");  // trunc(1.004): entry 1
  EXPECT_EQ(textOf(CompRatioLF, 0.5f), "     36");  // trunc(18.5): entry 18
  EXPECT_EQ(textOf(CompAttackHF, 0.5f), "    220");  // trunc(49.0): entry 49
  EXPECT_EQ(textOf(ExpReleaseLMF, 0.5f), "     70");  // trunc(31.5): entry 31
}

TEST(ParameterText, GainQuotientIsCutTowardZero) {
  EXPECT_EQ(textOf(GainLF, 0.001996008f), "-inf");  // 501 v lies just below 1
  EXPECT_EQ(textOf(GainLF, 0.5808383f), "      3");  // trunc(290.9999996) - 251 = 39
  EXPECT_EQ(textOf(GainLF, kGainUnity), "      0");
  EXPECT_EQ(textOf(GainLF, 242.0f / 501.0f + 1e-6f), "      0");  // t = -9
  EXPECT_EQ(textOf(GainLF, 241.0f / 501.0f + 1e-6f), "     -1");  // t = -10
  EXPECT_EQ(textOf(GainLF, 2.0f / 501.0f + 1e-6f), "    -24");  // t = -249
  uint32_t bits;
  std::memcpy(&bits, &kGainUnity, sizeof bits);
  EXPECT_EQ(bits, 0x3F004168u);
}

TEST(ParameterText, ExpanderThresholdLeavesMinusInfinityAtOneFiftyFirst) {
  const float first = 0.019607844f;  // first float with 51 v >= 1
  EXPECT_EQ(textOf(ExpThreshLF, first), "    -50");
  EXPECT_EQ(textOf(ExpThreshLF, std::nextafter(first, 0.0f)), "-inf");
}

TEST(ParameterText, SwitchBoundaryIsExact) {
  const float boundary = 1.0f - 0.9999f;  // 0.00010001659393310546875, exact in float
  EXPECT_EQ(static_cast<double>(boundary), 0.00010001659393310546875);
  EXPECT_EQ(textOf(EnableLF, boundary), "      1");
  EXPECT_EQ(textOf(EnableLF, std::nextafter(boundary, 0.0f)), "      0");
}

TEST(ParameterText, OutOfRangeValuesReadAsTheNearestEnd) {
  const float inf = std::numeric_limits<float>::infinity();
  const float high[] = {1.0000001f, 1.5f, 1e30f, inf};
  const float low[] = {-1e-7f, -0.5f, -1e30f, -inf, std::numeric_limits<float>::quiet_NaN()};
  for (int32_t i = 0; i < kNumParams; ++i) {
    SCOPED_TRACE(ParameterTable[i].enumeratorName);
    for (float v : high) EXPECT_EQ(textOf(i, v), edgeText(i, true)) << v;
    for (float v : low) EXPECT_EQ(textOf(i, v), edgeText(i, false)) << v;
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
