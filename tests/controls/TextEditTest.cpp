// The text edit: its text (cut to 255 characters), what it shows, and editing through the
// system's edit field: a click opens it over the control, Return, the focus leaving or a click
// elsewhere commits, the double-click style, and the field's colours.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ControlTestSupport.h"
#include "gui/TextEdit.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::HostedControls;
using testing::region;

std::string textOf(const TextEdit* edit) {
  char text[256];
  edit->getText(text);
  return text;
}

void firstSix(const char* text, char* out) {
  std::strncpy(out, text, 6);
  out[6] = '\0';
}

TEST(TextEditText, NullIsEmptyAndLongTextsAreCutTo255Characters) {
  auto* empty = new TextEdit(Rect(0, 0, 30, 12), nullptr, 1);
  EXPECT_EQ(textOf(empty), "");
  empty->release();

  const std::string longText(300, 'x');
  auto* edit = new TextEdit(Rect(0, 0, 30, 12), nullptr, 1, longText.c_str());
  EXPECT_EQ(textOf(edit), std::string(255, 'x'));
  edit->setDirty(false);
  edit->setText((std::string(255, 'x') + "yyy").c_str());  // the same once cut
  EXPECT_FALSE(edit->isDirty());
  edit->setText(nullptr);
  EXPECT_EQ(textOf(edit).size(), 255u);
  edit->setText("-12.5");
  EXPECT_TRUE(edit->isDirty());
  EXPECT_EQ(textOf(edit), "-12.5");
  edit->release();
}

TEST(TextEditText, ShownThroughTheTextConverter) {
  auto* edit = new TextEdit(Rect(2, 2, 58, 16), nullptr, 1, "1234567890");
  edit->setTextFormatter(firstSix);
  auto* reference = new TextEdit(Rect(2, 2, 58, 16), nullptr, 1, "123456");
  Canvas a(60, 18);
  Canvas b(60, 18);
  edit->draw(&a.context());
  reference->draw(&b.context());
  EXPECT_EQ(region(a, Rect(0, 0, 60, 18)), region(b, Rect(0, 0, 60, 18)));
  EXPECT_FALSE(edit->isDirty());
  edit->release();
  reference->release();
}

class TextEditing : public HostedControls {
 protected:
  TextEditing()
      : edit(add(new TextEdit(Rect(20, 30, 60, 41), &listener, 4099, "0.0"))) {
    edit->setFontColor(kYellow);
    edit->setBackgroundColor(kBlue);
  }
  platform::WindowRef field() const { return testuser::editField(window()); }
  std::string fieldText() const {
    char text[256] = "";
    platform::editFieldText(field(), text, sizeof text);
    return text;
  }
  void open() {
    press(30, 35, kLButton);
    ASSERT_NE(field(), nullptr);
  }
  TextEdit* edit;
};

TEST_F(TextEditing, AClickOpensTheFieldOverTheControlWithTheText) {
  open();
  EXPECT_EQ(frame()->getFocusView(), edit);
  EXPECT_EQ(edit->getEditField(), field());
  EXPECT_EQ(fieldText(), "0.0");
  // The field covers the control including its right and bottom edges.
  const platform::Bounds bounds = platform::windowScreenBounds(field());
  EXPECT_EQ(bounds.left, screen(20, 30).x);
  EXPECT_EQ(bounds.top, screen(20, 30).y);
  EXPECT_EQ(bounds.right, screen(61, 42).x);
  EXPECT_EQ(bounds.bottom, screen(61, 42).y);
  testuser::pressReturn(field());
}

TEST_F(TextEditing, ATapOpensTheFieldToo) {
  tap(30, 35, kLButton);
  ASSERT_NE(field(), nullptr);
  EXPECT_EQ(frame()->getFocusView(), edit);
  testuser::type(field(), "7");
  testuser::pressReturn(field());
  EXPECT_STREQ(edit->text(), "7");
  EXPECT_EQ(listener.calls(), 1);
}

TEST_F(TextEditing, ReturnCommitsTheTypedTextAndTellsTheListenerOfAChange) {
  open();
  testuser::type(field(), "-12");
  testuser::pressReturn(field());
  EXPECT_EQ(field(), nullptr);
  EXPECT_EQ(edit->getEditField(), nullptr);
  EXPECT_EQ(frame()->getFocusView(), nullptr);
  EXPECT_EQ(textOf(edit), "-12");
  EXPECT_EQ(listener.calls(), 1);
  EXPECT_EQ(listener.last, edit);
  // Unchanged text: committed quietly.
  open();
  testuser::pressReturn(field());
  EXPECT_EQ(listener.calls(), 1);
  EXPECT_EQ(textOf(edit), "-12");
}

