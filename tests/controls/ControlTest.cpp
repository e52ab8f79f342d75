// The control base (dirty rules, the background it holds, leaving the frame), the
// on/off button and the film-strip display.
#include <gtest/gtest.h>

#include "ControlTestSupport.h"
#include "gui/FilmStripDisplay.h"
#include "gui/OnOffButton.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::HeldBitmap;
using testing::HostedControls;
using testing::region;

TEST(ControlDirtyRules, DirtyWhileTheValueDiffersFromTheOneLastDrawn) {
  auto* control = new OnOffButton(Rect(0, 0, 10, 10), nullptr, 3, nullptr);
  EXPECT_EQ(control->getOldValue(), 1.0f);
  EXPECT_EQ(control->getDefaultValue(), 0.5f);
  EXPECT_EQ(control->getWheelStep(), 0.1f);
  EXPECT_TRUE(control->isDirty());
  control->setDirty(false);
  EXPECT_FALSE(control->isDirty());
  EXPECT_EQ(control->getOldValue(), control->getValue());
  control->setValue(0.25f);
  EXPECT_TRUE(control->isDirty());
  control->setDirty(false);
  // Marking dirty makes the old value differ, also for a value of -1.
  control->setDirty(true);
  EXPECT_EQ(control->getOldValue(), -1.0f);
  control->setValue(-1.0f);
  control->setDirty(true);
  EXPECT_EQ(control->getOldValue(), 0.0f);
  EXPECT_TRUE(control->isDirty());
  control->release();
}

TEST(ControlBackground, HeldWhileSetAndLetGoOnReplacementAndDestruction) {
  HeldBitmap first(129);
  HeldBitmap second(111);
  auto* control = new OnOffButton(Rect(0, 0, 21, 31), nullptr, 0, first.get());
  EXPECT_EQ(first->getRefCount(), 2);
  control->setBackground(second.get());
  EXPECT_EQ(first->getRefCount(), 1);
  EXPECT_EQ(second->getRefCount(), 2);
  EXPECT_EQ(control->getBackground(), second.get());
  control->setBackground(second.get());  // the same again: still held once
  EXPECT_EQ(second->getRefCount(), 2);
  control->release();
  EXPECT_EQ(second->getRefCount(), 1);
}

TEST(ControlInFrame, TakenOutOfTheFrameItForgetsIt) {
  Frame frame(Rect(0, 0, 50, 50), nullptr, nullptr);
  auto* control = new OnOffButton(Rect(0, 0, 10, 10), nullptr, 0, nullptr);
  frame.addView(control);
  EXPECT_EQ(control->getFrame(), &frame);
  frame.removeView(control, false);
  EXPECT_EQ(control->getFrame(), nullptr);
  control->pumpIdle();  // no frame, no editor: nothing to do
  control->release();
}

// --- On/off button ----------------------------------------------------------------------------

TEST(OnOffButtonDrawing, OffIsTheUpperHalfAndAnyOtherValueTheLowerHalf) {
  HeldBitmap states(129);  // 21 x 62: two states of 21 x 31
  auto* button = new OnOffButton(Rect(2, 3, 23, 34), nullptr, 0, states.get());
  Canvas drawn(30, 40);
  Canvas expected(30, 40);
  const Rect area(2, 3, 23, 34);
  for (float value : {0.0f, 1.0f, 0.4f}) {
    button->setValue(value);
    button->draw(&drawn.context());
    EXPECT_FALSE(button->isDirty());
    states->draw(&expected.context(), area, Point(0, value == 0.0f ? 0 : 31));
    EXPECT_EQ(region(drawn, area), region(expected, area)) << "value " << value;
  }
  button->release();
}

class OnOffButtonClicks : public HostedControls {
 protected:
  OnOffButtonClicks() : states(129), button(add(new OnOffButton(Rect(10, 10, 31, 41), &listener,
                                                                 44, states.get()))) {}
  HeldBitmap states;
  OnOffButton* button;
};

TEST_F(OnOffButtonClicks, ALeftClickTogglesOnTheIntegerPartAndAlwaysTellsTheListener) {
  button->setValue(0.7f);
  press(20, 20, kLButton);
  EXPECT_EQ(button->getValue(), 1.0f);
  press(20, 20, kLButton);
  EXPECT_EQ(button->getValue(), 0.0f);
  button->setValue(1.5f);
  press(31, 41, kLButton);  // the bottom right corner still hits
  EXPECT_EQ(button->getValue(), 0.0f);
  EXPECT_EQ(listener.calls(), 3);
  EXPECT_FALSE(button->isDirty());  // drawn at once
  // Neither the right button nor a disabled button toggles.
  press(20, 20, kRButton);
  button->setMouseEnabled(false);
  press(20, 20, kLButton);
  EXPECT_EQ(button->getValue(), 0.0f);
  EXPECT_EQ(listener.calls(), 3);
  EXPECT_TRUE(testing::HostCalls::edits.empty());
}

TEST_F(OnOffButtonClicks, ATapTogglesLikeAHeldClick) {
  button->setValue(0.0f);
  tap(20, 20, kLButton);
  EXPECT_EQ(button->getValue(), 1.0f);
  tap(20, 20, kLButton | kShift);
  EXPECT_EQ(button->getValue(), 0.0f);
  EXPECT_EQ(listener.calls(), 2);
  EXPECT_FALSE(button->isDirty());
  // A right tap is no click of the left button.
  tap(20, 20, kRButton);
  EXPECT_EQ(button->getValue(), 0.0f);
  EXPECT_EQ(listener.calls(), 2);
}

// --- Film-strip display -----------------------------------------------------------------------

TEST(FilmStripDisplayDrawing, TheValueRoundsToTheNearestFrameAndStopsAtTheLast) {
  HeldBitmap panel(110);  // 2 frames of 240 x 349
  auto* display = new FilmStripDisplay(Rect(0, 0, 240, 349), nullptr, 0, 2, 349, panel.get());
  const Rect area(0, 0, 240, 349);
  struct Case {
    float value;
    int offset;
  };
  for (const Case& c : {Case{0.0f, 0}, Case{0.49f, 0}, Case{0.5f, 349}, Case{1.0f, 349},
                        Case{1.7f, 349}, Case{-3.0f, 0}}) {
    Canvas drawn(240, 349);
    Canvas expected(240, 349);
    display->setValue(c.value);
    display->draw(&drawn.context());
    panel->draw(&expected.context(), area, Point(0, c.offset));
    EXPECT_EQ(region(drawn, area), region(expected, area)) << "value " << c.value;
  }
  EXPECT_EQ(display->getValue(), -3.0f);
  display->setValue(1.7f);
  Canvas canvas(240, 349);
  display->draw(&canvas.context());
  EXPECT_EQ(display->getValue(), 1.0f);  // a value above 1 is set to 1
  EXPECT_FALSE(display->isDirty());
  display->release();
}

}  // namespace
}  // namespace kestrane
