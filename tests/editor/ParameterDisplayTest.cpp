// Parameter changes from outside (the host, a program change) shown by the open editor: readout
// texts on both pages, knobs, switches, the page, the transfer curves and the crossover menus.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "EditorTestSupport.h"
#include "editor/TransferCurveView.h"
#include "gui/OptionMenu.h"
#include "params/StepTables.h"

namespace kestrane {
namespace {

using layout::Role;
using testing::layoutIndex;
using testing::rowOf;

class ParameterDisplay : public testing::OpenEditor {
 protected:
  std::string gainText(int32_t band) { return text(layoutIndex(Role::GainReadout, rowOf(band))); }
  OptionMenu* frequencyMenu(int split) { return view<OptionMenu>(Role::CrossoverMenu, -1, split); }
  std::vector<std::string> entries(OptionMenu* menu) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < menu->getEntryCount(); ++i) {
      char entry[256] = "";
      menu->getEntry(i, entry);
      out.emplace_back(entry);
    }
    return out;
  }
  std::string current(OptionMenu* menu) {
    char entry[256] = "";
    menu->getCurrent(entry);
    return entry;
  }
  void expectFrequencies(int split, int firstEntry, int lastEntry, int currentEntry) {
    SCOPED_TRACE("split point " + std::to_string(split + 1));
    std::vector<std::string> expected;
    for (int i = firstEntry; i <= lastEntry; ++i) {
      expected.push_back(std::to_string(CrossoverFreqSteps[static_cast<std::size_t>(i)]) + " Hz");
    }
    EXPECT_EQ(entries(frequencyMenu(split)), expected);
    EXPECT_EQ(current(frequencyMenu(split)),
              std::to_string(CrossoverFreqSteps[static_cast<std::size_t>(currentEntry)]) + " Hz");
  }
};

struct TextCase {
  int32_t parameter;
  float value;
  int page;
  const char* text;
};

TEST_F(ParameterDisplay, ReadoutsShowEachValueByTheirRules) {
  const TextCase cases[] = {
      {GainHF, 0.0f, 0, "-inf"},
      {GainHF, 0.0019960080f, 0, "-25.0"},  // 1/501
      {GainHF, 0.500998f, 0, "0.0"},
      {GainHF, 1.0f, 0, "25.0"},
      {GainHF, 0.5808383f, 0, "4.0"},  // the nearest step, as the engine applies it
      {GainHF, 0.49900198f, 0, "-0.1"},
      {CompThreshLMF, 0.5f, 0, "-20"},
      {CompThreshLMF, 0.0f, 0, "-40"},
      {ExpThreshLMF, 0.0f, 1, "-inf"},
      {ExpThreshLMF, 0.019607844f, 1, "-50"},  // 1/51
      {ExpThreshLMF, 1.0f, 1, "0"},
      {CompRatioHMF, 1.0f, 0, "inf:1"},
      {CompRatioHMF, 0.0f, 0, "1.0:1"},
      {CompRatioHMF, 0.5f, 0, "3.6:1"},
      {CompRatioHMF, 35.0f / 36.0f, 0, "10:1"},
      {ExpRatioHMF, 1.0f, 1, "1:inf"},
      {ExpRatioHMF, 0.0f, 1, "1:1.0"},
      {ExpRatioHMF, 5.0f / 36.0f, 1, "1:1.5"},
      {CompAttackLF, 0.0f, 0, "0.5"},
      {CompAttackLF, 1.0f, 0, "100"},
      {CompAttackLF, 36.0f / 97.0f, 0, "9.5"},
      {ExpAttackLF, 5.0f / 97.0f, 1, "1.0"},
      {CompReleaseLF, 0.0f, 0, "0.05"},
      {CompReleaseLF, 1.0f, 0, "5.00"},
      {ExpReleaseLF, 42.0f / 62.0f, 1, "1.50"},
      // Out of range: the nearest end, never past a table.
      {CompRatioHF, 1.5f, 0, "inf:1"},
      {CompReleaseHF, -3.0f, 0, "0.05"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.parameter) + " = " + std::to_string(c.value));
    set(DisplayMode, static_cast<float>(c.page));
    set(c.parameter, c.value);
    const int32_t relative = (c.parameter - CompThreshLF) % 16;
    const std::string shown = c.parameter >= GainLF ? gainText(c.parameter - GainLF)
                                                    : bandText(relative % 4, relative / 4);
    EXPECT_EQ(shown, c.text);
  }
}

TEST_F(ParameterDisplay, LookaheadIsTruncatedToWholeMilliseconds) {
  set(Lookahead, 0.999f);
  EXPECT_EQ(text(layoutIndex(Role::LookaheadReadout, -1)), "99");
  EXPECT_EQ(view(Role::LookaheadKnob, -1)->getValue(), 0.999f);
  set(Lookahead, 0.01f);
  EXPECT_EQ(text(layoutIndex(Role::LookaheadReadout, -1)), "0");
}

TEST_F(ParameterDisplay, ThresholdsNameTheStepTheEngineUsesOnEveryPath) {
  // 0.7 as a float lies a hair below the step of -12 dB: the engine runs at -13 dB, and so
  // do the host's text, the readout after the change and the readout after a page switch.
  set(CompThreshHF, 0.7f);
  char hostText[16] = "";
  effect->getParameterDisplay(CompThreshHF, hostText);
  EXPECT_STREQ(hostText, "    -13");
  EXPECT_EQ(bandText(BandHF, 0), "-13");
  set(DisplayMode, 1.0f);
  set(DisplayMode, 0.0f);
  EXPECT_EQ(bandText(BandHF, 0), "-13");
  EXPECT_EQ(view<TransferCurveView>(Role::CurveView, rowOf(BandHF))->getCompressorThreshold(),
            13);
}

