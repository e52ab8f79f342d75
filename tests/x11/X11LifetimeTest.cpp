// The X11 editor's life in a host: many opens and closes while parameters change, a parent that
// the host destroys first, a parent that is gone or no window at all, and no X server.
#include <cstdlib>
#include <string>

#include "X11EditorSupport.h"

namespace kestrane {
namespace {

using testing::X11Editor;

using X11Lifetime = X11Editor;

TEST_F(X11Lifetime, TwoHundredOpensAndClosesWithParametersChanging) {
  const std::uint32_t hostId = testx11::windowId(host);
  for (int cycle = 0; cycle < 200; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    ASSERT_EQ(dispatch(effEditOpen, 0, host), 1);
    set(GainLF, static_cast<float>(cycle % 10) / 10.0f);
    set(DisplayMode, static_cast<float>(cycle % 2));
    dispatch(effEditIdle);
    if (cycle % 50 == 0) settle();
    ASSERT_EQ(testx11::childWindows(hostId).size(), 1u);
    dispatch(effEditClose);
    testx11::sync();
    ASSERT_TRUE(testx11::childWindows(hostId).empty());
  }
  ASSERT_TRUE(open());
  EXPECT_FALSE(picture().empty());
}

TEST_F(X11Lifetime, AHostThatDestroysItsWindowFirstLeavesTheEditorClosable) {
  ASSERT_TRUE(open());
  const std::uint32_t editor = editorWindow();
  testx11::destroyHostWindow(host);
  EXPECT_FALSE(testx11::windowExists(editor));
  // Parameter changes, idles and the close find nothing to draw on and do no harm.
  set(GainLF, 0.25f);
  settle();
  dispatch(effEditClose);
  settle();
  host = testx11::createHostWindow(kHostX, kHostY, kWidth, kHeight);
  ASSERT_TRUE(open());
  EXPECT_FALSE(picture().empty());
}

// The host closes the editor from its idle while a knob's loop runs (the loop gives the host
// its idle): the loop ends, the window goes once the click's delivery is over, and nothing of
// the closed editor is touched.
TEST_F(X11Lifetime, AHostThatClosesTheEditorDuringADragLeavesNothingBehind) {
  ASSERT_TRUE(open());
  const layout::ControlItem& knob = testing::controlOf(layout::Role::GainKnob, 3);
  const platform::Position above = screenOf(knob.rect.left + 20, knob.rect.top - 10);
  testing::userSteps = {[above] { testx11::movePointer(above); },
                        [this] { dispatch(effEditClose); }};
  testx11::movePointer(centreOf(knob));
  testx11::button(1, true);
  settle();
  testx11::button(1, false);
  settle();
  EXPECT_TRUE(testing::userSteps.empty());
  EXPECT_TRUE(testx11::childWindows(testx11::windowId(host)).empty());
  ASSERT_TRUE(open());
  EXPECT_FALSE(picture().empty());
}

TEST_F(X11Lifetime, AParentThatIsNoWindowIsRefusedAndALaterOpenWorks) {
  void* gone = testx11::createHostWindow(0, 0, 10, 10);
  testx11::destroyHostWindow(gone);
  void* const refused[] = {nullptr, gone, reinterpret_cast<void*>(std::uintptr_t{0x7FFFFFFF}),
                           reinterpret_cast<void*>(~std::uintptr_t{0})};
  for (void* parent : refused) {
    SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(parent));
    EXPECT_EQ(dispatch(effEditOpen, 0, parent), 0);
    dispatch(effEditIdle);
    dispatch(effEditClose);
  }
  ASSERT_TRUE(open());
  EXPECT_EQ(testx11::childWindows(testx11::windowId(host)).size(), 1u);
}

TEST_F(X11Lifetime, WithoutAnXServerTheOpenAnswersZeroAndALaterOneWorks) {
  const std::string display = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
  unsetenv("DISPLAY");
  EXPECT_EQ(dispatch(effEditOpen, 0, host), 0);
  dispatch(effEditIdle);
  dispatch(effEditClose);
  setenv("DISPLAY", ":99999", 1);  // a display nobody serves
  EXPECT_EQ(dispatch(effEditOpen, 0, host), 0);
  setenv("DISPLAY", display.c_str(), 1);
  ASSERT_TRUE(open());
  EXPECT_FALSE(picture().empty());
}

}  // namespace
}  // namespace kestrane
