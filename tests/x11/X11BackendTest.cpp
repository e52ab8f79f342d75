// The X11 backend itself, through the platform seam in this process: a child window in a host
// window of the test's own, its events delivered by processWindowEvents as an owner's idle
// would. What the editor tests cannot see from outside: the names a drop hands over, the wheel,
// the state a quick tap reports, the keys of an edit field, and the report when the host's
// window goes first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/x11/TestX11.h"

namespace kestrane::platform {
namespace {

class Recorder : public WindowHandler, public DropHandler, public EditFieldHandler {
 public:
  void windowPaint(SurfaceRef) override { ++paints; }
  void windowMouseDown(Position where, int button) override {
    downs.push_back(where);
    lastButton = button;
    firstPoll = pollButtons();
    secondPoll = pollButtons();
  }
  BrushRef windowEditFieldColors(SurfaceRef) override { return nullptr; }
  void windowDestroyed() override { ++destroyed; }
  void windowWheel(float distance) override { wheel += distance; }
  bool dropped(void** items, long count, long type, Position where) override {
    names.clear();
    for (long i = 0; i < (type == 0 ? count : 1); ++i) names.push_back(static_cast<char*>(items[i]));
    dropType = type;
    dropWhere = where;
    return true;
  }
  void editFieldDone() override { ++done; }

  int paints = 0;
  int destroyed = 0;
  float wheel = 0.0f;
  int lastButton = 0;
  std::vector<Position> downs;
  int firstPoll = -1;
  int secondPoll = -1;
  std::vector<std::string> names;
  long dropType = -1;
  Position dropWhere;
  int done = 0;
};

class X11Backend : public ::testing::Test {
 protected:
  static constexpr int kHostX = 50;
  static constexpr int kHostY = 60;

  void SetUp() override {
    ASSERT_TRUE(testx11::connect()) << "no X server at DISPLAY";
    host = testx11::createHostWindow(kHostX, kHostY, 300, 200);
    window = createChildWindow(host, 200, 100);
    ASSERT_NE(window, nullptr);
    setWindowHandler(window, &recorder);
    ASSERT_TRUE(registerDropTarget(window, &recorder));
    child = testx11::childWindows(testx11::windowId(host)).front();
    deliver();
  }
  void TearDown() override {
    if (window != nullptr) {
      revokeDropTarget(window);
      setWindowHandler(window, nullptr);
      destroyChildWindow(window);
    }
    testx11::destroyHostWindow(host);
  }
  void deliver(int rounds = 3) {
    for (int i = 0; i < rounds; ++i) {
      testx11::sync();
      processWindowEvents(window);
    }
  }
  template <typename Done>
  void exchange(testx11::DragSource& source, Done until) {
    // The editor's requests reach the server on its own connection: a round trip on the test's
    // one does not wait for them, so each round gives them a moment (a second at most in all).
    for (int round = 0; round < 500 && !until(); ++round) {
      deliver(1);
      source.serve();
      if (!until()) sleep(2);
    }
  }

