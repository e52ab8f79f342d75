// Bitmaps from resources: sizes, reference counting, film-strip frames by source offset, and
// transparent drawing through the white key. Test bitmaps (tests/gui/data): 900 all white
// 8 x 8; 901 a 37-frame strip of 44 x 34 whose every pixel tells its frame and position, with
// a white plus sign and white corners; 902 a 16 x 12 checkerboard of white and colours.
#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "gui/Bitmap.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::at;
using testing::rgb;
using platform::ColorRef;

constexpr int kWhiteBitmap = 900;
constexpr int kStripBitmap = 901;
constexpr int kCheckerBitmap = 902;

// What testbitmaps drew at (x, y) of a frame of the strip.
platform::ColorRef stripPixel(int frame, int x, int y) {
  const bool plus = (x >= 20 && x <= 23) || (y >= 15 && y <= 18);
  const bool corner = (x < 3 || x > 40) && (y < 3 || y > 30);
  if (plus || corner) return rgb(kWhite);
  return rgb(16 + 6 * frame, 40 + 4 * x, 20 + 7 * y);
}

TEST(BitmapLoading, TakesItsSizeFromTheResource) {
  Bitmap* background = new Bitmap(103);
  EXPECT_TRUE(background->isLoaded());
  EXPECT_EQ(background->getWidth(), 640);
  EXPECT_EQ(background->getHeight(), 489);
  background->release();
  // Only the low 16 bits of the id name the resource.
  Bitmap* strip = new Bitmap(0x10000 + kStripBitmap);
  EXPECT_EQ(strip->getWidth(), 44);
  EXPECT_EQ(strip->getHeight(), 1258);
  strip->release();
}

TEST(BitmapLoading, MissingResourceGivesAnEmptyBitmapThatDrawsNothing) {
  Bitmap* missing = new Bitmap(4242);
  EXPECT_FALSE(missing->isLoaded());
  EXPECT_EQ(missing->getWidth(), 0);
  EXPECT_EQ(missing->getHeight(), 0);
  Canvas canvas(8, 8, kGreen);
  missing->draw(&canvas.context(), Rect(0, 0, 8, 8));
  missing->drawTransparent(&canvas.context(), Rect(0, 0, 8, 8));
  for (platform::ColorRef c : canvas.pixels()) EXPECT_EQ(c, rgb(kGreen));
  missing->retain();
  EXPECT_EQ(missing->getRefCount(), 2);
  missing->release();
  EXPECT_EQ(missing->getRefCount(), 1);
  missing->release();
}

TEST(BitmapReferences, StaysUntilTheLastHolderReleases) {
  Bitmap* shared = new Bitmap(kCheckerBitmap);
  shared->retain();  // a first view takes it
  shared->retain();  // a second view takes it
  shared->release();  // the creator lets go
  EXPECT_EQ(shared->getRefCount(), 2);
  shared->release();
  EXPECT_EQ(shared->getRefCount(), 1);
  Canvas canvas(16, 12);
  shared->draw(&canvas.context(), Rect(0, 0, 16, 12));  // still usable
  EXPECT_EQ(canvas.pixel(1, 0), rgb(0x10 + 9, 0x20, 0x30));
  shared->release();
}

TEST(BitmapFilmStrip, SourceOffsetPicksOneFramePlainAndTransparent) {
  Bitmap* strip = new Bitmap(kStripBitmap);
  const Rect target(10, 6, 54, 40);  // 44 x 34, one frame
  const Point frame18(0, 612);
  for (bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent" : "plain");
    Canvas canvas(64, 48, kBlue);
    if (transparent) {
      strip->drawTransparent(&canvas.context(), target, frame18);
    } else {
      strip->draw(&canvas.context(), target, frame18);
    }
    const auto px = canvas.pixels();
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) {
        const ColorRef got = at(px, 64, x, y);
        if (x < target.left || x >= target.right || y < target.top || y >= target.bottom) {
          ASSERT_EQ(got, rgb(kBlue)) << "outside at " << x << "," << y;
          continue;
        }
        ColorRef want = stripPixel(18, x - target.left, y - target.top);
        if (transparent && want == rgb(kWhite)) want = rgb(kBlue);
        ASSERT_EQ(got, want) << "at " << x << "," << y;
      }
    }
  }
  strip->release();
}

TEST(BitmapTransparency, FullyWhiteBitmapLeavesTheDestinationAlone) {
  Bitmap* white = new Bitmap(kWhiteBitmap);
  Bitmap* checker = new Bitmap(kCheckerBitmap);
  Canvas canvas(16, 12, kRed);
  checker->draw(&canvas.context(), Rect(0, 0, 16, 12));
  const auto before = canvas.pixels();
  white->drawTransparent(&canvas.context(), Rect(2, 2, 10, 10));
  white->drawTransparent(&canvas.context(), Rect(12, 6, 20, 14));  // partly off the canvas
  EXPECT_EQ(canvas.pixels(), before);
  white->release();
  checker->release();
}

TEST(BitmapTransparency, KeyPixelsShowTheDestinationAndTheImageStaysIntact) {
  Bitmap* checker = new Bitmap(kCheckerBitmap);
  Canvas canvas(40, 30, kGreen);
  DrawContext& dc = canvas.context();
  dc.setOffset(Point(3, 2));
  // The lower right 6 x 5 of the checkerboard, at (20, 10) shifted by the offset.
  checker->drawTransparent(&dc, Rect(20, 10, 26, 15), Point(10, 7));
  dc.setOffset(Point(0, 0));
  auto px = canvas.pixels();
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const int sx = 10 + x;
      const int sy = 7 + y;
      const ColorRef want = (sx + sy) % 2 == 0 ? rgb(kGreen)
                                               : rgb(0x10 + 9 * sx, 0x20, 0x30 + 17 * sy);
      EXPECT_EQ(at(px, 40, 23 + x, 12 + y), want) << x << "," << y;
    }
  }
  EXPECT_EQ(at(px, 40, 22, 12), rgb(kGreen));
  EXPECT_EQ(at(px, 40, 29, 12), rgb(kGreen));
  // Drawn plainly afterwards, the image shows its own white again: the temporary masking
  // of the image was undone.
  checker->draw(&dc, Rect(0, 0, 16, 12));
  px = canvas.pixels();
  EXPECT_EQ(at(px, 40, 0, 0), rgb(kWhite));
  EXPECT_EQ(at(px, 40, 1, 0), rgb(0x10 + 9, 0x20, 0x30));
  checker->release();
}

}  // namespace
}  // namespace kestrane
