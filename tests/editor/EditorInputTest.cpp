// The shipped editor driven with real mouse input (SendInput): a knob turned, whose parameter,
// readout and host automation follow it, and a page button tapped (press and release at once).
#include "PluginWindow.h"

namespace kestrane {
namespace {

using EditorWindow = testing::EditorWindow;
using testing::Call;
using testing::controlOf;
using testing::hostCalls;
using layout::Role;
namespace testuser = platform::testuser;

TEST_F(EditorWindow, AKnobTurnedWithTheMouseMovesItsParameterReadoutAndAutomation) {
  ASSERT_TRUE(opened);
  const layout::ControlItem& knob = controlOf(Role::GainKnob, 3);  // the LF gain
  const layout::ControlItem& readout = controlOf(Role::GainReadout, 3);
  const float before = effect->getParameter(effect, knob.tag);
  idle();
  const std::vector<platform::ColorRef> shownBefore = picture();

  // Down on the knob, up above its hub (the middle of the range), round to its right (five
  // sixths), and up.
  const int hubX = kHostX + knob.rect.left + knob.rect.width() / 2;
  const int hubY = kHostY + knob.rect.top + knob.rect.width() / 2;
  const platform::Position up{hubX, hubY - 40};
  const platform::Position right{hubX + 40, hubY};
  testuser::press(static_cast<platform::WindowRef>(window),
                  platform::Position{knob.rect.left + 22, knob.rect.top + 17},
                  platform::LeftButtonBit,
                  {{platform::LeftButtonBit, up}, {platform::LeftButtonBit, right}, {0, right}});
  idle();

  const float after = effect->getParameter(effect, knob.tag);
  EXPECT_NEAR(after, 5.0f / 6.0f, 0.02f);
  ASSERT_GE(hostCalls.size(), 3u);
  EXPECT_EQ(hostCalls.front().opcode, audioMasterBeginEdit);
  EXPECT_EQ(hostCalls.front().index, knob.tag);
  EXPECT_EQ(hostCalls.back().opcode, audioMasterEndEdit);
  EXPECT_EQ(hostCalls.back().index, knob.tag);
  const Call& lastAutomation = hostCalls[hostCalls.size() - 2];
  EXPECT_EQ(lastAutomation.opcode, audioMasterAutomate);
  EXPECT_EQ(lastAutomation.index, knob.tag);
  EXPECT_EQ(lastAutomation.value, after);

  // The knob and its readout show the new value, and show the old one again once the host
  // puts it back.
  const std::vector<platform::ColorRef> shownAfter = picture();
  EXPECT_NE(part(shownAfter, knob.rect), part(shownBefore, knob.rect));
  EXPECT_NE(part(shownAfter, readout.rect), part(shownBefore, readout.rect));
  effect->setParameter(effect, knob.tag, before);
  idle();
  const std::vector<platform::ColorRef> shownAgain = picture();
  EXPECT_EQ(part(shownAgain, knob.rect), part(shownBefore, knob.rect));
  EXPECT_EQ(part(shownAgain, readout.rect), part(shownBefore, readout.rect));
}

TEST_F(EditorWindow, ATappedPageButtonSwitchesThePage) {
  ASSERT_TRUE(opened);
  const layout::ControlItem* expanderPage = nullptr;
  for (const layout::ControlItem& item : layout::kControls) {
    if (item.role == Role::PageButton && item.column == 1) expanderPage = &item;
  }
  ASSERT_NE(expanderPage, nullptr);
  idle();
  const std::vector<platform::ColorRef> shownBefore = picture();
  testuser::tap(static_cast<platform::WindowRef>(window),
                platform::Position{expanderPage->rect.left + expanderPage->rect.width() / 2,
                                   expanderPage->rect.top + expanderPage->rect.height() / 2},
                platform::LeftButtonBit);
  idle();
  EXPECT_EQ(effect->getParameter(effect, expanderPage->parameter), 1.0f);
  EXPECT_NE(part(picture(), expanderPage->rect), part(shownBefore, expanderPage->rect));
}

}  // namespace
}  // namespace kestrane
