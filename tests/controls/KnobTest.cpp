// Knobs: the value-to-angle geometry and its dead zone, linear and circular drags with the fine
// factor, control-click to the default, the wheel, the edit bracket reaching the host, the end
// of a drag that cannot end by itself, and the film-strip frames of the animated knob.
#include <gtest/gtest.h>

#include <cmath>

#include "ControlTestSupport.h"
#include "gui/Knob.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::HeldBitmap;
using testing::HostCalls;
using testing::HostedControls;
using testing::region;
using testuser::Input;

constexpr float kPi = 3.14159265f;

// A 44-pixel knob with its handle point on the rim.
Knob* rimKnob() {
  auto* knob = new Knob(Rect(0, 0, 44, 44), nullptr, 0, nullptr, nullptr);
  knob->setInset(0);
  return knob;
}

void expectPoint(Knob* knob, float value, int h, int v) {
  knob->setValue(value);
  Point p;
  knob->pointForValue(p);
  EXPECT_EQ(p.h, h) << "value " << value;
  EXPECT_EQ(p.v, v) << "value " << value;
}

TEST(KnobGeometry, DefaultSweepPutsMinLowerLeftMidTopMaxLowerRight) {
  Knob* knob = rimKnob();
  expectPoint(knob, 0.0f, 6, 38);
  expectPoint(knob, 0.5f, 22, 0);
  expectPoint(knob, 1.0f, 38, 38);
  EXPECT_NEAR(knob->valueAtPoint(Point(0, 22)), 1.0f / 6.0f, 1e-5f);
  EXPECT_NEAR(knob->valueAtPoint(Point(44, 22)), 5.0f / 6.0f, 1e-5f);
  EXPECT_NEAR(knob->valueAtPoint(Point(22, 0)), 0.5f, 1e-5f);
  // Just inside the ends, near the lower corners.
  EXPECT_NEAR(knob->valueAtPoint(Point(2, 42)), 0.0f, 1e-5f);
  EXPECT_NEAR(knob->valueAtPoint(Point(42, 42)), 1.0f, 1e-5f);
  knob->release();
}

TEST(KnobGeometry, TheDeadZoneBelowTheCentreGivesTheNearerEnd) {
  Knob* knob = rimKnob();
  EXPECT_EQ(knob->valueAtPoint(Point(21, 44)), 0.0f);
  EXPECT_EQ(knob->valueAtPoint(Point(23, 44)), 1.0f);
  EXPECT_EQ(knob->valueAtPoint(Point(10, 40)), 0.0f);
  EXPECT_EQ(knob->valueAtPoint(Point(34, 40)), 1.0f);
  // Another range: the ends keep their meaning.
  knob->setMin(-2.0f);
  knob->setMax(2.0f);
  EXPECT_EQ(knob->valueAtPoint(Point(21, 44)), -2.0f);
  EXPECT_EQ(knob->valueAtPoint(Point(23, 44)), 2.0f);
  EXPECT_NEAR(knob->valueAtPoint(Point(22, 0)), 0.0f, 1e-5f);
  knob->release();
}

TEST(KnobGeometry, ACounterClockwiseSweepMirrorsTheDefault) {
  Knob* knob = rimKnob();
  knob->setSweepStart(-kPi / 4.0f);  // lower right
  knob->setSweepAngle(3.0f * kPi / 2.0f);
  EXPECT_NEAR(knob->valueAtPoint(Point(44, 22)), 1.0f / 6.0f, 1e-5f);
  EXPECT_NEAR(knob->valueAtPoint(Point(0, 22)), 5.0f / 6.0f, 1e-5f);
  EXPECT_EQ(knob->valueAtPoint(Point(23, 44)), 0.0f);  // next to the start
  EXPECT_EQ(knob->valueAtPoint(Point(21, 44)), 1.0f);  // next to the end
  expectPoint(knob, 0.0f, 38, 38);
  expectPoint(knob, 1.0f, 6, 38);
  knob->release();
}

