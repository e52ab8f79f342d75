// Text displays: which converter makes the text, the box, the 3D frames and the shadow, the
// no-draw and no-text styles, and which setters mark the display dirty.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "ControlTestSupport.h"
#include "gui/ParamDisplay.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::region;
using testing::rgb;

constexpr Rect kBox(4, 4, 56, 20);

int plainCalls = 0;
void plainText(float, char* text) {
  ++plainCalls;
  std::strcpy(text, "plain");
}
void withData(float value, char* text, void* data) {
  ++*static_cast<int*>(data);
  std::snprintf(text, 256, "%2.2f", static_cast<double>(value));
}

// How many pixels of a canvas region are of a colour, or close to it (text edges are blended).
int count(Canvas& canvas, const Rect& r, const Color& color) {
  int n = 0;
  for (platform::ColorRef c : region(canvas, r)) {
    const int distance = std::abs(static_cast<int>(c & 0xFF) - color.red) +
                         std::abs(static_cast<int>((c >> 8) & 0xFF) - color.green) +
                         std::abs(static_cast<int>((c >> 16) & 0xFF) - color.blue);
    n += distance < 120 ? 1 : 0;
  }
  return n;
}

ParamDisplay* newDisplay(int32_t style = 0) {
  auto* display = new ParamDisplay(kBox, nullptr, style);
  display->setFontColor(kYellow);
  display->setBackgroundColor(kBlue);
  display->setFrameColor(kRed);
  display->setShadowColor(kGreen);
  return display;
}

TEST(ParamDisplayText, TheUserDataConverterWinsThenThePlainOneThenTwoDecimals) {
  int dataCalls = 0;
  ParamDisplay* display = newDisplay();
  ParamDisplay* reference = newDisplay();
  display->setValue(0.5f);
  reference->setValue(0.5f);
  display->setFormatter(plainText);
  display->setFormatter(withData, &dataCalls);
  Canvas a(60, 24);
  Canvas b(60, 24);
  plainCalls = 0;
  display->draw(&a.context());
  EXPECT_EQ(dataCalls, 1);
  EXPECT_EQ(plainCalls, 0);
  // "%2.2f" of 0.5 without converters is the same picture as the converter's "0.50".
  reference->draw(&b.context());
  EXPECT_EQ(region(a, Rect(0, 0, 60, 24)), region(b, Rect(0, 0, 60, 24)));
  EXPECT_GT(count(a, kBox, kYellow), 10);
  display->setFormatter(nullptr, nullptr);
  display->draw(&a.context());
  EXPECT_EQ(plainCalls, 1);
  display->release();
  reference->release();
}

TEST(ParamDisplayBox, FilledAndOutlinedOrTransparentOrTheBackground) {
  Canvas canvas(60, 24, kMagenta);
  ParamDisplay* display = newDisplay(ParamDisplay::kNoText);
  display->draw(&canvas.context());
  EXPECT_EQ(canvas.pixel(kBox.left, kBox.top), rgb(kRed));
  EXPECT_EQ(canvas.pixel(kBox.right, kBox.bottom), rgb(kRed));
  EXPECT_EQ(canvas.pixel(kBox.left + 5, kBox.top + 5), rgb(kBlue));
  EXPECT_EQ(count(canvas, kBox, kYellow), 0);  // no text
  // Transparent: the box is left alone.
  Canvas clear(60, 24, kMagenta);
  display->setTransparency(true);
  display->draw(&clear.context());
  EXPECT_EQ(count(clear, Rect(0, 0, 60, 24), kMagenta), 60 * 24);
  display->release();
  // A background bitmap is the box (drawn from the background offset).
  testing::HeldBitmap strip(901);
  auto* pictured = new ParamDisplay(kBox, strip.get(), ParamDisplay::kNoText);
  pictured->setBackgroundOffset(Point(0, 3));
  Canvas drawn(60, 24);
  Canvas expected(60, 24);
  pictured->draw(&drawn.context());
  strip->draw(&expected.context(), kBox, Point(0, 3));
  EXPECT_EQ(region(drawn, kBox), region(expected, kBox));
  pictured->release();
}

