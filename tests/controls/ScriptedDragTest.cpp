// What needs the scripted clock (headless backend): a drag whose button never comes up ends by
// itself, and a drag that paces its polls through the editor's idle.
#include <gtest/gtest.h>

#include "ControlTestSupport.h"
#include "gui/Knob.h"
#include "platform/headless/Headless.h"

namespace kestrane {
namespace {

namespace headless = platform::headless;
using testing::HostCalls;
using testing::HostedControls;

class StuckButton : public HostedControls {
 protected:
  StuckButton() : knob(add(new Knob(Rect(100, 60, 144, 94), &listener, 6, nullptr, nullptr))) {}
  Knob* knob;
};

TEST_F(StuckButton, ADragWhoseButtonNeverComesUpEndsAfterTheLongestDrag) {
  // Far more held polls than the longest drag lasts: the button reads "held" throughout.
  const platform::Position still = screen(120, 70);
  const std::uint32_t polls = Knob::kLongestDrag / 4 + 5000;
  const std::vector<testuser::Input> held(polls, testuser::Input{kLButton, still});
  const std::uint32_t began = platform::tickCount();
  press(120, 70, kLButton, held);
  const std::uint32_t lasted = platform::tickCount() - began;
  EXPECT_GE(lasted, Knob::kLongestDrag);
  EXPECT_LT(lasted, Knob::kLongestDrag + 100);
  EXPECT_LT(headless::pollCount(), polls);
  EXPECT_EQ(HostCalls::count(audioMasterBeginEdit), 1);
  EXPECT_EQ(HostCalls::count(audioMasterEndEdit), 1);
}

TEST_F(StuckButton, EveryPassOfTheDragPumpsTheEditorsIdle) {
  // Each pass sleeps 4 ms in pumpIdle; the host is asked for idle about every 50 ms.
  std::vector<testuser::Input> moves;
  for (int i = 0; i < 100; ++i) moves.push_back({kLButton, screen(120 + i % 3, 70)});
  const std::uint32_t began = platform::tickCount();
  press(120, 70, kLButton, moves);
  EXPECT_EQ(platform::tickCount() - began, 4u * 101u);
  EXPECT_GE(HostCalls::idles, 7);
  EXPECT_LE(HostCalls::idles, 9);
}

}  // namespace
}  // namespace kestrane
