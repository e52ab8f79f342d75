// The platform seam on both backends, below the toolkit: the operating system's rules for
// memory surfaces, monochrome conversion in block transfers, raster operations, the rectangle
// without a pen, and bitmap resources. The headless backend is right only if it agrees with
// the real system here.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Platform.h"

namespace kestrane::platform {
namespace {

constexpr ColorRef kWhite = 0xFFFFFF;
constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kGreen = 0x00FF00;
constexpr ColorRef kBlue = 0xFF0000;
constexpr ColorRef kOrange = 0x0080FF;

// A memory surface with an image selected, undone in reverse order.
class Selected {
 public:
  explicit Selected(ImageRef image) : image_(image), surface_(createMemorySurface(nullptr)) {
    previous_ = selectImage(surface_, image_);
  }
  ~Selected() {
    selectImage(surface_, previous_);
    deleteMemorySurface(surface_);
    deleteImage(image_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  SurfaceRef get() const { return surface_; }
  void fill(ColorRef color) {
    BrushRef brush = createSolidBrush(color);
    BrushRef oldBrush = selectBrush(surface_, brush);
    PenRef oldPen = selectPen(surface_, nullPen());
    int w = 0;
    int h = 0;
    imageSize(image_, w, h);
    rectangle(surface_, Bounds{0, 0, w + 1, h + 1});
    selectPen(surface_, oldPen);
    selectBrush(surface_, oldBrush);
    deleteBrush(brush);
  }
  std::vector<ColorRef> read(int w, int h) {
    std::vector<ColorRef> out(static_cast<std::size_t>(w * h));
    readPixels(surface_, 0, 0, w, h, out.data());
    return out;
  }

 private:
  ImageRef image_;
  SurfaceRef surface_;
  ImageRef previous_ = nullptr;
};

ImageRef colourImage(int w, int h) { return createCompatibleImage(nullptr, w, h); }

TEST(SeamSurfaces, AFreshMemorySurfaceMakesMonochromeImagesAndTheScreenColourOnes) {
  SurfaceRef memory = createMemorySurface(nullptr);
  ImageRef fromMemory = createCompatibleImage(memory, 4, 4);
  ImageRef fromScreen = createCompatibleImage(nullptr, 4, 4);
  {
    Selected mono(fromMemory);
    mono.fill(kRed);  // a monochrome image has no red: it becomes black
    EXPECT_EQ(mono.read(1, 1)[0], 0u);
  }
  {
    Selected colour(fromScreen);
    colour.fill(kRed);
    EXPECT_EQ(colour.read(1, 1)[0], kRed);
  }
  deleteMemorySurface(memory);
}

TEST(SeamRectangle, WithoutAPenFillsOneLessOnTheRightAndAtTheBottom) {
  Selected canvas(colourImage(8, 8));
  canvas.fill(0);
  BrushRef brush = createSolidBrush(kGreen);
  BrushRef oldBrush = selectBrush(canvas.get(), brush);
  PenRef oldPen = selectPen(canvas.get(), nullPen());
  rectangle(canvas.get(), Bounds{2, 1, 6, 5});
  selectPen(canvas.get(), oldPen);
  selectBrush(canvas.get(), oldBrush);
  deleteBrush(brush);
  const auto px = canvas.read(8, 8);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool filled = x >= 2 && x <= 4 && y >= 1 && y <= 3;
      EXPECT_EQ(px[static_cast<std::size_t>(y * 8 + x)], filled ? kGreen : 0u) << x << "," << y;
    }
  }
}

TEST(SeamBlit, ColourToMonochromeTurnsTheSourceBackgroundColourIntoWhite) {
  Selected source(colourImage(4, 1));
  source.fill(kRed);
  // Paint the second and fourth pixel orange.
  PenRef pen = createPen(PenStyle::Solid, 1, kOrange);
  PenRef old = selectPen(source.get(), pen);
  moveTo(source.get(), 1, 0);
  lineTo(source.get(), 2, 0);
  moveTo(source.get(), 3, 0);
  lineTo(source.get(), 4, 0);
  selectPen(source.get(), old);
  deletePen(pen);
  Selected mask(createMonochromeImage(4, 1));
  const ColorRef previous = setBackgroundColor(source.get(), kOrange);
  ASSERT_TRUE(blit(mask.get(), 0, 0, 4, 1, source.get(), 0, 0, RasterOp::SrcCopy));
  setBackgroundColor(source.get(), previous);
  EXPECT_EQ(mask.read(4, 1), (std::vector<ColorRef>{0, kWhite, 0, kWhite}));
}

TEST(SeamBlit, MonochromeToColourUsesTheDestinationsTextAndBackgroundColours) {
  Selected mask(createMonochromeImage(2, 1));
  // White on the right pixel: NOTSRCCOPY of an all-black image gives all white, then paint
  // the left pixel black again.
  Selected inverse(createMonochromeImage(2, 1));
  blit(inverse.get(), 0, 0, 2, 1, mask.get(), 0, 0, RasterOp::NotSrcCopy);
  blit(inverse.get(), 0, 0, 1, 1, mask.get(), 0, 0, RasterOp::SrcCopy);
  EXPECT_EQ(inverse.read(2, 1), (std::vector<ColorRef>{0, kWhite}));
  Selected colour(colourImage(2, 1));
  setTextColor(colour.get(), kBlue);
  setBackgroundColor(colour.get(), kGreen);
  blit(colour.get(), 0, 0, 2, 1, inverse.get(), 0, 0, RasterOp::SrcCopy);
  EXPECT_EQ(colour.read(2, 1), (std::vector<ColorRef>{kBlue, kGreen}));
}

TEST(SeamBlit, AndAndOrCombineBitByBit) {
  Selected a(colourImage(1, 1));
  Selected b(colourImage(1, 1));
  a.fill(0x3C5A96);
  b.fill(0x0FF00F);
  blit(a.get(), 0, 0, 1, 1, b.get(), 0, 0, RasterOp::SrcAnd);
  EXPECT_EQ(a.read(1, 1)[0], 0x3C5A96u & 0x0FF00Fu);
  blit(a.get(), 0, 0, 1, 1, b.get(), 0, 0, RasterOp::SrcPaint);
  EXPECT_EQ(a.read(1, 1)[0], (0x3C5A96u & 0x0FF00Fu) | 0x0FF00Fu);
  blit(a.get(), 0, 0, 1, 1, b.get(), 0, 0, RasterOp::NotSrcCopy);
  EXPECT_EQ(a.read(1, 1)[0], ~0x0FF00Fu & kWhite);
}

TEST(SeamResources, BitmapsLoadByIdAndMissingOnesAreNull) {
  ImageRef meter = loadImageResource(117);
  ASSERT_NE(meter, nullptr);
  int w = 0;
  int h = 0;
  EXPECT_TRUE(imageSize(meter, w, h));
  EXPECT_EQ(w, 124);
  EXPECT_EQ(h, 6);
  deleteImage(meter);
  EXPECT_EQ(loadImageResource(9999), nullptr);
  EXPECT_FALSE(imageSize(nullptr, w, h));
}

TEST(SeamPixels, ReadingOutsideTheImageGivesBlack) {
  Selected canvas(colourImage(2, 2));
  canvas.fill(kWhite);
  std::vector<ColorRef> px(9, 0x123456);
  ASSERT_TRUE(readPixels(canvas.get(), 1, 1, 3, 3, px.data()));
  EXPECT_EQ(px[0], kWhite);
  EXPECT_EQ(px[1], 0u);
  EXPECT_EQ(px[8], 0u);
}

// A real system clock may advance in coarse steps and late on a loaded machine, so the test asks
// only that sleeping lets the count move on by about the time slept, within a generous bound.
TEST(SeamTime, TheTickCountMovesOnBySleeping) {
  const std::uint32_t before = tickCount();
  std::uint32_t slept = 0;
  while (tickCount() - before < 15u && slept < 5000u) {
    sleep(20);
    slept += 20;
  }
  EXPECT_GE(tickCount() - before, 15u);
  EXPECT_LE(tickCount() - before, 60000u);
}

}  // namespace
}  // namespace kestrane::platform
