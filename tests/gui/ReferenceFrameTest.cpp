// One frame drawn by both backends must come out pixel for pixel the same, text aside: the
// software renderer is only worth its tests if it draws what the real system draws. The frame
// uses the tests' own bitmaps (a backdrop, a film strip, a checkerboard), lines in all eight directions, dotted lines, rectangles,
// plain and transparent bitmaps, an offscreen picture and a line of text; the expected picture
// (tests/gui/data/reference-frame.ppm) is compared outside the text box on both.
//
// After a deliberate change of the drawing, write the picture anew with the native build:
//   KESTRANE_WRITE_REFERENCE=1 build/native/tests/gui/kestrane_gui_tests
//       --gtest_filter='ReferenceFrame.*'
// and check that the win64 build under wine still passes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "gui/Bitmap.h"
#include "gui/Frame.h"
#include "gui/OffscreenContext.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::rgb;

constexpr int kWidth = 240;
constexpr int kHeight = 160;
const Rect kTextBox(124, 134, 236, 156);

class ShapesView : public View {
 public:
  ShapesView() : View(Rect(4, 48, 116, 156)) {}
  void draw(DrawContext* dc) override {
    const Point centre(60, 102);
    const Point ends[] = {{104, 110}, {96, 140}, {70, 150}, {30, 141}, {14, 94},
                          {22, 66},   {52, 56},  {95, 60},  {104, 102}, {60, 148}};
    const Color colors[] = {kRed, kGreen, kBlue, kYellow, kCyan, kMagenta, kWhite, kGrey};
    int i = 0;
    for (const Point& end : ends) {
      dc->setFrameColor(colors[i++ % 8]);
      dc->moveTo(centre);
      dc->lineTo(end);
    }
    dc->setLineStyle(kLineOnOffDash);
    dc->setFrameColor(kWhite);
    dc->moveTo(Point(8, 52));
    dc->lineTo(Point(112, 52));
    dc->lineTo(Point(112, 152));
    dc->moveTo(Point(8, 60));
    dc->lineTo(Point(40, 92));
    dc->setLineStyle(kLineSolid);
    dc->setFillColor(Color{40, 90, 160, 0});
    dc->fillRect(Rect(8, 120, 28, 150));
    dc->setFrameColor(kYellow);
    dc->drawRect(Rect(8, 120, 28, 150));
    dc->setFrameColor(kRed);
    dc->drawRect(Rect(32, 130, 33, 131));
    dc->setFillColor(kGreen);
    dc->fillRect(Rect(36, 140, 46, 141));
  }
};

class BitmapsView : public View {
 public:
  BitmapsView() : View(Rect(118, 46, 236, 130)) {
    strip = new Bitmap(901);
    checker = new Bitmap(902);
    white = new Bitmap(900);
  }
  ~BitmapsView() override {
    strip->release();
    checker->release();
    white->release();
  }
  void draw(DrawContext* dc) override {
    strip->draw(dc, Rect(120, 48, 164, 82), Point(0, 5 * 34));
    strip->drawTransparent(dc, Rect(168, 48, 212, 82), Point(0, 20 * 34));
    checker->drawTransparent(dc, Rect(120, 90, 130, 98), Point(3, 2));
    white->drawTransparent(dc, Rect(214, 48, 222, 56));
    strip->drawTransparent(dc, Rect(216, 60, 236, 70), Point(30, 36 * 34 + 10));
  }
  Bitmap* strip;
  Bitmap* checker;
  Bitmap* white;
};

class OffscreenView : public View {
 public:
  OffscreenView() : View(Rect(150, 86, 200, 126)) {}
  void draw(DrawContext* dc) override {
    OffscreenContext offscreen(getFrame(), 50, 40, Color{20, 20, 24, 0});
    Bitmap* checker = new Bitmap(902);
    checker->draw(&offscreen, Rect(4, 4, 20, 16));
    checker->release();
    offscreen.setFrameColor(kYellow);
    offscreen.moveTo(Point(49, 0));
    offscreen.lineTo(Point(20, 20));
    offscreen.lineTo(Point(5, 39));
    offscreen.blitTo(dc, getSize());
  }
};

class TextView : public View {
 public:
  TextView() : View(kTextBox) {}
  void draw(DrawContext* dc) override {
    dc->setFont(6);
    dc->setFontColor(kYellow);
    dc->setFillColor(kBlack);
    dc->drawString("Kestrane -12.5 dB", getSize(), true, 1);
  }
};

std::vector<platform::ColorRef> drawReferenceFrame() {
  Frame frame(Rect(0, 0, kWidth, kHeight), nullptr, nullptr);
  Bitmap* background = new Bitmap(903);
  frame.setBackground(background);
  background->release();
  frame.addView(new ShapesView);
  frame.addView(new BitmapsView);
  frame.addView(new OffscreenView);
  frame.addView(new TextView);
  Canvas canvas(kWidth, kHeight, kMagenta);
  frame.draw(&canvas.context());
  return canvas.pixels();
}

TEST(ReferenceFrame, BothBackendsDrawTheSamePixelsOutsideText) {
  const std::string path = std::string(KESTRANE_SOURCE_DIR) + "/tests/gui/data/reference-frame.ppm";
  const std::vector<platform::ColorRef> actual = drawReferenceFrame();
  if (std::getenv("KESTRANE_WRITE_REFERENCE") != nullptr) {
    ASSERT_TRUE(testing::writePpm(path, kWidth, kHeight, actual));
    GTEST_SKIP() << "wrote " << path;
  }
  int width = 0;
  int height = 0;
  std::vector<platform::ColorRef> expected;
  ASSERT_TRUE(testing::readPpm(path, width, height, expected)) << "cannot read " << path;
  ASSERT_EQ(width, kWidth);
  ASSERT_EQ(height, kHeight);
  int differences = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (x >= kTextBox.left && x < kTextBox.right && y >= kTextBox.top && y < kTextBox.bottom) {
        continue;
      }
      const std::size_t i = static_cast<std::size_t>(y * kWidth + x);
      if (actual[i] != expected[i] && ++differences <= 10) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": 0x" << std::hex << actual[i]
                      << " instead of 0x" << expected[i];
      }
    }
  }
  EXPECT_EQ(differences, 0);
  if (differences > 0) testing::writePpm("reference-frame-actual.ppm", kWidth, kHeight, actual);
}

}  // namespace
}  // namespace kestrane