TEST_F(ParameterDisplay, BothPagesShowTheirOwnParametersOnTheSameControls) {
  set(CompThreshLF, 0.5f);
  set(ExpThreshLF, 0.79f);
  set(CompReleaseHMF, 1.0f);
  set(ExpReleaseHMF, 0.0f);
  Control* threshold = view(Role::BandKnob, rowOf(BandLF), 0);
  EXPECT_EQ(threshold->getValue(), 0.5f);
  EXPECT_EQ(bandText(BandLF, 0), "-20");

  set(DisplayMode, 1.0f);
  EXPECT_EQ(editor()->getPage(), 1);
  EXPECT_EQ(threshold->getValue(), get(ExpThreshLF));
  EXPECT_EQ(threshold->getBackground()->getResourceId(), 127);
  EXPECT_EQ(bandText(BandLF, 0), "-11");
  EXPECT_EQ(bandText(BandHMF, 3), "0.05");
  EXPECT_EQ(view(Role::PageButton, -1, 1)->getValue(), 1.0f);
  EXPECT_EQ(view(Role::PagePanel, -1)->getValue(), 1.0f);

  // A change of the other page's parameter leaves the shown value alone but moves the curve.
  set(CompThreshLF, 0.25f);
  EXPECT_EQ(bandText(BandLF, 0), "-11");
  EXPECT_EQ(view<TransferCurveView>(Role::CurveView, rowOf(BandLF))->getCompressorThreshold(),
            30);
}

TEST_F(ParameterDisplay, OnlyAFullValueSelectsTheExpanderPage) {
  set(DisplayMode, 0.99f);
  EXPECT_EQ(editor()->getPage(), 0);
  EXPECT_EQ(view(Role::PageButton, -1, 0)->getValue(), 1.0f);
  set(DisplayMode, 7.0f);
  EXPECT_EQ(editor()->getPage(), 1);
  set(DisplayMode, -1.0f);
  EXPECT_EQ(editor()->getPage(), 0);
}

TEST_F(ParameterDisplay, SlopeMenusSelectTheSlopeTheEngineRuns) {
  OptionMenu* slope = view<OptionMenu>(Role::CrossoverMenu, -1, 2, 1);
  set(Fir3Slope, 0.0f);
  EXPECT_EQ(current(slope), "6 dB");
  set(Fir3Slope, 0.6666667f);
  EXPECT_EQ(current(slope), "18 dB");
  set(Fir3Slope, 0.5f);  // half way rounds up, as in the engine
  EXPECT_EQ(current(slope), "18 dB");
  set(Fir3Slope, 1.0f);
  EXPECT_EQ(current(slope), "24 dB");
  EXPECT_EQ(entries(slope), (std::vector<std::string>{"6 dB", "12 dB", "18 dB", "24 dB"}));
}

TEST_F(ParameterDisplay, FrequencyMenusListTheRangeBetweenTheirNeighbours) {
  set(Fir1Freq, 0.2f);
  set(Fir2Freq, 0.4f);
  set(Fir3Freq, 0.7f);
  expectFrequencies(0, 0, 4, 2);    // 50 .. 320 Hz, 125 Hz
  expectFrequencies(1, 3, 8, 5);    // 200 .. 2000 Hz, 500 Hz
  expectFrequencies(2, 6, 12, 9);   // 800 .. 12500 Hz, 3200 Hz
}

TEST_F(ParameterDisplay, FrequencyMenusFollowEveryOutsideChange) {
  set(Fir1Freq, 0.2f);
  set(Fir2Freq, 0.4f);
  set(Fir3Freq, 0.7f);
  // The host moves split point 2: all three lists move with it.
  set(Fir2Freq, 0.6f);
  expectFrequencies(0, 0, 6, 2);
  expectFrequencies(1, 3, 8, 7);  // 1250 Hz
  expectFrequencies(2, 8, 12, 9);
  // Split point 1 moves up: the second menu starts above it.
  set(Fir1Freq, 0.5f);
  expectFrequencies(1, 6, 8, 7);
  // A program change sets all three at once.
  effect->setProgram(3);
  for (int split = 0; split < 3; ++split) {
    const int32_t step = static_cast<int32_t>(get(Fir1Freq + split) * 10.0f + 0.5f);
    EXPECT_EQ(current(frequencyMenu(split)),
              std::to_string(CrossoverFreqSteps[static_cast<std::size_t>(step + split)]) + " Hz");
  }
}

TEST_F(ParameterDisplay, FrequencyMenusShowTheirOwnFrequencyEvenOutOfOrder) {
  // The host may set the split points in any order; each menu still names its own frequency.
  set(Fir1Freq, 0.8f);
  set(Fir2Freq, 0.3f);
  set(Fir3Freq, 0.1f);
  expectFrequencies(0, 0, 8, 8);    // up to its own 2000 Hz
  expectFrequencies(1, 4, 4, 4);    // just its own 320 Hz
  expectFrequencies(2, 3, 12, 3);   // from its own 200 Hz
}

TEST_F(ParameterDisplay, ChangesFromAnotherThreadShowAtTheNextIdle) {
  const std::size_t gain = layoutIndex(Role::GainReadout, rowOf(BandLMF));
  set(GainLMF, 0.5f);
  const std::string before = text(gain);
  std::thread automation([this] { set(GainLMF, 1.0f); });
  automation.join();
  EXPECT_EQ(get(GainLMF), 1.0f);
  EXPECT_EQ(text(gain), before);
  idleLater();
  EXPECT_EQ(text(gain), "25.0");
  EXPECT_EQ(view(Role::GainKnob, rowOf(BandLMF))->getValue(), 1.0f);
}

}  // namespace
}  // namespace kestrane
