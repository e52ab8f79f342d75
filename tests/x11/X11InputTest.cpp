// The X11 editor driven by real input (XTest) as a user would: a knob dragged, a switch tapped,
// a menu choice by mouse and by keyboard, a typed value, a value copied from one readout and
// pasted into another, the Shift link between the bands, and files and text dropped by XDND;
// each seen through the parameters and the host's callbacks.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "X11EditorSupport.h"

namespace kestrane {
namespace {

using layout::Role;
using platform::Bounds;
using testing::callsOf;
using testing::controlOf;
using testing::hostCalls;
using testing::userSteps;
using testing::X11Editor;

class X11Input : public X11Editor {
 protected:
  void SetUp() override {
    X11Editor::SetUp();
    ASSERT_TRUE(open());
    hostCalls.clear();
  }
  // A circular drag of a knob: down on it, straight up from its centre of rotation (the middle
  // of its range), round to its right (five sixths of it), and up; one move per host idle, as
  // the knob's own loop gives the host its idle time.
  void dragKnob(const layout::ControlItem& knob) {
    const int hub = knob.rect.width() / 2;
    const platform::Position above = screenOf(knob.rect.left + hub, knob.rect.top - 10);
    const platform::Position right = screenOf(knob.rect.left + hub + 30, knob.rect.top + hub);
    userSteps = {[above] { testx11::movePointer(above); },
                 [right] { testx11::movePointer(right); },
                 [] { testx11::button(1, false); }};
    testx11::movePointer(screenOf(knob.rect.left + hub, knob.rect.top + 4));
    testx11::button(1, true);
    settle();
    EXPECT_TRUE(userSteps.empty()) << "the knob's loop ended before the hand did";
  }
  // While the editor's idle runs a popup menu's loop, a second hand (thread) waits for the menu
  // to show and then acts on it.
  void withMenu(const layout::ControlItem& control, std::function<void(Bounds)> act) {
    std::atomic<bool> acted{false};
    std::thread hand([&] {
      for (int wait = 0; wait < 500 && testx11::popupWindows().empty(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      const std::vector<std::uint32_t> popups = testx11::popupWindows();
      if (!popups.empty()) act(testx11::screenBounds(popups.back()));
      acted = true;
    });
    click(centreOf(control));
    hand.join();
    EXPECT_TRUE(acted);
    EXPECT_TRUE(testx11::popupWindows().empty()) << "the menu stayed open";
  }
  // The centre of a menu's entry in screen coordinates (entries 18 pixels high from 1).
  static platform::Position entry(Bounds menu, int index) {
    return {menu.left + 40, menu.top + 1 + 18 * index + 9};
  }
};

TEST_F(X11Input, AKnobDragIsBracketedAutomatedAndShown) {
  const layout::ControlItem& knob = controlOf(Role::GainKnob, 3);  // the LF gain
  const std::vector<platform::ColorRef> before = picture();
  dragKnob(knob);
  const float after = get(GainLF);
  EXPECT_NEAR(after, 5.0f / 6.0f, 0.03f);
  ASSERT_GE(hostCalls.size(), 3u);
  EXPECT_EQ(hostCalls.front().opcode, audioMasterBeginEdit);
  EXPECT_EQ(hostCalls.front().index, GainLF);
  EXPECT_EQ(hostCalls.back().opcode, audioMasterEndEdit);
  EXPECT_EQ(hostCalls.back().index, GainLF);
  const testing::Call& last = hostCalls[hostCalls.size() - 2];
  EXPECT_EQ(last.opcode, audioMasterAutomate);
  EXPECT_EQ(last.index, GainLF);
  EXPECT_EQ(last.value, after);
  EXPECT_NE(picture(), before);
}

TEST_F(X11Input, ASwitchTappedTogglesItsParameter) {
  set(EnableLF, 1.0f);
  settle();
  click(centreOf(controlOf(Role::EnableButton, 3)));
  EXPECT_EQ(get(EnableLF), 0.0f);
  ASSERT_FALSE(callsOf(audioMasterAutomate).empty());
  EXPECT_EQ(callsOf(audioMasterAutomate).back(), EnableLF);
  click(centreOf(controlOf(Role::EnableButton, 3)));
  EXPECT_EQ(get(EnableLF), 1.0f);
}

TEST_F(X11Input, AMenuEntryChosenWithTheMouse) {
  withMenu(controlOf(Role::CrossoverMenu, -1, 0, 1), [](Bounds menu) {
    testx11::movePointer(entry(menu, 2));
    testx11::button(1, true);
    testx11::button(1, false);
  });
  EXPECT_EQ(get(Fir1Slope), 2.0f * 0.33333334f);
  ASSERT_FALSE(callsOf(audioMasterAutomate).empty());
  EXPECT_EQ(callsOf(audioMasterAutomate).back(), Fir1Slope);
}

TEST_F(X11Input, AMenuEntryChosenWithTheKeysAndOneLeftWithEscapeOrAClickOutside) {
  withMenu(controlOf(Role::CrossoverMenu, -1, 2, 1), [](Bounds) {
    testx11::key(testx11::KeyDown, true);
    testx11::key(testx11::KeyDown, false);
    testx11::key(testx11::KeyDown, true);
    testx11::key(testx11::KeyDown, false);
    testx11::key(testx11::KeyReturn, true);
    testx11::key(testx11::KeyReturn, false);
  });
  EXPECT_EQ(get(Fir3Slope), 0.33333334f);

  hostCalls.clear();
  withMenu(controlOf(Role::CrossoverMenu, -1, 2, 1), [](Bounds) {
    testx11::key(testx11::KeyEscape, true);
    testx11::key(testx11::KeyEscape, false);
  });
  withMenu(controlOf(Role::CrossoverMenu, -1, 2, 1), [this](Bounds) {
    testx11::movePointer(screenOf(600, 470));
    testx11::button(1, true);
    testx11::button(1, false);
  });
  EXPECT_EQ(get(Fir3Slope), 0.33333334f);
  EXPECT_TRUE(callsOf(audioMasterAutomate).empty());
}

TEST_F(X11Input, AValueTypedIntoAReadout) {
  const layout::ControlItem& readout = controlOf(Role::GainReadout, 0);  // HF
  const float before = get(GainHF);
  click(centreOf(readout));
  ASSERT_EQ(testx11::childWindows(editorWindow()).size(), 1u) << "no edit field opened";
  testx11::typeText("-2.5");
  testx11::key(testx11::KeyReturn, true);
  testx11::key(testx11::KeyReturn, false);
  settle();
  EXPECT_NE(get(GainHF), before);
  ASSERT_FALSE(callsOf(audioMasterAutomate).empty());
  EXPECT_EQ(callsOf(audioMasterAutomate).back(), GainHF);
  char display[64] = "";
  dispatch(effGetParamDisplay, 0, display, GainHF);
  EXPECT_NE(std::string(display).find("-2"), std::string::npos) << display;  // whole dB
  // The field is gone and the editor's window is whole again.
  EXPECT_EQ(testx11::childWindows(editorWindow()).size(), 0u);
}

TEST_F(X11Input, AValueCopiedFromOneReadoutIsPastedIntoAnother) {
  set(GainHF, 0.75f);
  set(GainHMF, 0.5f);
  settle();
  // The field opens with its text selected: copied whole, and the field left unchanged.
  click(centreOf(controlOf(Role::GainReadout, 0)));  // HF
  testx11::chord('c', true);
  testx11::key(testx11::KeyReturn, true);
  testx11::key(testx11::KeyReturn, false);
  settle();
  EXPECT_TRUE(callsOf(audioMasterAutomate).empty());
  click(centreOf(controlOf(Role::GainReadout, 1)));  // HMF
  testx11::chord('v', true);
  testx11::key(testx11::KeyReturn, true);
  testx11::key(testx11::KeyReturn, false);
  settle();
  // The same value as the readout shows it (what was typed is read back to its steps).
  char copied[64] = "";
  char pasted[64] = "";
  dispatch(effGetParamDisplay, 0, copied, GainHF);
  dispatch(effGetParamDisplay, 0, pasted, GainHMF);
  EXPECT_STREQ(pasted, copied);
  EXPECT_NE(get(GainHMF), 0.5f);
  ASSERT_FALSE(callsOf(audioMasterAutomate).empty());
  EXPECT_EQ(callsOf(audioMasterAutomate).back(), GainHMF);
}

TEST_F(X11Input, WithShiftHeldTheOtherBandsFollowByTheSameAmount) {
  set(CompThreshLF, 0.5f);
  set(CompThreshLMF, 0.3f);
  set(CompThreshHMF, 0.95f);
  set(CompThreshHF, 0.2f);
  settle();
  testx11::key(testx11::KeyShift, true);
  settle();
  dragKnob(controlOf(Role::BandKnob, 3, 0));  // the LF threshold
  testx11::key(testx11::KeyShift, false);
  settle();
  const float moved = get(CompThreshLF) - 0.5f;
  EXPECT_GT(std::abs(moved), 0.05f);
  EXPECT_NEAR(get(CompThreshLMF), std::min(1.0f, std::max(0.0f, 0.3f + moved)), 1e-5f);
  EXPECT_NEAR(get(CompThreshHMF), std::min(1.0f, std::max(0.0f, 0.95f + moved)), 1e-5f);
  EXPECT_NEAR(get(CompThreshHF), std::min(1.0f, std::max(0.0f, 0.2f + moved)), 1e-5f);
}

class X11Drop : public X11Input {
 protected:
  std::vector<float> parameters() {
    std::vector<float> values;
    for (int32_t i = 0; i < effect->numParams; ++i) values.push_back(get(i));
    return values;
  }
  // Serves the source and idles the editor until the target answered (a second at most: the
  // editor's requests travel on its own connection, which no round trip here waits for).
  void exchange(testx11::DragSource& source, bool& until) {
    for (int round = 0; round < 500 && !until; ++round) {
      settle(1);
      source.serve();
      if (!until) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
};

TEST_F(X11Drop, FilesAndTextDroppedByXdndAreOfferedToTheViewsAndChangeNothing) {
  const std::vector<float> before = parameters();
  const std::uint32_t target = editorWindow();
  const platform::Position onKnob = centreOf(controlOf(Role::GainKnob, 3));

  testx11::DragSource files("text/uri-list", "file:///tmp/kestrane-x11%20drop.wav\r\n");
  files.enter(target);
  files.position(target, onKnob);
  exchange(files, files.statusSeen);
  EXPECT_TRUE(files.accepted);
  EXPECT_EQ(files.statusAction, "XdndActionMove");
  // With Control held the drag shows a copy.
  testx11::key(testx11::KeyControl, true);
  files.statusSeen = false;
  files.position(target, onKnob);
  exchange(files, files.statusSeen);
  EXPECT_EQ(files.statusAction, "XdndActionCopy");
  testx11::key(testx11::KeyControl, false);
  files.drop(target);
  exchange(files, files.finished);
  EXPECT_EQ(files.dataRequests, 1);
  EXPECT_TRUE(files.finished);
  EXPECT_FALSE(files.finishedAccepted);  // no view takes files: never a move
  EXPECT_EQ(files.finishedAction, "");

  testx11::DragSource text("UTF8_STRING", "-12 dB");
  text.enter(target);
  text.position(target, centreOf(controlOf(Role::GainReadout, 3)));
  exchange(text, text.statusSeen);
  EXPECT_TRUE(text.accepted);
  text.drop(target);
  exchange(text, text.finished);
  EXPECT_TRUE(text.finished);
  EXPECT_EQ(parameters(), before);
  EXPECT_TRUE(callsOf(audioMasterAutomate).empty());

  // Data of no kind the editor takes is refused at once.
  testx11::DragSource other("image/png", "...");
  other.enter(target);
  other.position(target, onKnob);
  exchange(other, other.statusSeen);
  EXPECT_FALSE(other.accepted);
  other.drop(target);
  exchange(other, other.finished);
  EXPECT_EQ(other.dataRequests, 0);
  EXPECT_FALSE(other.finishedAccepted);

  // The editor goes on working.
  click(centreOf(controlOf(Role::EnableButton, 3)));
  EXPECT_EQ(callsOf(audioMasterAutomate).back(), EnableLF);
}

}  // namespace
}  // namespace kestrane