TEST(ParamDisplayBox, ThreeDFramesColourTheirEdgesAndTheBackgroundFirstStyleWins) {
  struct Case {
    int32_t style;
    Color topLeft;
    Color bottomRight;
  };
  for (const Case& c :
       {Case{ParamDisplay::kFrameBackTopLeft, kBlue, kRed},
        Case{ParamDisplay::kFrameFrameTopLeft, kRed, kBlue},
        Case{ParamDisplay::kFrameBackTopLeft | ParamDisplay::kFrameFrameTopLeft, kBlue, kRed}}) {
    Canvas canvas(60, 24, kMagenta);
    ParamDisplay* display = newDisplay(c.style | ParamDisplay::kNoText);
    display->draw(&canvas.context());
    EXPECT_EQ(canvas.pixel(kBox.left + 9, kBox.top), rgb(c.topLeft)) << c.style;
    EXPECT_EQ(canvas.pixel(kBox.left, kBox.top + 5), rgb(c.topLeft)) << c.style;
    EXPECT_EQ(canvas.pixel(kBox.right, kBox.top + 5), rgb(c.bottomRight)) << c.style;
    EXPECT_EQ(canvas.pixel(kBox.left + 9, kBox.bottom), rgb(c.bottomRight)) << c.style;
    display->release();
  }
}

TEST(ParamDisplayText, ShadowTextAndOpaqueText) {
  ParamDisplay* display = newDisplay();
  display->setTransparency(true);  // text only, no box
  Canvas plain(60, 24, kMagenta);
  display->draw(&plain.context());
  EXPECT_GT(count(plain, kBox, kYellow), 10);
  EXPECT_EQ(count(plain, Rect(0, 0, 60, 24), kGreen), 0);
  display->setStyle(ParamDisplay::kShadowText);
  Canvas shadowed(60, 24, kMagenta);
  display->draw(&shadowed.context());
  EXPECT_GT(count(shadowed, Rect(0, 0, 60, 24), kGreen), 5);
  // Opaque text fills its cell with the background colour.
  display->setStyle(0);
  display->setTextTransparent(false);
  Canvas opaque(60, 24, kMagenta);
  display->draw(&opaque.context());
  EXPECT_GT(count(opaque, kBox, kBlue), 10);
  display->release();
}

TEST(ParamDisplayStyles, NoDrawNeverDrawsButStillClearsTheDirtyFlag) {
  auto* display = new ParamDisplay(kBox, nullptr, ParamDisplay::kNoDraw);
  EXPECT_FALSE(display->isDirty());  // cleared by the constructor
  Canvas canvas(60, 24, kMagenta);
  for (float value : {0.25f, 0.75f}) {
    display->setValue(value);
    EXPECT_TRUE(display->isDirty());
    display->update(&canvas.context());
    EXPECT_FALSE(display->isDirty());
    display->setDirty(true);
    display->draw(&canvas.context());
    EXPECT_FALSE(display->isDirty());
  }
  EXPECT_EQ(count(canvas, Rect(0, 0, 60, 24), kMagenta), 60 * 24);
  display->release();
}

TEST(ParamDisplaySetters, OnlyChangesMarkDirtyAndColoursCompareOnRedGreenBlue) {
  auto* d = new ParamDisplay(kBox);
  // Each setter with the setting the display has already (the colours with another fourth
  // byte), then with a new one.
  struct Setter {
    const char* name;
    std::function<void()> same;
    std::function<void()> changed;
  };
  const Setter setters[] = {
      {"font colour",
       [d] {
         d->setFontColor({255, 255, 255, 9});
       },
       [d] { d->setFontColor(kYellow); }},
      {"background colour",
       [d] {
         d->setBackgroundColor({0, 0, 0, 1});
       },
       [d] { d->setBackgroundColor(kGrey); }},
      {"frame colour",
       [d] {
         d->setFrameColor({0, 0, 0, 255});
       },
       [d] { d->setFrameColor(kWhite); }},
      {"shadow colour",
       [d] {
         d->setShadowColor({255, 0, 0, 4});
       },
       [d] { d->setShadowColor(kBlue); }},
      {"font", [d] { d->setFont(3); }, [d] { d->setFont(6); }},
      {"alignment", [d] { d->setAlignment(1); }, [d] { d->setAlignment(2); }},
      {"style", [d] { d->setStyle(0); }, [d] { d->setStyle(ParamDisplay::kShadowText); }},
      {"text style", [d] { d->setTextStyle(0); }, [d] { d->setTextStyle(kBoldFace); }},
  };
  for (const Setter& setter : setters) {
    d->setDirty(false);
    setter.same();
    EXPECT_FALSE(d->isDirty()) << "same " << setter.name;
    setter.changed();
    EXPECT_TRUE(d->isDirty()) << "new " << setter.name;
  }
  // These store silently.
  d->setDirty(false);
  d->setBackgroundOffset(Point(3, 4));
  d->setTextTransparent(false);
  d->setFormatter(plainText);
  d->setThirdFormatter(plainText);
  EXPECT_FALSE(d->isDirty());
  EXPECT_EQ(d->getThirdFormatter(), &plainText);
  d->release();
}

}  // namespace
}  // namespace kestrane
