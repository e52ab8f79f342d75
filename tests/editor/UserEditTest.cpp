// User edits on the open editor, made by the scripted user: menu choices, knob drags and
// clicks, switch clicks, the page buttons and text typed into the readouts. Each must change
// the right parameter, show it, and tell the host under that parameter's index.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EditorTestSupport.h"
#include "gui/OptionMenu.h"

namespace kestrane {
namespace {

using layout::Role;
using testing::EditorHostLog;
using testing::layoutIndex;
using testing::rowOf;
using testing::Call;

class UserEdits : public testing::OpenEditor {
 protected:
  void chooseFromMenu(int split, int variant, int entry) {
    testuser::chooseMenuItem(entry);
    click(layoutIndex(Role::CrossoverMenu, -1, split, variant));
  }
  std::string current(int split, int variant) {
    char entry[256] = "";
    view<OptionMenu>(Role::CrossoverMenu, -1, split, variant)->getCurrent(entry);
    return entry;
  }
  // The host heard of parameter index with value last, and never of an index beyond the
  // effect's parameters.
  void expectAutomated(int32_t index, float value) {
    const std::vector<Call> automations = EditorHostLog::automations();
    ASSERT_FALSE(automations.empty());
    EXPECT_EQ(automations.back().index, index);
    EXPECT_EQ(automations.back().value, value);
    for (const Call& call : automations) EXPECT_LT(call.index, kNumParams);
  }
  // A circular drag of a knob: straight up from its centre of rotation (the middle of its
  // range), then to the right (five sixths of it), where the button goes up.
  void dragKnob(std::size_t index) {
    const layout::Box& box = layout::kControls[index].rect;
    const int hub = box.width() / 2;  // the centre of rotation, relative to the top left
    const platform::Position right = screen(box.left + hub + 30, box.top + hub);
    click(index, platform::LeftButtonBit,
          {{platform::LeftButtonBit, screen(box.left + hub, box.top - 10)},
           {platform::LeftButtonBit, right},
           {0, right}});
  }
};

TEST_F(UserEdits, SlopeMenusSetThirds) {
  chooseFromMenu(0, 1, 2);
  EXPECT_EQ(get(Fir1Slope), 2.0f * 0.33333334f);
  expectAutomated(Fir1Slope, 2.0f * 0.33333334f);
  EXPECT_EQ(current(0, 1), "18 dB");
  chooseFromMenu(2, 1, 3);
  EXPECT_EQ(get(Fir3Slope), 3.0f * 0.33333334f);
  EXPECT_EQ(current(2, 1), "24 dB");
}

TEST_F(UserEdits, FrequencyMenuEntriesStandForStepsFromTheirFirstEntry) {
  set(Fir1Freq, 0.2f);
  set(Fir2Freq, 0.4f);
  set(Fir3Freq, 0.7f);
  EditorHostLog::clear();
  chooseFromMenu(0, 0, 3);  // 200 Hz
  EXPECT_EQ(get(Fir1Freq), 3.0f * 0.1f);
  expectAutomated(Fir1Freq, 3.0f * 0.1f);
  EXPECT_EQ(current(0, 0), "200 Hz");
  EXPECT_EQ(current(1, 0), "500 Hz");  // split point 2 stays where it was, listed anew
  chooseFromMenu(1, 0, 0);  // the lowest frequency above split point 1: 320 Hz
  EXPECT_EQ(get(Fir2Freq), 3.0f * 0.1f);
  expectAutomated(Fir2Freq, 3.0f * 0.1f);
  EXPECT_EQ(current(1, 0), "320 Hz");
  chooseFromMenu(2, 0, 2);  // from split point 2's step 3: step 5, 1250 Hz
  EXPECT_EQ(get(Fir3Freq), 5.0f * 0.1f);
  EXPECT_EQ(current(2, 0), "1250 Hz");
  // The menus' lists followed every choice.
  EXPECT_EQ(view<OptionMenu>(Role::CrossoverMenu, -1, 0, 0)->getEntryCount(), 4);   // 50..200
  EXPECT_EQ(view<OptionMenu>(Role::CrossoverMenu, -1, 2, 0)->getEntryCount(), 8);   // 500..12500
}

TEST_F(UserEdits, AKnobDragIsBracketedAndAutomatedUnderItsParameter) {
  const std::size_t knob = layoutIndex(Role::BandKnob, rowOf(BandHMF), 1);
  dragKnob(knob);
  const std::vector<Call> edits = EditorHostLog::edits();
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(edits[0].index, CompRatioHMF);
  EXPECT_EQ(edits[1].opcode, audioMasterEndEdit);
  EXPECT_EQ(edits[1].index, CompRatioHMF);
  // Every automation call falls inside the bracket and names the knob's parameter.
  bool inside = false;
  for (const Call& call : EditorHostLog::calls) {
    if (call.opcode == audioMasterBeginEdit) inside = true;
    if (call.opcode == audioMasterEndEdit) inside = false;
    if (call.opcode == audioMasterAutomate) {
      EXPECT_TRUE(inside);
      EXPECT_EQ(call.index, CompRatioHMF);
    }
  }
  EXPECT_NEAR(get(CompRatioHMF), 5.0f / 6.0f, 0.02f);
  EXPECT_EQ(view(knob)->getValue(), get(CompRatioHMF));
  expectAutomated(CompRatioHMF, get(CompRatioHMF));
  EXPECT_EQ(bandText(BandHMF, 1), "7.5:1");  // step 30 of the ratio table
}

TEST_F(UserEdits, OnTheExpanderPageTheBracketAndTheAutomationNameTheExpanderParameter) {
  set(DisplayMode, 1.0f);
  const float compressorRatio = get(CompRatioLF);
  EditorHostLog::clear();
  dragKnob(layoutIndex(Role::BandKnob, rowOf(BandLF), 1));
  const std::vector<Call> edits = EditorHostLog::edits();
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[0].index, ExpRatioLF);
  EXPECT_EQ(edits[1].index, ExpRatioLF);
  expectAutomated(ExpRatioLF, get(ExpRatioLF));
  EXPECT_NEAR(get(ExpRatioLF), 5.0f / 6.0f, 0.02f);
  EXPECT_EQ(get(CompRatioLF), compressorRatio);
  EXPECT_EQ(bandText(BandLF, 1), "1:7.5");
}

TEST_F(UserEdits, GainAndLookaheadKnobsAndTheSwitchesAutomateTheirTags) {
  set(GainLMF, 0.2f);
  set(Lookahead, 0.5f);
  const int controlClick = platform::LeftButtonBit | platform::ControlBit;
  click(layoutIndex(Role::GainKnob, rowOf(BandLMF)), controlClick);
  expectAutomated(GainLMF, layout::kGainDefault);
  click(layoutIndex(Role::LookaheadKnob, -1), controlClick);
  expectAutomated(Lookahead, 0.0f);
  EXPECT_EQ(text(layoutIndex(Role::LookaheadReadout, -1)), "0");
  EXPECT_TRUE(EditorHostLog::edits().empty());  // a control-click is no drag

  set(EnableLF, 1.0f);
  click(layoutIndex(Role::EnableButton, rowOf(BandLF)));
  EXPECT_EQ(get(EnableLF), 0.0f);
  expectAutomated(EnableLF, 0.0f);
  click(layoutIndex(Role::EnableButton, -1));
  EXPECT_EQ(get(EnableLookahead), 0.0f);
  expectAutomated(EnableLookahead, 0.0f);
  click(layoutIndex(Role::EnableButton, -1));
  EXPECT_EQ(get(EnableLookahead), 1.0f);
}

TEST_F(UserEdits, PageButtonsSwitchThePageAndReportTheDisplayMode) {
  click(layoutIndex(Role::PageButton, -1, 1));
  EXPECT_EQ(editor()->getPage(), 1);
  EXPECT_EQ(get(DisplayMode), 1.0f);
  expectAutomated(DisplayMode, 1.0f);
  EXPECT_EQ(view(Role::PageButton, -1, 1)->getValue(), 1.0f);
  EXPECT_EQ(view(Role::PageButton, -1, 0)->getValue(), 0.0f);
  EXPECT_EQ(view(Role::BandKnob, 0, 0)->getBackground()->getResourceId(), 127);

  click(layoutIndex(Role::PageButton, -1, 0));
  EXPECT_EQ(editor()->getPage(), 0);
  expectAutomated(DisplayMode, 0.0f);
  // Clicking the lit button again keeps its page and its light.
  click(layoutIndex(Role::PageButton, -1, 0));
  EXPECT_EQ(editor()->getPage(), 0);
  EXPECT_EQ(view(Role::PageButton, -1, 0)->getValue(), 1.0f);
  EXPECT_EQ(get(DisplayMode), 0.0f);
}

TEST_F(UserEdits, EveryControlThatTakesAClickTakesATap) {
  tap(layoutIndex(Role::PageButton, -1, 1));
  EXPECT_EQ(editor()->getPage(), 1);
  expectAutomated(DisplayMode, 1.0f);
  tap(layoutIndex(Role::PageButton, -1, 0));
  EXPECT_EQ(editor()->getPage(), 0);

  set(EnableHMF, 1.0f);
  tap(layoutIndex(Role::EnableButton, rowOf(BandHMF)));
  EXPECT_EQ(get(EnableHMF), 0.0f);
  expectAutomated(EnableHMF, 0.0f);

  testuser::chooseMenuItem(1);
  tap(layoutIndex(Role::CrossoverMenu, -1, 1, 1));
  EXPECT_EQ(get(Fir2Slope), 0.33333334f);
  expectAutomated(Fir2Slope, 0.33333334f);

  const std::size_t readout = layoutIndex(Role::GainReadout, rowOf(BandLF));
  tap(readout);
  platform::WindowRef field = testuser::editField(window());
  ASSERT_NE(field, nullptr);
  testuser::type(field, "3");
  testuser::pressReturn(field);
  EXPECT_EQ(text(readout), "3.0");

  // A control-tap on a knob sets its default, as a held control-click does.
  set(GainHF, 0.9f);
  tap(layoutIndex(Role::GainKnob, rowOf(BandHF)), platform::LeftButtonBit | platform::ControlBit);
  expectAutomated(GainHF, layout::kGainDefault);
}

struct TypedCase {
  layout::Role role;
  int32_t band;  // -1: the lookahead
  int column;
  int page;
  const char* typed;
  const char* shown;
  int32_t parameter;
};

TEST_F(UserEdits, TypedReadoutsSetTheNearestStepAndShowItsText) {
  const TypedCase cases[] = {
      {Role::GainReadout, BandHF, 0, 0, "-inf", "-inf", GainHF},
      {Role::GainReadout, BandHF, 0, 0, "inf", "-inf", GainHF},
      {Role::GainReadout, BandHF, 0, 0, "3", "3.0", GainHF},
      {Role::GainReadout, BandHF, 0, 0, "-2.55", "-2.5", GainHF},
      {Role::GainReadout, BandHF, 0, 0, "30", "25.0", GainHF},
      {Role::GainReadout, BandHF, 0, 0, "2.", "2.0", GainHF},
      {Role::GainReadout, BandHF, 0, 0, "-0.5", "-0.5", GainHF},
      {Role::GainReadout, BandHF, 0, 0, "loud", "0.0", GainHF},
      {Role::BandReadout, BandLMF, 0, 0, "-12", "-12", CompThreshLMF},
      {Role::BandReadout, BandLMF, 0, 0, "-inf", "0", CompThreshLMF},
      {Role::BandReadout, BandLMF, 0, 0, "-55", "-40", CompThreshLMF},
      {Role::BandReadout, BandLMF, 0, 1, "-12", "-12", ExpThreshLMF},
      {Role::BandReadout, BandLMF, 0, 1, "-inf", "-inf", ExpThreshLMF},
      {Role::BandReadout, BandLMF, 0, 1, "-50", "-50", ExpThreshLMF},
      {Role::BandReadout, BandHMF, 1, 0, "4", "4.0:1", CompRatioHMF},
      {Role::BandReadout, BandHMF, 1, 0, "4.3", "4.4:1", CompRatioHMF},
      {Role::BandReadout, BandHMF, 1, 0, "60", "inf:1", CompRatioHMF},
      {Role::BandReadout, BandHMF, 1, 0, "2.5:1", "2.6:1", CompRatioHMF},
      {Role::BandReadout, BandHMF, 1, 0, "inf:1", "inf:1", CompRatioHMF},
      {Role::BandReadout, BandHMF, 1, 0, "0", "1.0:1", CompRatioHMF},
      {Role::BandReadout, BandHMF, 1, 1, "1:4.3", "1:4.4", ExpRatioHMF},
      {Role::BandReadout, BandHMF, 1, 1, "1.7", "1:1.7", ExpRatioHMF},
      {Role::BandReadout, BandLF, 2, 0, "9.7", "9.5", CompAttackLF},
      {Role::BandReadout, BandLF, 2, 0, "33", "33", CompAttackLF},
      {Role::BandReadout, BandLF, 2, 1, "500", "100", ExpAttackLF},
      {Role::BandReadout, BandLF, 2, 0, "0.1", "0.5", CompAttackLF},
      {Role::BandReadout, BandHF, 3, 0, "1.5", "1.50", CompReleaseHF},
      {Role::BandReadout, BandHF, 3, 0, "2", "2.00", CompReleaseHF},
      {Role::BandReadout, BandHF, 3, 0, "7", "5.00", CompReleaseHF},
      {Role::BandReadout, BandHF, 3, 1, "0.333", "0.34", ExpReleaseHF},
      {Role::LookaheadReadout, -1, 0, 0, "37", "37", Lookahead},
      {Role::LookaheadReadout, -1, 0, 0, "250", "100", Lookahead},
      {Role::LookaheadReadout, -1, 0, 0, "-4", "0", Lookahead},
  };
  for (const TypedCase& c : cases) {
    SCOPED_TRACE(std::string("typed ") + c.typed);
    set(DisplayMode, static_cast<float>(c.page));
    // A value away from what is typed, so that every case changes the text.
    set(c.parameter, 0.63f);
    EditorHostLog::clear();
    const std::size_t readout = c.band < 0 ? layoutIndex(c.role, -1)
                                           : layoutIndex(c.role, rowOf(c.band), c.column);
    type(readout, c.typed);
    EXPECT_EQ(text(readout), c.shown);
    expectAutomated(c.parameter, get(c.parameter));
    // A threshold's readout names the step the engine and the host's text name.
    if (c.role == Role::BandReadout && c.column == 0) {
      char hostText[16] = "";
      effect->getParameterDisplay(c.parameter, hostText);
      std::string hostShows = hostText;
      hostShows.erase(0, hostShows.find_first_not_of(' '));
      EXPECT_EQ(hostShows, c.shown);
    }
  }
}

}  // namespace
}  // namespace kestrane
