// The X11 backend itself, through the platform seam in this process: a child window in a host
// window of the test's own, its events delivered by processWindowEvents as an owner's idle
// would. What the editor tests cannot see from outside: the names a drop hands over, the wheel,
// the state a quick tap reports, the keys of an edit field, its selection by keys and mouse and
// its clipboard with well- and ill-behaved owners, and the report when the host's window goes
// first.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/raster/Raster.h"
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

// An edit field at (10, 10)-(80, 26) of the child window, left aligned.
class X11Field : public X11Backend {
 protected:
  static constexpr int kFieldWidth = 70;
  static constexpr int kFieldHeight = 16;
  static constexpr ColorRef kSelectionColor = 0xD77800;

  void TearDown() override {
    closeField();
    deleteFont(font);
    X11Backend::TearDown();
  }
  void openField(const char* text) {
    closeField();
    if (font == nullptr) font = createFont(FontRequest{});
    field = createEditField(window, Bounds{10, 10, 10 + kFieldWidth, 10 + kFieldHeight}, text,
                            EditAlignment::Left, font, &recorder);
    ASSERT_NE(field, nullptr);
    deliver();
  }
  void closeField() {
    if (field != nullptr) destroyEditField(field);
    field = nullptr;
    deliver();
  }
  std::string text() {
    char buffer[64] = "";
    editFieldText(field, buffer, sizeof buffer);
    return buffer;
  }
  // Whether the server shows any of the field in the selection colour.
  bool showsSelection() {
    const std::vector<std::uint32_t> fields = testx11::childWindows(child);
    if (fields.empty()) return false;
    const std::vector<ColorRef> pixels =
        testx11::windowPixels(fields.front(), kFieldWidth, kFieldHeight);
    return std::count(pixels.begin(), pixels.end(), kSelectionColor) > 0;
  }
  // A point of the field's row on the screen, x pixels from its left edge.
  Position inField(int x) const { return {kHostX + 10 + x, kHostY + 10 + kFieldHeight / 2}; }
  void click(Position at, int button = 1) {
    testx11::movePointer(at);
    testx11::button(button, true);
    testx11::button(button, false);
  }
  // Asks for the clipboard as another client would and gives the editor its idle until the
  // answer comes (a second at most).
  bool readClipboard(const std::string& target, std::string& type, std::string& data) {
    testx11::requestClipboard(target);
    for (int round = 0; round < 500; ++round) {
      deliver(1);
      if (testx11::clipboardAnswer(type, data)) return true;
      sleep(2);
    }
    return false;
  }

