// The drawing context's pixel rules, which every view relies on: exclusive line ends, the
// outline and fill of a rectangle, dotted lines, the drawing offset, text kept inside its box.
// The same cases run on the software backend and on the real system's GDI.
#include <gtest/gtest.h>

#include "GuiTestSupport.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::at;
using testing::rgb;
using platform::ColorRef;

TEST(DrawContextLines, LeaveOutTheirEndPixelInEveryDirection) {
  Canvas canvas(24, 24);
  DrawContext& dc = canvas.context();
  dc.setFrameColor(kRed);
  dc.moveTo(Point(2, 3));
  dc.lineTo(Point(10, 3));  // right
  dc.moveTo(Point(20, 2));
  dc.lineTo(Point(20, 9));  // down
  dc.moveTo(Point(2, 20));
  dc.lineTo(Point(7, 15));  // up and right, 45 degrees
  const auto px = canvas.pixels();
  for (int x = 2; x < 10; ++x) EXPECT_EQ(at(px, 24, x, 3), rgb(kRed)) << "x " << x;
  EXPECT_EQ(at(px, 24, 10, 3), rgb(kBlack));
  EXPECT_EQ(at(px, 24, 1, 3), rgb(kBlack));
  for (int y = 2; y < 9; ++y) EXPECT_EQ(at(px, 24, 20, y), rgb(kRed)) << "y " << y;
  EXPECT_EQ(at(px, 24, 20, 9), rgb(kBlack));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(at(px, 24, 2 + i, 20 - i), rgb(kRed)) << "step " << i;
  EXPECT_EQ(at(px, 24, 7, 15), rgb(kBlack));
}

TEST(DrawContextRectangles, OutlineCoversBothCornersAndFillOnlyTheInside) {
  Canvas canvas(16, 12);
  DrawContext& dc = canvas.context();
  dc.setFillColor(kBlue);
  dc.fillRect(Rect(2, 2, 10, 8));
  auto px = canvas.pixels();
  // The fill is the inside of the outline: left + 1 .. right - 1, top + 1 .. bottom - 1.
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 3 && x <= 9 && y >= 3 && y <= 7;
      EXPECT_EQ(at(px, 16, x, y), inside ? rgb(kBlue) : rgb(kBlack)) << x << "," << y;
    }
  }
  dc.setFrameColor(kYellow);
  dc.drawRect(Rect(2, 2, 10, 8));
  px = canvas.pixels();
  for (int x = 2; x <= 10; ++x) {
    EXPECT_EQ(at(px, 16, x, 2), rgb(kYellow)) << "top " << x;
    EXPECT_EQ(at(px, 16, x, 8), rgb(kYellow)) << "bottom " << x;
  }
  for (int y = 2; y <= 8; ++y) {
    EXPECT_EQ(at(px, 16, 2, y), rgb(kYellow)) << "left " << y;
    EXPECT_EQ(at(px, 16, 10, y), rgb(kYellow)) << "right " << y;
  }
  EXPECT_EQ(at(px, 16, 6, 5), rgb(kBlue));
  EXPECT_EQ(at(px, 16, 11, 9), rgb(kBlack));
}

TEST(DrawContextRectangles, FillAfterOutlineKeepsTheOutline) {
  Canvas canvas(12, 12);
  DrawContext& dc = canvas.context();
  dc.setFrameColor(kGreen);
  dc.drawRect(Rect(1, 1, 9, 9));
  dc.setFillColor(kMagenta);
  dc.fillRect(Rect(1, 1, 9, 9));
  const auto px = canvas.pixels();
  for (int i = 1; i <= 9; ++i) {
    EXPECT_EQ(at(px, 12, i, 1), rgb(kGreen));
    EXPECT_EQ(at(px, 12, i, 9), rgb(kGreen));
    EXPECT_EQ(at(px, 12, 1, i), rgb(kGreen));
    EXPECT_EQ(at(px, 12, 9, i), rgb(kGreen));
  }
  EXPECT_EQ(at(px, 12, 5, 5), rgb(kMagenta));
}

