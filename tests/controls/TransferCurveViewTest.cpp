// The transfer-curve view, read back from its pixels: the compressor, unity and expander
// segments at their exact pixel positions, the expander threshold raised and limited by
// drawing, absolute values, and the ratio of 0 drawn as 1:1.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ControlTestSupport.h"
#include "editor/TransferCurveView.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::HeldBitmap;
using testing::region;
using testing::rgb;

struct Segment {
  Point from;
  Point to;
};

double distanceToSegment(double x, double y, const Segment& s) {
  const double dx = s.to.h - s.from.h;
  const double dy = s.to.v - s.from.v;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((x - s.from.h) * dx + (y - s.from.v) * dy) / length2 : 0.0;
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  return std::hypot(x - (s.from.h + t * dx), y - (s.from.v + t * dy));
}

class CurvePixels : public ::testing::Test {
 protected:
  CurvePixels() : grid(123), view(new TransferCurveView(Rect(0, 0, 57, 57), grid.get())) {}
  ~CurvePixels() override { view->release(); }

  // Draws the curve and answers which pixels are yellow.
  std::vector<Point> draw(int t, int rc, int e, int re) {
    view->setCurve(t, rc, e, re);
    Canvas canvas(57, 57);
    view->draw(&canvas.context());
    pixels = region(canvas, Rect(0, 0, 57, 57));
    std::vector<Point> yellow;
    for (int y = 0; y < 57; ++y) {
      for (int x = 0; x < 57; ++x) {
        if (isYellow(x, y)) yellow.emplace_back(x, y);
      }
    }
    return yellow;
  }
  bool isYellow(int x, int y) const {
    return pixels[static_cast<std::size_t>(y * 57 + x)] == rgb(kYellow);
  }
  // The yellow pixels are exactly lines along the segments: each segment's first pixel is lit,
  // every pixel step along it has a lit pixel within one pixel of the ideal line (inside the
  // view), and no lit pixel lies further than one pixel from every segment.
  void expectCurve(const std::vector<Segment>& segments) {
    const std::vector<Point> yellow = draw(t_, rc_, e_, re_);
    for (const Segment& s : segments) {
      if (s.from.h >= 0 && s.from.h < 57 && s.from.v >= 0 && s.from.v < 57) {
        EXPECT_TRUE(isYellow(s.from.h, s.from.v)) << "start " << s.from.h << "," << s.from.v;
      }
      const int steps = std::max(std::abs(s.to.h - s.from.h), std::abs(s.to.v - s.from.v));
      for (int i = 0; i < steps; ++i) {
        const double x = s.from.h + (s.to.h - s.from.h) * static_cast<double>(i) / steps;
        const double y = s.from.v + (s.to.v - s.from.v) * static_cast<double>(i) / steps;
        if (x < 0 || y < 0 || x > 56 || y > 56) continue;
        bool lit = false;
        for (const Point& p : yellow) lit = lit || std::hypot(p.h - x, p.v - y) <= 1.0;
        EXPECT_TRUE(lit) << "no pixel near " << x << "," << y;
      }
    }
    for (const Point& p : yellow) {
      double nearest = 1e9;
      for (const Segment& s : segments) nearest = std::min(nearest, distanceToSegment(p.h, p.v, s));
      EXPECT_LE(nearest, 1.0) << "stray pixel " << p.h << "," << p.v;
    }
  }
  void curve(int t, int rc, int e, int re) {
    t_ = t;
    rc_ = rc;
    e_ = e;
    re_ = re;
  }

  HeldBitmap grid;
  TransferCurveView* view;
  std::vector<platform::ColorRef> pixels;
  int t_ = 0, rc_ = 10, e_ = 0, re_ = 10;
};

TEST_F(CurvePixels, TheGridHasNoCurveColourOfItsOwn) {
  EXPECT_TRUE(draw(0, 10, 0, 10).size() > 0);  // the unity diagonal
  Canvas plain(57, 57);
  grid->draw(&plain.context(), Rect(0, 0, 57, 57), Point(0, 0));
  for (platform::ColorRef c : region(plain, Rect(0, 0, 57, 57))) ASSERT_NE(c, rgb(kYellow));
}

TEST_F(CurvePixels, CompressorUnityAndExpanderSegments) {
  curve(20, 40, 30, 20);
  expectCurve({{{56, 21}, {28, 28}}, {{28, 28}, {14, 42}}, {{14, 42}, {6, 57}}});
  EXPECT_EQ(view->getExpanderThreshold(), 30);
}

