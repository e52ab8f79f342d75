// Views and the frame without a window: reference counting, ownership, the view array, hit
// testing (last added wins, inclusive edges), focus, drawing order and dirty flags, drops.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

#include "GuiTestSupport.h"
#include "gui/Bitmap.h"
#include "gui/Frame.h"

namespace kestrane {
namespace {

using testing::RecordingView;
using testing::ViewLog;

class FrameWithoutWindow : public ::testing::Test {
 protected:
  FrameWithoutWindow() : frame(new Frame(Rect(0, 0, 200, 100), nullptr, nullptr)) {}
  ~FrameWithoutWindow() override { delete frame; }
  // Logs outlive the frame, which releases its views when the fixture ends.
  ViewLog& newLog() { return logs.emplace_back(); }
  std::deque<ViewLog> logs;
  RecordingView* add(const Rect& size, ViewLog& log, bool acceptDrops = false) {
    auto* view = new RecordingView(size, log, acceptDrops);
    EXPECT_TRUE(frame->addView(view));
    return view;
  }
  Frame* frame;
};

TEST(ViewReferences, RetainAndReleaseCountAndTheLastReleaseDeletes) {
  ViewLog log;
  auto* view = new RecordingView(Rect(0, 0, 10, 10), log);
  EXPECT_EQ(view->getRefCount(), 1);
  view->retain();
  EXPECT_EQ(view->getRefCount(), 2);
  view->release();
  EXPECT_FALSE(log.destroyed);
  view->release();
  EXPECT_TRUE(log.destroyed);
}

TEST(ViewDefaults, StartDirtyMouseEnabledOpaqueWithHitAreaEqualToSize) {
  ViewLog log;
  auto* view = new RecordingView(Rect(1, 2, 30, 40), log);
  Rect hit;
  view->getHitArea(hit);
  EXPECT_EQ(hit.right, 30);
  EXPECT_EQ(hit.bottom, 40);
  EXPECT_TRUE(view->isDirty());
  EXPECT_TRUE(view->getMouseEnabled());
  EXPECT_FALSE(view->getTransparency());
  view->setDirty(false);
  view->setSize(Rect(0, 0, 5, 5));
  EXPECT_TRUE(view->isDirty());
  view->release();
}

TEST_F(FrameWithoutWindow, TakesOverTheViewsReferenceAndReleasesItWhenDestroyed) {
  ViewLog& log = newLog();
  RecordingView* view = add(Rect(0, 0, 10, 10), log);
  EXPECT_EQ(view->getRefCount(), 1);
  EXPECT_EQ(view->getFrame(), frame);
  EXPECT_EQ(log.attachedCalls, 1);
  delete frame;
  frame = nullptr;
  EXPECT_EQ(log.removedCalls, 1);
  EXPECT_TRUE(log.destroyed);
}

TEST_F(FrameWithoutWindow, GrowsItsViewArrayPastEveryStepOfTen) {
  std::vector<View*> views;
  for (int i = 0; i < 25; ++i) views.push_back(add(Rect(0, 0, 1, 1), newLog()));
  EXPECT_EQ(frame->getViewCount(), 25);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(frame->getView(i), views[static_cast<std::size_t>(i)]);
}

TEST_F(FrameWithoutWindow, RemoveViewClosesTheGapAndReleasesOnlyWhenAsked) {
  ViewLog& a = newLog();
  ViewLog& b = newLog();
  ViewLog& c = newLog();
  RecordingView* first = add(Rect(0, 0, 1, 1), a);
  RecordingView* second = add(Rect(0, 0, 1, 1), b);
  RecordingView* third = add(Rect(0, 0, 1, 1), c);
  second->retain();
  EXPECT_TRUE(frame->removeView(second, true));
  EXPECT_FALSE(b.destroyed);
  EXPECT_EQ(b.removedCalls, 1);
  EXPECT_EQ(frame->getViewCount(), 2);
  EXPECT_EQ(frame->getView(0), first);
  EXPECT_EQ(frame->getView(1), third);
  EXPECT_FALSE(frame->containsView(second));
  // A view that is not in the frame is neither told nor released.
  EXPECT_FALSE(frame->removeView(second, true));
  EXPECT_EQ(b.removedCalls, 1);
  EXPECT_EQ(second->getRefCount(), 1);
  second->release();
  EXPECT_TRUE(b.destroyed);
  EXPECT_TRUE(frame->removeView(third, false));
  EXPECT_FALSE(c.destroyed);
  third->release();
}

TEST_F(FrameWithoutWindow, ClickGoesToTheLastAddedViewUnderIt) {
  ViewLog& below = newLog();
  ViewLog& above = newLog();
  add(Rect(10, 10, 50, 50), below);
  add(Rect(30, 30, 80, 80), above);
  Point overlap(40, 40);
  frame->mouse(nullptr, overlap);
  EXPECT_EQ(above.mouses, 1);
  EXPECT_EQ(below.mouses, 0);
  Point belowOnly(15, 15);
  frame->mouse(nullptr, belowOnly);
  EXPECT_EQ(below.mouses, 1);
  Point nothing(150, 90);
  frame->mouse(nullptr, nothing);
  EXPECT_EQ(above.mouses + below.mouses, 2);
}

TEST_F(FrameWithoutWindow, HitTestsIncludeTheRightAndBottomEdges) {
  ViewLog& log = newLog();
  add(Rect(10, 20, 30, 40), log);
  for (Point p : {Point(30, 40), Point(10, 20), Point(30, 20), Point(10, 40)}) {
    frame->mouse(nullptr, p);
  }
  EXPECT_EQ(log.mouses, 4);
  for (Point p : {Point(31, 30), Point(20, 41), Point(9, 30), Point(20, 19)}) {
    frame->mouse(nullptr, p);
  }
  EXPECT_EQ(log.mouses, 4);
}

TEST_F(FrameWithoutWindow, MouseDisabledViewsLetTheClickThrough) {
  ViewLog& below = newLog();
  ViewLog& above = newLog();
  add(Rect(0, 0, 50, 50), below);
  add(Rect(0, 0, 50, 50), above)->setMouseEnabled(false);
  Point p(5, 5);
  frame->mouse(nullptr, p);
  EXPECT_EQ(above.mouses, 0);
  EXPECT_EQ(below.mouses, 1);
}

TEST_F(FrameWithoutWindow, AClickFirstTakesTheFocusAway) {
  ViewLog& focused = newLog();
  ViewLog& other = newLog();
  RecordingView* focus = add(Rect(0, 0, 10, 10), focused);
  add(Rect(20, 20, 30, 30), other);
  frame->setFocusView(focus);
  EXPECT_EQ(frame->getFocusView(), focus);
  Point p(25, 25);
  frame->mouse(nullptr, p);
  EXPECT_EQ(focused.lostFocus, 1);
  EXPECT_EQ(frame->getFocusView(), nullptr);
  EXPECT_EQ(other.mouses, 1);
}

TEST_F(FrameWithoutWindow, ANewFocusViewTakesTheFocusFromThePreviousOne) {
  ViewLog& a = newLog();
  ViewLog& b = newLog();
  RecordingView* first = add(Rect(0, 0, 10, 10), a);
  RecordingView* second = add(Rect(0, 0, 10, 10), b);
  frame->setFocusView(first);
  frame->setFocusView(second);
  EXPECT_EQ(a.lostFocus, 1);
  EXPECT_EQ(b.lostFocus, 0);
  // Removing the focus view does not leave the frame pointing at it.
  EXPECT_TRUE(frame->removeView(second, true));
  EXPECT_EQ(frame->getFocusView(), nullptr);
  EXPECT_EQ(b.lostFocus, 1);
  frame->setFocusView(first);
  frame->removeAll(true);
  EXPECT_EQ(a.lostFocus, 2);
  EXPECT_TRUE(a.destroyed);
  EXPECT_EQ(frame->getViewCount(), 0);
}

TEST_F(FrameWithoutWindow, FullDrawKeepsEachViewsPendingUpdate) {
  ViewLog& dirtyLog = newLog();
  ViewLog& cleanLog = newLog();
  RecordingView* dirty = add(Rect(0, 0, 10, 10), dirtyLog);
  RecordingView* clean = add(Rect(0, 0, 10, 10), cleanLog);
  clean->setDirty(false);
  frame->draw(nullptr);
  EXPECT_EQ(dirtyLog.draws, 1);
  EXPECT_EQ(cleanLog.draws, 1);
  EXPECT_TRUE(dirty->isDirty());
  EXPECT_FALSE(clean->isDirty());
  EXPECT_FALSE(frame->isFirstDraw());
  // update: the frame itself is dirty at first, so it draws whole once; then only dirty views.
  frame->update(nullptr);
  EXPECT_EQ(cleanLog.draws, 2);
  EXPECT_FALSE(frame->isDirty());
  frame->update(nullptr);
  EXPECT_EQ(dirtyLog.draws, 3);
  EXPECT_EQ(cleanLog.draws, 2);
  EXPECT_FALSE(dirty->isDirty());
}

TEST_F(FrameWithoutWindow, DropsGoToTheLastViewThatTakesThemUnlessAViewHasTheFocus) {
  ViewLog& refusing = newLog();
  ViewLog& taking = newLog();
  ViewLog& top = newLog();
  add(Rect(0, 0, 50, 50), taking, true);
  add(Rect(0, 0, 50, 50), refusing, false);
  add(Rect(0, 0, 50, 50), top, true)->setMouseEnabled(false);
  Point p(10, 10);
  EXPECT_TRUE(frame->onDrop(nullptr, 0, 0, p));
  EXPECT_EQ(top.drops, 0);
  EXPECT_EQ(refusing.drops, 1);
  EXPECT_EQ(taking.drops, 1);
  frame->setFocusView(frame->getView(0));
  EXPECT_FALSE(frame->onDrop(nullptr, 0, 0, p));
  Point outside(100, 90);
  frame->setFocusView(nullptr);
  EXPECT_FALSE(frame->onDrop(nullptr, 0, 0, outside));
}

TEST_F(FrameWithoutWindow, HoldsItsBackgroundByReference) {
  Bitmap* background = new Bitmap(902);
  frame->setBackground(background);
  EXPECT_EQ(background->getRefCount(), 2);
  frame->setBackground(background);  // the same one again
  EXPECT_EQ(background->getRefCount(), 2);
  frame->setBackground(nullptr);
  EXPECT_EQ(background->getRefCount(), 1);
  frame->setBackground(background);
  delete frame;
  frame = nullptr;
  EXPECT_EQ(background->getRefCount(), 1);
  background->release();
}

TEST_F(FrameWithoutWindow, HasNoWindowAndCannotTakeDrops) {
  EXPECT_EQ(frame->getSystemWindow(), nullptr);
  EXPECT_FALSE(frame->enableDrop(true));
  EXPECT_TRUE(frame->enableDrop(false));
  // Redrawing and idling without a window do nothing and do not fail.
  ViewLog& log = newLog();
  add(Rect(0, 0, 5, 5), log);
  frame->redrawView(nullptr);
  frame->idle();
  EXPECT_EQ(log.draws, 0);
}

}  // namespace
}  // namespace kestrane