TEST(KnobGeometry, SweepSettersMarkDirtyAndAHandleBitmapSetsTheInset) {
  HeldBitmap handle(901);  // a test strip; its width decides the inset
  auto* knob = new Knob(Rect(0, 0, 44, 44), nullptr, 0, nullptr, handle.get());
  EXPECT_EQ(knob->getInset(),
            static_cast<int32_t>(static_cast<float>(handle->getWidth()) * 0.5f + 2.5f));
  EXPECT_EQ(handle->getRefCount(), 2);
  knob->setDirty(false);
  knob->setSweepAngle(-kPi);
  EXPECT_TRUE(knob->isDirty());
  knob->setHandleImage(nullptr);
  EXPECT_EQ(handle->getRefCount(), 1);
  knob->release();
}

TEST(KnobWheel, StepsScaledByShiftClampedAndRefusedWhenDisabled) {
  platform::testuser::hold({0, {0, 0}});
  testing::RecordingListener heard;
  auto* knob = new Knob(Rect(0, 0, 44, 44), &heard, 7, nullptr, nullptr);
  Point where;
  knob->setValue(0.5f);
  EXPECT_TRUE(knob->onWheel(nullptr, where, 2.0f));
  EXPECT_NEAR(knob->getValue(), 0.7f, 1e-6f);
  platform::testuser::hold({kShift, {0, 0}});
  EXPECT_TRUE(knob->onWheel(nullptr, where, -1.0f));
  EXPECT_NEAR(knob->getValue(), 0.69f, 1e-6f);
  platform::testuser::hold({0, {0, 0}});
  knob->onWheel(nullptr, where, 10.0f);
  EXPECT_EQ(knob->getValue(), 1.0f);
  EXPECT_EQ(heard.calls(), 3);
  knob->setDirty(false);
  knob->onWheel(nullptr, where, 1.0f);  // stays at max: not dirty, nobody told
  EXPECT_EQ(heard.calls(), 3);
  knob->setMouseEnabled(false);
  EXPECT_FALSE(knob->onWheel(nullptr, where, -1.0f));
  EXPECT_EQ(knob->getValue(), 1.0f);
  knob->release();
}

// --- Drags -----------------------------------------------------------------------------------

class KnobDrag : public HostedControls {
 protected:
  // A 44 x 34 knob at (100, 60) with tag 9.
  KnobDrag() : knob(add(new Knob(Rect(100, 60, 144, 94), &listener, 9, nullptr, nullptr))) {}
  Input at(int buttons, int h, int v) const { return Input{buttons, screen(h, v)}; }
  // A value the knob shows already (not dirty), and nothing heard yet.
  void reset(float value) {
    knob->setValue(value);
    knob->setDirty(false);
    listener.values.clear();
  }
  Knob* knob;
};

