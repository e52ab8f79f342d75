// The frame's child window inside a host window, on both backends: the shared window class and
// its use counter, painting, idle redraw after the first paint, and a host that closes its
// window before the plug-in does (the drop target goes with the window).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "GuiTestSupport.h"
#include "gui/Bitmap.h"
#include "gui/Frame.h"
#include "platform/TestDrop.h"
#include "platform/TestHost.h"

namespace kestrane {
namespace {

using testing::RecordingView;
using testing::ViewLog;
using testing::rgb;

class FrameInHostWindow : public ::testing::Test {
 protected:
  FrameInHostWindow() : host(platform::testhost::createHostWindow(40, 60, 320, 240)) {}
  ~FrameInHostWindow() override { platform::testhost::destroyHostWindow(host); }
  void* host;
};

TEST_F(FrameInHostWindow, TwoFramesShareOneWindowClassUntilTheLastCloses) {
  ASSERT_NE(host, nullptr);
  const int before = platform::windowClassUseCount();
  auto* first = new Frame(Rect(0, 0, 50, 40), host, nullptr);
  ASSERT_NE(first->getSystemWindow(), nullptr);
  EXPECT_EQ(platform::windowClassUseCount(), before + 1);
  auto* second = new Frame(Rect(0, 0, 60, 30), host, nullptr);
  ASSERT_NE(second->getSystemWindow(), nullptr);
  EXPECT_EQ(platform::windowClassUseCount(), before + 2);
  const char* name = platform::windowClassName();
  EXPECT_EQ(std::strncmp(name, "Plugin", 6), 0);
  EXPECT_EQ(std::strlen(name), 14u);
  delete first;
  EXPECT_EQ(platform::windowClassUseCount(), before + 1);
  // The class is still there for the second frame, and for a new one.
  auto* third = new Frame(Rect(0, 0, 20, 20), host, nullptr);
  EXPECT_NE(third->getSystemWindow(), nullptr);
  delete third;
  delete second;
  EXPECT_EQ(platform::windowClassUseCount(), before);
  // Registered again from scratch after the last one went.
  auto* again = new Frame(Rect(0, 0, 20, 20), host, nullptr);
  EXPECT_NE(again->getSystemWindow(), nullptr);
  EXPECT_EQ(platform::windowClassUseCount(), before + 1);
  delete again;
}

TEST_F(FrameInHostWindow, PaintDrawsTheBackgroundAndViewsIntoTheWindow) {
  auto* frame = new Frame(Rect(0, 0, 16, 12), host, nullptr);
  Bitmap* checker = new Bitmap(902);
  frame->setBackground(checker);
  checker->release();
  ViewLog log;
  frame->addView(new RecordingView(Rect(0, 0, 4, 4), log));
  EXPECT_TRUE(frame->isFirstDraw());
  platform::testhost::processMessages();
  EXPECT_FALSE(frame->isFirstDraw());
  EXPECT_EQ(log.draws, 1);
  platform::SurfaceRef surface = platform::acquireWindowSurface(frame->getSystemWindow());
  std::vector<platform::ColorRef> px(16 * 12);
  ASSERT_TRUE(platform::readPixels(surface, 0, 0, 16, 12, px.data()));
  platform::releaseWindowSurface(frame->getSystemWindow(), surface);
  EXPECT_EQ(px[0], rgb(kWhite));
  EXPECT_EQ(px[1], rgb(0x10 + 9, 0x20, 0x30));
  EXPECT_EQ(px[11 * 16 + 14], rgb(0x10 + 9 * 14, 0x20, 0x30 + 17 * 11));
  delete frame;
}

TEST_F(FrameInHostWindow, IdleDrawsNothingBeforeTheFirstPaintAndDirtyViewsAfterIt) {
  auto* frame = new Frame(Rect(0, 0, 40, 40), host, nullptr);
  ViewLog log;
  RecordingView* view = new RecordingView(Rect(0, 0, 10, 10), log);
  frame->addView(view);
  frame->idle();
  EXPECT_EQ(log.draws, 0);
  platform::testhost::processMessages();
  EXPECT_EQ(log.draws, 1);
  frame->idle();  // the frame itself is still dirty: drawn whole once
  EXPECT_EQ(log.draws, 2);
  view->setDirty(false);
  frame->idle();  // nothing dirty
  EXPECT_EQ(log.draws, 2);
  view->setDirty(true);
  frame->idle();
  EXPECT_EQ(log.draws, 3);
  EXPECT_FALSE(view->isDirty());
  frame->redrawView(view);
  EXPECT_EQ(log.draws, 4);
  delete frame;
}

TEST_F(FrameInHostWindow, AHostThatClosesItsWindowFirstLeavesAClosedFrame) {
  platform::initializeOle();  // as the editor has it while its frame lives
  const int before = platform::windowClassUseCount();
  const int targets = platform::testdrop::liveDropTargets();
  auto* frame = new Frame(Rect(0, 0, 40, 40), host, nullptr);
  EXPECT_EQ(platform::testdrop::liveDropTargets(), targets + 1);
  ViewLog log;
  RecordingView* view = new RecordingView(Rect(0, 0, 10, 10), log);
  frame->addView(view);
  platform::testhost::processMessages();
  EXPECT_TRUE(frame->isOpen());
  platform::testhost::destroyHostWindow(host);
  host = nullptr;
  EXPECT_FALSE(frame->isOpen());
  EXPECT_EQ(frame->getParentSystemWindow(), nullptr);
  // The drop target was revoked while the window still existed.
  EXPECT_EQ(platform::testdrop::liveDropTargets(), targets);
  EXPECT_TRUE(frame->enableDrop(false));
  const int draws = log.draws;
  view->setDirty(true);
  frame->update(nullptr);
  frame->idle();
  frame->redrawView(view);
  frame->redrawView(nullptr);
  Point origin(0, 0);
  EXPECT_FALSE(frame->onWheel(nullptr, origin, 1.0f));
  EXPECT_EQ(log.draws, draws);
  delete frame;
  EXPECT_EQ(platform::testdrop::liveDropTargets(), targets);
  platform::uninitializeOle();
  EXPECT_TRUE(log.destroyed);
  EXPECT_EQ(platform::windowClassUseCount(), before);
}

}  // namespace
}  // namespace kestrane