  Recorder recorder;
  void* host = nullptr;
  WindowRef window = nullptr;
  std::uint32_t child = 0;
};


TEST_F(X11Backend, ADropHandsOverTheLocalFileNamesDecodedAndLeavesOutTheRest) {
  EXPECT_GE(recorder.paints, 1);  // the first exposure paints the window whole
  const std::string tooLong = "/tmp/" + std::string(1100, 'n');
  testx11::DragSource source("text/uri-list",
                             "# a comment\r\n"
                             "file:///tmp/kestrane%20one.wav\r\n"
                             "file://elsewhere.example/tmp/remote.wav\r\n"
                             "http://example.org/page\r\n"
                             "file://" + tooLong + "\r\n"
                             "file://localhost/tmp/two.wav\r\n"
                             "file:///tmp/broken%2\r\n");
  source.enter(child);
  source.position(child, {kHostX + 12, kHostY + 34});
  exchange(source, [&] { return source.statusSeen; });
  EXPECT_TRUE(source.accepted);
  source.drop(child);
  exchange(source, [&] { return source.finished; });
  EXPECT_TRUE(source.finished);
  EXPECT_EQ(source.dataRequests, 1);
  EXPECT_EQ(recorder.dropType, 0);
  EXPECT_EQ(recorder.names, (std::vector<std::string>{"/tmp/kestrane one.wav", "/tmp/two.wav"}));
  EXPECT_EQ(recorder.dropWhere.x, 12);
  EXPECT_EQ(recorder.dropWhere.y, 34);
  EXPECT_TRUE(source.finishedAccepted);
  EXPECT_EQ(source.finishedAction, "XdndActionCopy");  // taken: a copy, never a move

  testx11::DragSource text("UTF8_STRING", "-12 dB");
  text.enter(child);
  text.position(child, {kHostX + 5, kHostY + 5});
  exchange(text, [&] { return text.statusSeen; });
  text.drop(child);
  exchange(text, [&] { return text.finished; });
  EXPECT_EQ(recorder.dropType, 1);
  EXPECT_EQ(recorder.names, (std::vector<std::string>{"-12 dB"}));
}

TEST_F(X11Backend, TheWheelAndAQuickTapReachTheHandler) {
  testx11::movePointer({kHostX + 20, kHostY + 30});
  testx11::button(4, true);
  testx11::button(4, false);
  deliver();
  EXPECT_EQ(recorder.wheel, 1.0f);
  testx11::button(5, true);
  testx11::button(5, false);
  testx11::button(5, true);
  testx11::button(5, false);
  deliver();
  EXPECT_EQ(recorder.wheel, -1.0f);

  // Down and up again before the window hears of it: the handler's first poll still sees the
  // button that went down, the next one the live state.
  testx11::key(testx11::KeyShift, true);
  testx11::button(1, true);
  testx11::button(1, false);
  deliver();
  testx11::key(testx11::KeyShift, false);
  ASSERT_EQ(recorder.downs.size(), 1u);
  EXPECT_EQ(recorder.lastButton, LeftButtonBit);
  EXPECT_EQ(recorder.downs[0].x, 20);
  EXPECT_EQ(recorder.downs[0].y, 30);
  EXPECT_EQ(recorder.firstPoll, LeftButtonBit | ShiftBit);
  EXPECT_EQ(recorder.secondPoll, ShiftBit);
  const Bounds bounds = windowScreenBounds(window);
  EXPECT_EQ(bounds.left, kHostX);
  EXPECT_EQ(bounds.bottom, kHostY + 100);
}

TEST_F(X11Backend, AnEditFieldTakesTheKeysAndReportsReturnOnce) {
  FontRequest request;
  FontRef font = createFont(request);
  WindowRef field = createEditField(window, Bounds{10, 10, 80, 26}, "12.5", EditAlignment::Left,
                                    font, &recorder);
  ASSERT_NE(field, nullptr);
  deliver();
  testx11::key(testx11::KeyRight, true);  // the selection goes, the caret stays at the end
  testx11::key(testx11::KeyRight, false);
  testx11::key(testx11::KeyBackSpace, true);
  testx11::key(testx11::KeyBackSpace, false);
  testx11::typeText("75");
  testx11::key(testx11::KeyHome, true);
  testx11::key(testx11::KeyHome, false);
  testx11::typeText("-");
  deliver();
  char text[32] = "";
  EXPECT_EQ(editFieldText(field, text, sizeof text), 6);
  EXPECT_STREQ(text, "-12.75");
  EXPECT_EQ(recorder.done, 0);
  testx11::key(testx11::KeyReturn, true);
  testx11::key(testx11::KeyReturn, false);
  testx11::key(testx11::KeyReturn, true);
  testx11::key(testx11::KeyReturn, false);
  deliver();
  EXPECT_EQ(recorder.done, 1);
  destroyEditField(field);
  deleteFont(font);
  deliver();
  EXPECT_TRUE(testx11::childWindows(child).empty());
}

TEST_F(X11Backend, TheHostsWindowGoingFirstIsReportedOnceAndTheRestIsHarmless) {
  testx11::destroyHostWindow(host);
  host = nullptr;
  deliver();
  EXPECT_EQ(recorder.destroyed, 1);
  SurfaceRef surface = acquireWindowSurface(window);
  rectangle(surface, Bounds{0, 0, 10, 10});
  releaseWindowSurface(window, surface);
  EXPECT_EQ(windowScreenBounds(window).right, 0);
  deliver();
  EXPECT_EQ(recorder.destroyed, 1);
  setWindowHandler(window, nullptr);
  destroyChildWindow(window);
  window = nullptr;
}

}  // namespace
}  // namespace kestrane::platform