TEST_F(KnobDrag, LinearTwoHundredPixelsRightOrUpCoverTheRangeInsideOneEditBracket) {
  editor->setKnobMode(2);
  reset(0.0f);
  press(120, 70, kLButton,
        {at(kLButton, 220, 70), at(kLButton, 320, 70), at(kLButton, 330, 70), at(0, 330, 70)});
  EXPECT_EQ(knob->getValue(), 1.0f);
  ASSERT_FALSE(listener.values.empty());
  EXPECT_NEAR(listener.values.front(), 0.5f, 1e-6f);  // 100 pixels
  ASSERT_EQ(HostCalls::edits.size(), 2u);
  EXPECT_EQ(HostCalls::edits[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(HostCalls::edits[0].index, 9);
  EXPECT_EQ(HostCalls::edits[1].opcode, audioMasterEndEdit);
  EXPECT_EQ(HostCalls::edits[1].index, 9);

  // Upwards from the top, then down past the bottom: clamped at both ends.
  reset(0.0f);
  press(120, 70, kLButton, {at(kLButton, 120, -30), at(kLButton, 120, 170), at(0, 120, 170)});
  EXPECT_EQ(knob->getValue(), 0.0f);
  EXPECT_NEAR(listener.values[listener.values.size() - 2], 0.5f, 1e-6f);
  EXPECT_EQ(HostCalls::count(audioMasterBeginEdit), 2);
  EXPECT_EQ(HostCalls::count(audioMasterEndEdit), 2);
}

TEST_F(KnobDrag, ShiftInMidDragContinuesFromTheCurrentValueOneAndAHalfTimesFiner) {
  editor->setKnobMode(2);
  reset(0.0f);
  press(120, 70, kLButton,
        {at(kLButton, 220, 70), at(kLButton | kShift, 221, 70), at(kLButton | kShift, 251, 70),
         at(0, 251, 70)});
  // No jump when shift goes down: every report lies within one pixel's worth of the last.
  float previous = 0.0f;
  for (float v : listener.values) {
    if (v > 0.5f) {
      EXPECT_LT(v - previous, 30.0f / 300.0f + 1.0f / 200.0f) << v;
    }
    previous = v;
  }
  // 100 pixels at 1/200, then about 30 at 1/300.
  EXPECT_NEAR(knob->getValue(), 0.6f, 0.006f);
  // Holding shift from the start: 300 pixels for the range.
  reset(0.0f);
  press(120, 70, kLButton | kShift, {at(kLButton | kShift, 270, 70), at(0, 270, 70)});
  EXPECT_NEAR(knob->getValue(), 0.5f, 1e-6f);
}

TEST_F(KnobDrag, AltSwapsTheDragModes) {
  // Knob mode 0: circular, alt linear.
  reset(0.0f);
  press(120, 70, kLButton | kAlt, {at(kLButton | kAlt, 170, 70), at(0, 170, 70)});
  EXPECT_NEAR(knob->getValue(), 0.25f, 1e-6f);
  // Knob mode 2: linear, alt circular: a drag to the knob's top sets 0.5 wherever it started.
  editor->setKnobMode(2);
  reset(0.0f);
  press(101, 77, kLButton | kAlt, {at(kLButton | kAlt, 122, 40), at(0, 122, 40)});
  EXPECT_NEAR(knob->getValue(), 0.5f, 0.02f);
}

TEST_F(KnobDrag, CircularDragAcrossTheDeadZoneSticksToTheEndItCameFrom) {
  // Radius 22 about (122, 82): start near the maximum, go round through the bottom to the left.
  reset(0.0f);
  press(143, 89, kLButton,
        {at(kLButton, 130, 100), at(kLButton, 114, 100), at(kLButton, 102, 92), at(0, 102, 92)});
  EXPECT_EQ(knob->getValue(), 1.0f);
  EXPECT_NEAR(listener.values.front(), 0.9f, 0.03f);
  // Back the other way from the minimum side.
  press(102, 92, kLButton, {at(kLButton, 114, 100), at(kLButton, 130, 100), at(0, 130, 100)});
  EXPECT_EQ(knob->getValue(), 0.0f);
}

TEST_F(KnobDrag, ControlClickSetsTheDefaultWithoutAnEditBracketControlShiftDrags) {
  knob->setDefaultValue(0.25f);
  knob->setValue(0.8f);
  knob->setDirty(false);
  press(120, 70, kLButton | kControl);
  EXPECT_EQ(knob->getValue(), 0.25f);
  EXPECT_EQ(listener.calls(), 1);
  EXPECT_TRUE(HostCalls::edits.empty());
  // Already at the default: not dirty, nobody told.
  knob->setDirty(false);
  press(120, 70, kLButton | kControl);
  EXPECT_EQ(listener.calls(), 1);
  // Control and shift together drag.
  press(120, 70, kLButton | kControl | kShift, {at(0, 120, 70)});
  EXPECT_EQ(HostCalls::count(audioMasterBeginEdit), 1);
  EXPECT_EQ(HostCalls::count(audioMasterEndEdit), 1);
}

TEST_F(KnobDrag, ATapIsAClickAtOnePointInsideOneEditBracket) {
  // Circular: the value under the tap (the knob's top is the middle of the range).
  reset(0.0f);
  tap(122, 61, kLButton);
  EXPECT_NEAR(knob->getValue(), 0.5f, 0.02f);
  EXPECT_EQ(listener.calls(), 1);
  ASSERT_EQ(HostCalls::edits.size(), 2u);
  EXPECT_EQ(HostCalls::edits[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(HostCalls::edits[1].opcode, audioMasterEndEdit);
  // Linear: no distance, no change.
  editor->setKnobMode(2);
  reset(0.3f);
  tap(122, 61, kLButton);
  EXPECT_EQ(knob->getValue(), 0.3f);
  EXPECT_EQ(listener.calls(), 0);
  EXPECT_EQ(HostCalls::count(audioMasterEndEdit), 2);
  // Control-tap: the default value.
  knob->setDefaultValue(0.75f);
  tap(122, 61, kLButton | kControl);
  EXPECT_EQ(knob->getValue(), 0.75f);
  EXPECT_EQ(HostCalls::count(audioMasterBeginEdit), 2);
}

TEST_F(KnobDrag, NothingWithoutTheLeftButtonOrWhenDisabled) {
  reset(0.3f);
  press(120, 70, kRButton);
  knob->setMouseEnabled(false);
  press(120, 70, kLButton, {at(kLButton, 200, 70), at(0, 200, 70)});
  EXPECT_EQ(knob->getValue(), 0.3f);
  EXPECT_EQ(listener.calls(), 0);
  EXPECT_TRUE(HostCalls::edits.empty());
}

TEST_F(KnobDrag, TheHostClosingTheEditorDuringTheDragEndsItWithItsEndEdit) {
  editor->setKnobMode(2);
  knob->setValue(0.0f);
  HostCalls::onIdle = [this] {
    if (HostCalls::idles == 1) editor->close();
  };
  // Plenty of moves: the loop must stop at the close, not when they run out.
  std::vector<Input> moves;
  for (int i = 1; i <= 400; ++i) moves.push_back(at(kLButton, 120 + i % 50, 70));
  press(120, 70, kLButton, moves);
  EXPECT_EQ(editor->getFrame(), nullptr);
  EXPECT_EQ(HostCalls::count(audioMasterBeginEdit), 1);
  EXPECT_EQ(HostCalls::count(audioMasterEndEdit), 1);
}

// --- Film-strip frames ------------------------------------------------------------------------

class AnimatedKnobFrames : public ::testing::Test {
 protected:
  // The lookahead knob's strip: 37 frames of 44 x 34.
  AnimatedKnobFrames()
      : strip(113), knob(new AnimatedKnob(Rect(0, 0, 44, 34), nullptr, 0, 37, 34, strip.get())) {}
  ~AnimatedKnobFrames() override { knob->release(); }
  // The knob drawn at a value equals the strip drawn from offset.
  void expectFrame(float value, int offset) {
    Canvas drawn(44, 34);
    Canvas expected(44, 34);
    knob->setValue(value);
    knob->draw(&drawn.context());
    strip->draw(&expected.context(), Rect(0, 0, 44, 34), Point(0, offset));
    EXPECT_EQ(region(drawn, Rect(0, 0, 44, 34)), region(expected, Rect(0, 0, 44, 34)))
        << "value " << value << " should show offset " << offset;
  }
  HeldBitmap strip;
  AnimatedKnob* knob;
};

TEST_F(AnimatedKnobFrames, ValueChoosesTheFrameAtOrBelowItsPosition) {
  ASSERT_EQ(strip->getHeight(), 1258);
  expectFrame(0.0f, 0);
  expectFrame(-0.5f, 0);
  expectFrame(0.5f, 612);
  expectFrame(0.51f, 612);  // 624 lies inside frame 18
  expectFrame(0.53f, 612 + 34);
  expectFrame(1.0f, 1224);
  expectFrame(0.999f, 1190);  // not rounded up
  expectFrame(3.0f, 1224);    // past the end of the strip: still the last frame
  EXPECT_FALSE(knob->isDirty());
  EXPECT_EQ(knob->getInset(), 0);
}

}  // namespace
}  // namespace kestrane
