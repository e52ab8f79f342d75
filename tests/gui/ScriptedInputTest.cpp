// What needs scripted input and time (the headless backend only): clicks delivered through the
// window, mouse positions relative to the window, a modal drag loop, the pacing of pumpIdle,
// and cursor shapes.
#include <gtest/gtest.h>

#include <vector>

#include "EditorTestSupport.h"
#include "GuiTestSupport.h"
#include "platform/headless/Headless.h"

namespace kestrane {
namespace {

namespace headless = platform::headless;
using testing::Canvas;
using testing::HostLog;
using testing::TestEditor;
using testing::TestEffect;

// A view that follows a drag the way controls do: poll the buttons, read the position, pump
// the editor's idle, until the left button is up.
class DragView : public View {
 public:
  explicit DragView(const Rect& rect) : View(rect) {}
  void mouse(DrawContext* context, Point& where) override {
    start = where;
    int32_t buttons = 0;
    while ((buttons = context->getMouseButtons()) & kLButton) {
      looks.push_back(buttons);
      context->getMouseLocation(last);
      ++passes;
      if (EditorBase* editor = getFrame()->getEditor()) editor->pumpIdle();
    }
  }
  Point start;
  Point last;
  int passes = 0;
  std::vector<int32_t> looks;  // the button state of every pass
};

class ScriptedEditor : public ::testing::Test {
 protected:
  ScriptedEditor() {
    headless::resetInput();
    HostLog::reset();
    host = headless::createHostWindow(platform::Bounds{100, 200, 800, 800});
    effect = new TestEffect;
    editor = new TestEditor(effect, 200, 120);
    editor->open(host);
  }
  ~ScriptedEditor() override {
    delete effect;
    headless::destroyHostWindow(host);
    headless::resetInput();
  }
  platform::WindowRef window() { return editor->getFrame()->getSystemWindow(); }