TEST_F(TextEditing, TheFocusLeavingCommitsToo) {
  open();
  testuser::type(field(), "7");
  testuser::moveFocusAway(field());
  EXPECT_EQ(field(), nullptr);
  EXPECT_EQ(textOf(edit), "7");
  EXPECT_EQ(listener.calls(), 1);
}

TEST_F(TextEditing, AClickElsewhereInTheFrameCommits) {
  open();
  testuser::type(field(), "8.5");
  press(200, 200, kLButton);
  EXPECT_EQ(field(), nullptr);
  EXPECT_EQ(textOf(edit), "8.5");
  EXPECT_EQ(listener.calls(), 1);
}

TEST_F(TextEditing, TypedTextLongerThan255CharactersIsCut) {
  open();
  testuser::type(field(), std::string(300, '9').c_str());
  testuser::pressReturn(field());
  EXPECT_EQ(textOf(edit), std::string(255, '9'));
}

TEST_F(TextEditing, TheFieldAsksTheFrameForTheControlsColours) {
  open();
  // As the system does while the field paints: the frame's window answers for its focus view.
  platform::WindowHandler* handler = platform::windowHandler(window());
  ASSERT_NE(handler, nullptr);
  platform::SurfaceRef surface = platform::createMemorySurface(nullptr);
  platform::ImageRef image = platform::createCompatibleImage(nullptr, 4, 4);
  platform::ImageRef previous = platform::selectImage(surface, image);
  platform::BrushRef brush = handler->windowEditFieldColors(surface);
  ASSERT_NE(brush, nullptr);
  EXPECT_EQ(platform::setTextColor(surface, 0), testing::rgb(kYellow));
  EXPECT_EQ(platform::setBackgroundColor(surface, 0), testing::rgb(kBlue));
  platform::BrushRef before = platform::selectBrush(surface, brush);
  platform::PenRef pen = platform::selectPen(surface, platform::nullPen());
  platform::rectangle(surface, platform::Bounds{0, 0, 5, 5});
  platform::ColorRef pixel = 0;
  platform::readPixels(surface, 1, 1, 1, 1, &pixel);
  EXPECT_EQ(pixel, testing::rgb(kBlue));
  platform::selectPen(surface, pen);
  platform::selectBrush(surface, before);
  platform::selectImage(surface, previous);
  platform::deleteImage(image);
  platform::deleteMemorySurface(surface);
#ifdef _WIN32
  // The real field paints itself with them.
  platform::testhost::processMessages();
  platform::SurfaceRef painted = platform::acquireWindowSurface(field());
  platform::ColorRef corner = 0;
  platform::readPixels(painted, 1, 1, 1, 1, &corner);
  platform::releaseWindowSurface(field(), painted);
  EXPECT_EQ(corner, testing::rgb(kBlue));
#endif
  testuser::pressReturn(field());
  // Closed: no colours to give.
  EXPECT_EQ(handler->windowEditFieldColors(nullptr), nullptr);
}

TEST_F(TextEditing, WithTheDoubleClickStyleOnlyASecondClickInTimeOpens) {
  edit->setStyle(ParamDisplay::kDoubleClickEdit);
  press(30, 35, kLButton);
  EXPECT_EQ(field(), nullptr);
  platform::sleep(50);
  press(30, 35, kLButton);
  ASSERT_NE(field(), nullptr);
  testuser::pressReturn(field());
  // Too late: the second click is dropped, and the next click starts again.
  press(30, 35, kLButton);
  platform::sleep(platform::doubleClickTime() + 20);
  press(30, 35, kLButton);
  EXPECT_EQ(field(), nullptr);
  press(30, 35, kLButton);
  EXPECT_EQ(field(), nullptr);
  press(30, 35, kLButton);
  EXPECT_NE(field(), nullptr);
  testuser::pressReturn(field());
}

TEST_F(TextEditing, ClosingTheEditorWithTheFieldOpenClosesItUncommitted) {
  open();
  testuser::type(field(), "3");
  platform::WindowRef frameWindow = window();
  editor->close();  // the frame lets go of its focus view before telling it
  EXPECT_EQ(testuser::editField(frameWindow), nullptr);
  EXPECT_EQ(listener.calls(), 0);
}

TEST_F(TextEditing, NothingWithoutTheLeftButtonOrWhenDisabled) {
  press(30, 35, kRButton);
  EXPECT_EQ(field(), nullptr);
  edit->setMouseEnabled(false);
  press(30, 35, kLButton);
  EXPECT_EQ(field(), nullptr);
}

}  // namespace
}  // namespace kestrane