TEST(DrawContextLines, DottedPenDrawsThreeAndSkipsThreeFromEachLineStart) {
  Canvas canvas(32, 8);
  DrawContext& dc = canvas.context();
  dc.setFrameColor(kWhite);
  dc.setLineStyle(kLineOnOffDash);
  dc.moveTo(Point(1, 2));
  dc.lineTo(Point(25, 2));
  dc.lineTo(Point(25, 7));  // the pattern starts again with the second line
  const auto px = canvas.pixels();
  for (int x = 1; x < 25; ++x) {
    EXPECT_EQ(at(px, 32, x, 2), (x - 1) % 6 < 3 ? rgb(kWhite) : rgb(kBlack)) << "x " << x;
  }
  EXPECT_EQ(at(px, 32, 25, 2), rgb(kWhite));
  EXPECT_EQ(at(px, 32, 25, 3), rgb(kWhite));
  EXPECT_EQ(at(px, 32, 25, 4), rgb(kWhite));
  EXPECT_EQ(at(px, 32, 25, 5), rgb(kBlack));
  // Back to solid.
  dc.setLineStyle(kLineSolid);
  dc.moveTo(Point(1, 5));
  dc.lineTo(Point(9, 5));
  const auto solid = canvas.pixels();
  for (int x = 1; x < 9; ++x) EXPECT_EQ(at(solid, 32, x, 5), rgb(kWhite));
}

TEST(DrawContextState, OffsetShiftsEveryOperation) {
  Canvas canvas(20, 20);
  DrawContext& dc = canvas.context();
  dc.setOffset(Point(5, 7));
  dc.setFillColor(kRed);
  dc.fillRect(Rect(0, 0, 3, 3));
  dc.setFrameColor(kCyan);
  dc.moveTo(Point(0, 6));
  dc.lineTo(Point(4, 6));
  const auto px = canvas.pixels();
  EXPECT_EQ(at(px, 20, 6, 8), rgb(kRed));
  EXPECT_EQ(at(px, 20, 7, 9), rgb(kRed));
  EXPECT_EQ(at(px, 20, 1, 1), rgb(kBlack));
  EXPECT_EQ(at(px, 20, 5, 13), rgb(kCyan));
  EXPECT_EQ(at(px, 20, 8, 13), rgb(kCyan));
  EXPECT_EQ(at(px, 20, 9, 13), rgb(kBlack));
}

TEST(DrawContextState, FontIdOutsideTheTableIsTheBoldDefault) {
  Canvas canvas(4, 4);
  DrawContext& dc = canvas.context();
  dc.setFont(9);
  EXPECT_EQ(dc.getFont(), 0);
  EXPECT_EQ(dc.getFontSize(), 12);
  dc.setFont(6);
  EXPECT_EQ(dc.getFontSize(), 9);
  dc.setFont(2, 20);
  EXPECT_EQ(dc.getFontSize(), 20);
  dc.setFont(-1);
  EXPECT_EQ(dc.getFont(), 0);
}

TEST(DrawContextText, StaysInsideItsBoxAndFillsItsCellWhenOpaque) {
  Canvas canvas(60, 30, kBlue);
  DrawContext& dc = canvas.context();
  dc.setFont(3);
  dc.setFontColor(kWhite);
  dc.setFillColor(kRed);
  const Rect box(10, 8, 30, 22);
  dc.drawString("WWWWWWWW", box, true, 1);
  const auto px = canvas.pixels();
  int inkInside = 0;
  int redInside = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 60; ++x) {
      const bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
      const ColorRef c = at(px, 60, x, y);
      if (!inside) {
        ASSERT_EQ(c, rgb(kBlue)) << "outside the box at " << x << "," << y;
      } else {
        if (c != rgb(kBlue) && c != rgb(kRed)) ++inkInside;
        if (c == rgb(kRed)) ++redInside;
      }
    }
  }
  EXPECT_GT(inkInside, 10);
  EXPECT_GT(redInside, 10);  // the text is wider than the box: its cell covers it
}

}  // namespace
}  // namespace kestrane