  platform::WindowRef host;
  TestEffect* effect;
  TestEditor* editor;
};

TEST_F(ScriptedEditor, AClickReachesTheViewWithClientCoordinatesAndTheDragIsTracked) {
  auto* view = new DragView(Rect(10, 10, 60, 40));
  editor->getFrame()->addView(view);
  headless::scriptInput({{kLButton, {120, 220}},
                         {kLButton, {125, 221}},
                         {kLButton | kShift, {130, 224}},
                         {0, {131, 224}}});
  headless::sendMouseDown(window(), platform::Position{20, 20});
  EXPECT_EQ(view->start.h, 20);
  EXPECT_EQ(view->start.v, 20);
  EXPECT_EQ(view->passes, 3);
  // Screen position minus the window's screen origin (100, 200).
  EXPECT_EQ(view->last.h, 30);
  EXPECT_EQ(view->last.v, 24);
  EXPECT_EQ(headless::scriptRemaining(), 0u);
}

TEST_F(ScriptedEditor, AModalLoopEndsWhenTheScriptRunsOut) {
  auto* view = new DragView(Rect(0, 0, 50, 50));
  editor->getFrame()->addView(view);
  headless::scriptInput({{kLButton, {110, 210}}, {kLButton, {111, 210}}});
  headless::sendMouseDown(window(), platform::Position{5, 5});
  EXPECT_EQ(view->passes, 2);
}

TEST_F(ScriptedEditor, TheClickedButtonCountsAtTheFirstLookOnlyEvenWhenAlreadyUp) {
  auto* view = new DragView(Rect(0, 0, 50, 50));
  editor->getFrame()->addView(view);
  // Released before anyone looked, shift still held: one pass, with the live modifiers.
  headless::setInput({kShift, {110, 210}});
  headless::sendMouseDown(window(), platform::Position{10, 10}, kLButton);
  EXPECT_EQ(view->passes, 1);
  ASSERT_EQ(view->looks.size(), 1u);
  EXPECT_EQ(view->looks[0], kLButton | kShift);
  EXPECT_EQ(view->last.h, 10);
  // The right button's press is no left click; a held press polls the script as before.
  headless::sendMouseDown(window(), platform::Position{10, 10}, kRButton);
  EXPECT_EQ(view->passes, 1);
  headless::scriptInput({{kLButton, {110, 210}}, {kLButton, {112, 210}}, {0, {112, 210}}});
  headless::sendMouseDown(window(), platform::Position{10, 10}, kLButton);
  EXPECT_EQ(view->passes, 3);
  EXPECT_EQ(headless::scriptRemaining(), 0u);
}

TEST_F(ScriptedEditor, FrameMouseLocationAndViewUnderTheMouse) {
  auto* below = new DragView(Rect(0, 0, 100, 100));
  auto* above = new DragView(Rect(50, 50, 80, 80));
  editor->getFrame()->addView(below);
  editor->getFrame()->addView(above);
  headless::setInput({0, {100 + 80, 200 + 80}});
  Point where;
  editor->getFrame()->getMouseLocation(where);
  EXPECT_EQ(where.h, 80);
  EXPECT_EQ(where.v, 80);
  EXPECT_EQ(editor->getFrame()->getViewAt(), above);
  headless::setInput({0, {100 + 81, 200 + 20}});
  EXPECT_EQ(editor->getFrame()->getViewAt(), below);
  headless::setInput({0, {100 + 150, 200 + 20}});
  EXPECT_EQ(editor->getFrame()->getViewAt(), nullptr);
}

TEST_F(ScriptedEditor, PumpIdleSleepsBetweenPollsAndAsksTheHostAtMostEvery50Ms) {
  const uint32_t opened = platform::tickCount();
  // Construction noted the time; 100 ms later a pass is a full one at once: no sleep.
  headless::advanceClock(100);
  editor->pumpIdle();
  EXPECT_EQ(HostLog::idleRequests, 1);
  EXPECT_EQ(headless::sleepCount(), 0u);
  // Right after a full pass: idle runs, 4 ms sleep, no paint, no host idle.
  headless::invalidateWindow(window());
  const int updates = editor->updates;
  editor->postUpdate();
  editor->pumpIdle();
  EXPECT_EQ(editor->updates, updates + 1);
  EXPECT_EQ(HostLog::idleRequests, 1);
  EXPECT_EQ(headless::sleptMilliseconds(), 4u);
  EXPECT_TRUE(headless::paintPending(window()));
  // Twelve sleeps of 4 ms later the pass that reaches 50 ms is full again.
  int calls = 1;
  while (HostLog::idleRequests == 1 && calls < 100) {
    editor->pumpIdle();
    ++calls;
  }
  EXPECT_EQ(calls, 13);
  EXPECT_EQ(HostLog::idleRequests, 2);
  EXPECT_FALSE(headless::paintPending(window()));
  EXPECT_EQ(platform::tickCount(), opened + 100 + 52);
}

TEST_F(ScriptedEditor, PumpIdleSurvivesTheTickCounterWrappingAround) {
  headless::setTickCount(0xFFFFFFF0u);
  auto* wrapped = new TestEditor(new TestEffect, 10, 10);  // notes the time just before the wrap
  AudioEffect* owner = wrapped->getEffect();
  headless::advanceClock(10);  // 10 ms later, with the deadlines past the wrap
  wrapped->pumpIdle();  // a short pass, not a full one
  EXPECT_EQ(HostLog::idleRequests, 0);
  EXPECT_EQ(headless::sleepCount(), 1u);
  delete owner;
}

TEST_F(ScriptedEditor, CursorKindsAndTheSavedCursor) {
  Frame* frame = editor->getFrame();
  const platform::CursorRef original = platform::currentCursor();
  frame->setCursor(2);
  EXPECT_EQ(platform::currentCursor(), platform::systemCursor(platform::CursorShape::SizeWE));
  frame->setCursor(42);  // unknown kinds change nothing
  EXPECT_EQ(platform::currentCursor(), platform::systemCursor(platform::CursorShape::SizeWE));
  frame->setCursor(0);
  EXPECT_EQ(platform::currentCursor(), original);
}

TEST_F(ScriptedEditor, ModifierStateIsReadLiveWithoutTakingAScriptStep) {
  Canvas canvas(2, 2);
  headless::setInput({kShift | kAlt, {0, 0}});
  EXPECT_TRUE(platform::keyDown(platform::Key::Shift));
  EXPECT_FALSE(platform::keyDown(platform::Key::Control));
  EXPECT_EQ(canvas.context().getMouseButtons(), kShift | kAlt);
}

}  // namespace
}  // namespace kestrane