TEST_F(CurvePixels, AnExpanderThresholdAtOrAboveTheCompressorsLeavesOutUnity) {
  curve(30, 40, 20, 20);
  // 0.5 + 1.4 x 22.5 falls just short of 32 in binary floating point.
  expectCurve({{{56, 31}, {14, 42}}, {{14, 42}, {6, 57}}});
  EXPECT_FALSE(isYellow(21, 35));  // where the unity segment would run
  EXPECT_EQ(view->getExpanderThreshold(), 30);
}

TEST_F(CurvePixels, AnExpanderThresholdBeyondTheRangeIsLimitedTo40) {
  curve(20, 40, 50, 20);
  expectCurve({{{56, 21}, {28, 28}}, {{28, 28}, {0, 56}}, {{0, 56}, {-1, 57}}});
  EXPECT_TRUE(isYellow(0, 56));
  EXPECT_EQ(view->getExpanderThreshold(), 40);
  // The next setCurve overwrites what drawing changed.
  view->setCurve(20, 40, 35, 20);
  EXPECT_EQ(view->getExpanderThreshold(), 35);
}

TEST_F(CurvePixels, OneToOneRunsOnTheDiagonalAndARatioOfZeroDrawsAsOneToOne) {
  curve(20, 10, 30, 10);
  expectCurve({{{56, 0}, {28, 28}}, {{28, 28}, {14, 42}}, {{14, 42}, {-1, 57}}});
  for (int k = 0; k <= 28; ++k) EXPECT_TRUE(isYellow(56 - k, k)) << k;
  const std::vector<platform::ColorRef> unity = pixels;
  draw(20, 0, 30, 0);
  EXPECT_EQ(pixels, unity);
  EXPECT_EQ(view->getCompressorRatio(), 0);
}

// Exact pixels of the expander segment, not within a pixel: a 1:1 expander continues the unity
// diagonal x + y = 56 to the bottom edge, and a steeper one lights, in each row from its
// threshold down, the one pixel nearest the ideal line (no row of these lines has a tie).
TEST_F(CurvePixels, ExpanderSegmentLiesOnItsExactPixels) {
  draw(20, 10, 30, 10);
  for (int y = 42; y < 57; ++y) {
    for (int x = 0; x < 57; ++x) {
      EXPECT_EQ(isYellow(x, y), x + y == 56) << x << "," << y;
    }
  }
  // 1:2 from the threshold point (14, 42) to where the output leaves the bottom, 5 dB further
  // down the input: x = 56.5 - 1.4 x 35 = 7.5, truncated to 7, less the pixel the line
  // leaves out at its end.
  draw(20, 40, 30, 20);
  for (int y = 42; y < 57; ++y) {
    const int nearest = static_cast<int>(std::lround(14.0 - 8.0 * (y - 42) / 15.0));
    for (int x = 0; x < 30; ++x) {
      EXPECT_EQ(isYellow(x, y), x == nearest) << x << "," << y;
    }
  }
}

TEST_F(CurvePixels, NegativeInputsDrawAsTheirAbsoluteValues) {
  draw(20, 40, 30, 20);
  const std::vector<platform::ColorRef> positive = pixels;
  draw(-20, -40, -30, -20);
  EXPECT_EQ(pixels, positive);
  EXPECT_EQ(view->getCompressorThreshold(), 20);
  EXPECT_EQ(view->getExpanderRatio(), 20);
  // Extreme values still draw (lines far outside are clipped).
  draw(INT32_MIN, INT32_MAX, INT32_MIN, 1);
}

TEST(CurveView, CopiedIntoItsOwnRectangleAndDisplayOnly) {
  HeldBitmap grid(123);
  auto* view = new TransferCurveView(Rect(10, 12, 67, 69), grid.get());
  view->setCurve(20, 40, 30, 20);
  Canvas canvas(80, 80, kMagenta);
  view->draw(&canvas.context());
  EXPECT_EQ(canvas.pixel(10 + 56, 12 + 21), rgb(kYellow));
  EXPECT_EQ(canvas.pixel(9, 12), rgb(kMagenta));
  EXPECT_EQ(canvas.pixel(67, 69), rgb(kMagenta));
  EXPECT_EQ(view->getListener(), nullptr);
  EXPECT_EQ(view->getTag(), 0);
  EXPECT_EQ(grid->getRefCount(), 2);
  view->release();
  EXPECT_EQ(grid->getRefCount(), 1);
}

}  // namespace
}  // namespace kestrane
