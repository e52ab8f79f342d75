#include "params/Programs.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kestrane {
namespace {

TEST(Programs, EmptyProgramHoldsTheEmptyColumn) {
  const KestraneProgram empty;
  EXPECT_STREQ(empty.name, "Empty");
  EXPECT_EQ(empty.value(Fir2Slope), 1.0f);
  EXPECT_EQ(empty.value(Fir3Freq), 1.0f);
  EXPECT_EQ(empty.value(CompThreshHMF), 1.0f);
  EXPECT_EQ(empty.value(CompRatioLF), 0.0f);
  EXPECT_EQ(empty.value(ExpThreshLF), 0.0f);
  EXPECT_EQ(empty.value(GainHF), kGainUnity);
  EXPECT_EQ(empty.value(Lookahead), 0.0f);
  EXPECT_EQ(empty.value(EnableLookahead), 1.0f);
  EXPECT_EQ(empty.value(EnableHF), 1.0f);
  EXPECT_EQ(empty.value(DisplayMode), 0.0f);
}

TEST(Programs, FactoryNamesInOrder) {
  const char* const names[] = {"Mastering", "Rock", "Dance", "Extreme",
                               "Instrumental", "Vocal", "Drum Loop", "Radio Voice"};
  for (int32_t i = 0; i < 8; ++i) EXPECT_STREQ(FactoryPrograms[i].name, names[i]);
  const KestraneProgram empty;
  for (int32_t i = 8; i < kNumPrograms; ++i) {
    EXPECT_EQ(std::memcmp(&FactoryPrograms[i], &empty, sizeof empty), 0) << i;
  }
}

TEST(Programs, PresetsAreStoredInRecordOrder) {
  const KestraneProgram& mastering = FactoryPrograms[0];
  // Compressor thresholds sit at slots 22..25, the expander group at 6..21.
  EXPECT_EQ(mastering.values[22], 0.8f);
  EXPECT_EQ(mastering.values[25], 0.75f);
  EXPECT_EQ(mastering.values[6], 0.0f);
  EXPECT_EQ(mastering.values[5], 0.7f);
  EXPECT_EQ(mastering.values[38], 0.5808383f);
}

TEST(Programs, RadioVoiceValues) {
  const KestraneProgram& radio = FactoryPrograms[7];
  EXPECT_EQ(radio.value(Fir1Slope), 0.6666667f);
  EXPECT_EQ(radio.value(Fir2Slope), 1.0f);
  EXPECT_EQ(radio.value(CompRatioLMF), 0.5682776f);
  EXPECT_EQ(radio.value(CompAttackHMF), 0.0f);
  EXPECT_EQ(radio.value(CompReleaseHF), 0.0f);
  EXPECT_EQ(radio.value(GainLF), 0.1017964f);
  EXPECT_EQ(radio.value(GainHF), 0.001996008f);
  EXPECT_EQ(radio.value(Lookahead), 0.055f);
  for (int32_t id = ExpThreshLF; id <= ExpReleaseHF; ++id) {
    EXPECT_EQ(radio.value(ParamId(id)), 0.0f);
  }
}

TEST(Programs, SetNameKeepsThirtyOneCharactersAndReadsNoFurther) {
  KestraneProgram program;
  char unterminated[31];  // no terminator: the copy must stop inside the array
  std::memset(unterminated, 'a', sizeof unterminated);
  program.setName(unterminated);
  EXPECT_EQ(std::strlen(program.name), 31u);
  program.setName("Bus");
  EXPECT_STREQ(program.name, "Bus");
  EXPECT_EQ(program.name[31], '\0');
}

}  // namespace
}  // namespace kestrane