  FontRef font = nullptr;
  WindowRef field = nullptr;
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

TEST_F(X11Field, TheKeysSelectAndWhatIsTypedReplacesTheSelection) {
  openField("12.5");
  EXPECT_TRUE(showsSelection());  // it opens all selected, the first key replaces it
  testx11::key(testx11::KeyHome, true);
  testx11::key(testx11::KeyHome, false);
  deliver();
  EXPECT_FALSE(showsSelection());
  testx11::chord(testx11::KeyRight, false, true);
  testx11::chord(testx11::KeyRight, false, true);
  deliver();
  EXPECT_TRUE(showsSelection());
  testx11::typeText("7");
  deliver();
  EXPECT_EQ(text(), "7.5");
  EXPECT_FALSE(showsSelection());
  testx11::chord(testx11::KeyEnd, false, true);
  testx11::key(testx11::KeyDelete, true);
  testx11::key(testx11::KeyDelete, false);
  deliver();
  EXPECT_EQ(text(), "7");
  testx11::typeText("25");
  testx11::chord(testx11::KeyLeft, false, true);
  testx11::key(testx11::KeyBackSpace, true);
  testx11::key(testx11::KeyBackSpace, false);
  deliver();
  EXPECT_EQ(text(), "72");
  testx11::chord('a', true);
  testx11::typeText("-3");
  deliver();
  EXPECT_EQ(text(), "-3");
  // Control with another letter types nothing.
  testx11::chord('q', true);
  deliver();
  EXPECT_EQ(text(), "-3");
  EXPECT_EQ(recorder.done, 0);
}

TEST_F(X11Field, ADragSelectsAndADoubleClickSelectsAll) {
  openField("-12.75");
  click(inField(kFieldWidth - 2));  // the caret to the end, nothing selected
  deliver();
  EXPECT_FALSE(showsSelection());
  testx11::typeText("0");
  deliver();
  EXPECT_EQ(text(), "-12.750");
  // From before the first character to beyond the field's right edge: all of it.
  testx11::movePointer(inField(1));
  testx11::button(1, true);
  testx11::movePointer(inField(kFieldWidth / 2));
  testx11::movePointer(inField(kFieldWidth + 30));
  deliver();
  EXPECT_TRUE(showsSelection());
  testx11::button(1, false);
  testx11::movePointer(inField(kFieldWidth / 2));  // the button is up: nothing follows
  testx11::typeText("5");
  deliver();
  EXPECT_EQ(text(), "5");
  testx11::typeText("25");
  click(inField(30));
  click(inField(31));
  deliver();
  EXPECT_TRUE(showsSelection());
  testx11::typeText("9");
  deliver();
  EXPECT_EQ(text(), "9");

  // Between characters: the drag ends at the boundary nearest the pointer, and a click with
  // Shift extends from the caret to where it lands. The text starts one pixel in.
  openField("1111");
  const int digit = raster::measureText(FontRequest{}, "1");
  ASSERT_GT(digit, 2);
  testx11::movePointer(inField(1));
  testx11::button(1, true);
  testx11::movePointer(inField(1 + 2 * digit + 1));
  testx11::button(1, false);
  testx11::typeText("5");
  deliver();
  EXPECT_EQ(text(), "511");
  testx11::key(testx11::KeyShift, true);
  click(inField(1 + 3 * digit - 1));
  testx11::key(testx11::KeyShift, false);
  testx11::typeText("0");
  deliver();
  EXPECT_EQ(text(), "50");
}

TEST_F(X11Field, CopyAndCutOfferTheTextToOtherClientsAndAnotherFieldPastesIt) {
  openField("-3\xB0");  // a character beyond ASCII: Latin-1 here, two bytes in UTF-8
  testx11::chord('c', true);
  deliver();
  EXPECT_EQ(testx11::clipboardOwner(), child);  // the frame's window, which outlives the field
  std::string type;
  std::string data;
  ASSERT_TRUE(readClipboard("TARGETS", type, data));
  EXPECT_EQ(type, "ATOM");
  const std::vector<std::string> targets = testx11::atomNames(data);
  EXPECT_NE(std::find(targets.begin(), targets.end(), "UTF8_STRING"), targets.end());
  EXPECT_NE(std::find(targets.begin(), targets.end(), "STRING"), targets.end());
  ASSERT_TRUE(readClipboard("UTF8_STRING", type, data));
  EXPECT_EQ(type, "UTF8_STRING");
  EXPECT_EQ(data, "-3\xC2\xB0");
  ASSERT_TRUE(readClipboard("STRING", type, data));
  EXPECT_EQ(type, "STRING");
  EXPECT_EQ(data, "-3\xB0");
  ASSERT_TRUE(readClipboard("image/png", type, data));
  EXPECT_EQ(type, "");  // refused

  // The text stays on offer after the field closes; the next field takes it (from this very
  // connection, through the server).
  openField("0");
  testx11::chord('v', true);
  deliver();
  EXPECT_EQ(text(), "-3\xB0");
  // Cut: the selection goes to the clipboard and out of the field.
  testx11::key(testx11::KeyHome, true);
  testx11::key(testx11::KeyHome, false);
  testx11::chord(testx11::KeyRight, false, true);
  testx11::chord('x', true);
  deliver();
  EXPECT_EQ(text(), "3\xB0");
  testx11::chord(testx11::KeyEnd, false, false);
  testx11::chord(testx11::KeyInsert, false, true);  // Shift+Insert pastes too
  deliver();
  EXPECT_EQ(text(), "3\xB0-");

  // Another client copies: ours is no longer offered, and a paste takes theirs.
  {
    testx11::SelectionOwner other("CLIPBOARD", testx11::SelectionOwner::Answer::Utf8, "12");
    ASSERT_TRUE(other.owns());
    testx11::chord('a', true);
    testx11::chord('v', true);
    deliver();
    EXPECT_EQ(text(), "12");
  }
  EXPECT_EQ(testx11::clipboardOwner(), 0u);
}

TEST_F(X11Field, APasteFromAnotherClientIsCleanedToOneLineOfTheFieldsCharacters) {
  openField("0");
  {
    testx11::SelectionOwner owner("CLIPBOARD", testx11::SelectionOwner::Answer::Utf8,
                                  "\xC3\xA9-3\tdB\r\n\xE2\x82\xAC\xFF");
    ASSERT_TRUE(owner.owns());
    testx11::chord('v', true);
    deliver();
    EXPECT_EQ(owner.requests(), 1);
    // Tab and line breaks gone, the euro sign beyond the field's characters and the stray byte
    // each a question mark.
    EXPECT_EQ(text(), "\xE9-3dB??");
  }
  {
    // An owner that offers only STRING is asked again for that.
    testx11::SelectionOwner owner("CLIPBOARD", testx11::SelectionOwner::Answer::StringOnly,
                                  "\xB5s");
    testx11::chord('a', true);
    testx11::chord('v', true);
    deliver();
    EXPECT_EQ(owner.requests(), 2);
    EXPECT_EQ(text(), "\xB5s");
  }
  {
    // The middle button pastes PRIMARY where it is pressed (here after the text).
    testx11::SelectionOwner owner("PRIMARY", testx11::SelectionOwner::Answer::Utf8, "42");
    click(inField(kFieldWidth - 2), 2);
    deliver();
    EXPECT_EQ(text(), "\xB5s42");
  }
}

TEST_F(X11Field, NoOwnerOrAMisbehavingOnePastesNothingAndHoldsUpNothing) {
  using Answer = testx11::SelectionOwner::Answer;
  openField("1.5");
  testx11::key(testx11::KeyEnd, true);
  testx11::key(testx11::KeyEnd, false);
  testx11::clearClipboard();
  testx11::chord('v', true);
  testx11::typeText("0");
  deliver();
  EXPECT_EQ(text(), "1.50");
  std::string expected = "1.50";
  for (const Answer answer :
       {Answer::Incremental, Answer::Huge, Answer::WrongFormat, Answer::Silent}) {
    SCOPED_TRACE(static_cast<int>(answer));
    testx11::SelectionOwner owner("CLIPBOARD", answer, "99");
    ASSERT_TRUE(owner.owns());
    // A key typed right after the paste, delivered in the same batch, is not lost while the
    // paste waits, and lands after it.
    const auto start = std::chrono::steady_clock::now();
    testx11::chord('v', true);
    testx11::typeText("1");
    deliver();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));  // no hang
    expected += "1";
    EXPECT_EQ(text(), expected);
    if (answer != Answer::Silent) {
      EXPECT_GE(owner.requests(), 1);
    }
  }
  // The owner gone: no one owns it, and the field goes on as before.
  EXPECT_EQ(testx11::clipboardOwner(), 0u);
  testx11::chord('v', true);
  testx11::typeText("2");
  deliver();
  EXPECT_EQ(text(), expected + "2");
}

}  // namespace
}  // namespace kestrane::platform
