// Pictures of every control class in several states, for a person to look at: with
// KESTRANE_CONTROL_PICTURES set to a folder (docs/controls in the repository), each class is
// drawn by the headless backend and written there as a PNG, enlarged three times. Without the
// variable the test is skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "editor/GainReductionMeter.h"
#include "editor/TransferCurveView.h"
#include "gui/FilmStripDisplay.h"
#include "gui/Knob.h"
#include "gui/OnOffButton.h"
#include "gui/OptionMenu.h"
#include "gui/ParamDisplay.h"
#include "gui/TextEdit.h"
#include "gui/VuMeter.h"
#include "platform/headless/Headless.h"

namespace kestrane {
namespace {

using testing::Canvas;
using testing::HeldBitmap;

constexpr Color kPanel{48, 48, 56, 0};

// Draws a set of controls (each released after drawing) and writes the canvas, enlarged.
class Picture {
 public:
  Picture(int width, int height, int scale = 3)
      : canvas_(width, height, kPanel), width_(width), height_(height), scale_(scale) {}
  DrawContext* context() { return &canvas_.context(); }
  void draw(Control* control) {
    control->draw(context());
    control->release();
  }
  bool write(const std::string& path) {
    const std::vector<platform::ColorRef> pixels = canvas_.pixels();
    std::vector<platform::ColorRef> big(
        static_cast<std::size_t>(width_ * scale_ * height_ * scale_));
    for (int y = 0; y < height_ * scale_; ++y) {
      for (int x = 0; x < width_ * scale_; ++x) {
        big[static_cast<std::size_t>(y * width_ * scale_ + x)] =
            pixels[static_cast<std::size_t>((y / scale_) * width_ + x / scale_)];
      }
    }
    return platform::headless::writePng(path, width_ * scale_, height_ * scale_, big);
  }

 private:
  Canvas canvas_;
  int width_;
  int height_;
  int scale_;
};

void sixCharacters(const char* text, char* out) {
  std::strncpy(out, text, 6);
  out[6] = '\0';
}

void decibels(float value, char* text) {
  std::snprintf(text, 256, "%+.1f dB", static_cast<double>(value * 50.0f - 25.0f));
}

class ControlPictures : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* folder = std::getenv("KESTRANE_CONTROL_PICTURES");
    if (folder == nullptr || *folder == '\0') GTEST_SKIP() << "KESTRANE_CONTROL_PICTURES not set";
    folder_ = folder;
  }
  void save(Picture& picture, const char* name) {
    const std::string path = folder_ + "/" + name + ".png";
    EXPECT_TRUE(picture.write(path)) << path;
  }
  std::string folder_;
};

TEST_F(ControlPictures, Knobs) {
  // Square knobs at 0, 0.25, 0.5, 0.75 and 1: the drawn line handle in its default colours
  // (white on a grey shadow), in yellow on black, and a handle bitmap (a small checker, white
  // as the transparent key) on the rim.
  HeldBitmap checker(902);
  Picture picture(5 * 50 + 10, 3 * 50 + 10);
  for (int i = 0; i < 5; ++i) {
    const int x = 10 + 50 * i;
    const float value = 0.25f * static_cast<float>(i);
    auto* plain = new Knob(Rect(x, 10, x + 44, 54), nullptr, 0, nullptr, nullptr);
    plain->setValue(value);
    picture.draw(plain);
    auto* coloured = new Knob(Rect(x, 60, x + 44, 104), nullptr, 0, nullptr, nullptr);
    coloured->setHandleColor(kYellow);
    coloured->setShadowColor(kBlack);
    coloured->setValue(value);
    picture.draw(coloured);
    auto* handled = new Knob(Rect(x, 110, x + 44, 154), nullptr, 0, nullptr, checker.get());
    handled->setValue(value);
    picture.draw(handled);
  }
  save(picture, "knob");
}

TEST_F(ControlPictures, AnimatedKnobs) {
  // The four knob strips at 0, 0.25, 0.5, 0.75 and 1.
  Picture picture(5 * 50 + 10, 4 * 40 + 10);
  const int strips[] = {113, 114, 106, 127};
  for (int row = 0; row < 4; ++row) {
    HeldBitmap strip(strips[row]);
    for (int i = 0; i < 5; ++i) {
      const int x = 10 + 50 * i;
      const int y = 10 + 40 * row;
      auto* knob = new AnimatedKnob(Rect(x, y, x + 44, y + 34), nullptr, 0, 37, 34, strip.get());
      knob->setValue(0.25f * static_cast<float>(i));
      picture.draw(knob);
    }
  }
  save(picture, "animated-knob");
}

TEST_F(ControlPictures, OnOffButtons) {
  // The four switch pictures, off and on.
  Picture picture(4 * 30 + 10, 2 * 40 + 10);
  const int bitmaps[] = {111, 129, 112, 130};
  for (int i = 0; i < 4; ++i) {
    HeldBitmap states(bitmaps[i]);
    for (int on = 0; on < 2; ++on) {
      const int x = 10 + 30 * i;
      const int y = 10 + 40 * on;
      auto* button = new OnOffButton(Rect(x, y, x + 21, y + 31), nullptr, 0, states.get());
      button->setValue(static_cast<float>(on));
      picture.draw(button);
    }
  }
  save(picture, "on-off-button");
}

TEST_F(ControlPictures, FilmStripDisplays) {
  // The page panel: compressor page (0) and expander page (1).
  HeldBitmap panel(110);
  Picture picture(2 * 250 + 10, 349 + 20, 1);
  for (int page = 0; page < 2; ++page) {
    const int x = 10 + 250 * page;
    auto* display =
        new FilmStripDisplay(Rect(x, 10, x + 240, 359), nullptr, 0, 2, 349, panel.get());
    display->setValue(static_cast<float>(page));
    picture.draw(display);
  }
  save(picture, "film-strip-display");
}

TEST_F(ControlPictures, VuMeters) {
  // Input and output meters at 0, 0.3, 0.6 and 1; then a meter with fall step 0.1 drawn at 1
  // and then twice at 0 (it shows 0.9, then 0.8).
  HeldBitmap off(117);
  HeldBitmap input(120);
  HeldBitmap output(121);
  Picture picture(124 * 2 + 30, 5 * 12 + 20);
  const float values[] = {0.0f, 0.3f, 0.6f, 1.0f};
  for (int i = 0; i < 4; ++i) {
    const int y = 10 + 12 * i;
    auto* in =
        new VuMeter(Rect(10, y, 134, y + 6), input.get(), off.get(), 124, VuMeter::kHorizontal);
    in->setValue(values[i]);
    picture.draw(in);
    auto* out =
        new VuMeter(Rect(144, y, 268, y + 6), output.get(), off.get(), 124, VuMeter::kHorizontal);
    out->setValue(values[i]);
    picture.draw(out);
  }
  auto* falling =
      new VuMeter(Rect(10, 70, 134, 76), output.get(), off.get(), 124, VuMeter::kHorizontal);
  falling->setFallStep(0.1f);
  falling->setValue(1.0f);
  falling->draw(picture.context());
  for (int i = 0; i < 2; ++i) {
    falling->setValue(0.0f);
    falling->draw(picture.context());
  }
  picture.draw(falling);
  save(picture, "vu-meter");
}

TEST_F(ControlPictures, GainReductionMeters) {
  // No reduction (1.0), then 0.75, 0.5 and 0.2 with the compressor's red bar, the same with the
  // expander's blue bar.
  HeldBitmap black(117);
  HeldBitmap red(124);
  HeldBitmap blue(125);
  Picture picture(124 * 2 + 30, 4 * 12 + 20);
  const float values[] = {1.0f, 0.75f, 0.5f, 0.2f};
  for (int i = 0; i < 4; ++i) {
    const int y = 10 + 12 * i;
    auto* compressor = new GainReductionMeter(Rect(10, y, 134, y + 6), black.get(), red.get(), 124,
                                              VuMeter::kHorizontal);
    compressor->setValue(values[i]);
    picture.draw(compressor);
    auto* expander = new GainReductionMeter(Rect(144, y, 268, y + 6), black.get(), red.get(), 124,
                                            VuMeter::kHorizontal);
    expander->setOffBitmap(blue.get());
    expander->setValue(values[i]);
    picture.draw(expander);
  }
  save(picture, "gain-reduction-meter");
}

TEST_F(ControlPictures, ParamDisplays) {
  // Rows: plain box; shadow text; 3D frame background-first; 3D frame frame-first; transparent
  // with opaque text; left and right alignment; no text; bold on the gain knob's background.
  Picture picture(2 * 80 + 30, 5 * 22 + 20);
  HeldBitmap face(114);
  struct Style {
    int32_t style;
    int32_t alignment;
    bool transparent;
    bool opaqueText;
  };
  const Style styles[] = {
      {0, 1, false, false},
      {ParamDisplay::kShadowText, 1, false, false},
      {ParamDisplay::kFrameBackTopLeft, 1, false, false},
      {ParamDisplay::kFrameFrameTopLeft, 1, false, false},
      {0, 1, true, true},
      {0, 0, false, false},
      {0, 2, false, false},
      {ParamDisplay::kNoText, 1, false, false},
  };
  for (int i = 0; i < 8; ++i) {
    const int x = 10 + 90 * (i % 2);
    const int y = 10 + 22 * (i / 2);
    auto* display = new ParamDisplay(Rect(x, y, x + 80, y + 16), nullptr, styles[i].style);
    display->setFont(3);
    display->setFontColor(kYellow);
    display->setBackgroundColor(Color{0, 0, 96, 0});
    display->setFrameColor(kWhite);
    display->setShadowColor(kRed);
    display->setAlignment(styles[i].alignment);
    display->setTransparency(styles[i].transparent);
    display->setTextTransparent(!styles[i].opaqueText);
    display->setFormatter(decibels);
    display->setValue(0.1f * static_cast<float>(i + 1));
    picture.draw(display);
  }
  auto* onBitmap = new ParamDisplay(Rect(10, 98, 54, 132), face.get(), 0);
  onBitmap->setTextStyle(kBoldFace);
  onBitmap->setFont(5);
  picture.draw(onBitmap);
  save(picture, "param-display");
}

TEST_F(ControlPictures, TextEdits) {
  // Readouts as the editor sets them up: font 6, yellow on black, six characters at most.
  Picture picture(4 * 36 + 10, 2 * 18 + 10);
  const char* texts[] = {"-12", "4.0:1", "inf:1", "1.50", "-inf", "25.0", "0.5000123", ""};
  for (int i = 0; i < 8; ++i) {
    const int x = 10 + 36 * (i % 4);
    const int y = 10 + 18 * (i / 4);
    auto* readout = new TextEdit(Rect(x, y, x + 27, y + 11), nullptr, 4099, texts[i]);
    readout->setFont(6);
    readout->setFontColor(kYellow);
    readout->setBackgroundColor(kBlack);
    readout->setFrameColor(kBlack);
    readout->setTextFormatter(sixCharacters);
    picture.draw(readout);
  }
  save(picture, "text-edit");
}

TEST_F(ControlPictures, OptionMenus) {
  // Crossover menus as the editor sets them up (shadow text, check on the current entry): the
  // four slope entries, a frequency, and an empty menu, which draws nothing.
  Picture picture(4 * 48 + 10, 2 * 18 + 10);
  const char* slopes[] = {"6 dB", "12 dB", "18 dB", "24 dB"};
  for (int i = 0; i < 6; ++i) {
    const int x = 10 + 48 * (i % 4);
    const int y = 10 + 18 * (i / 4);
    auto* menu = new OptionMenu(Rect(x, y, x + 39, y + 11), nullptr, 0, nullptr, nullptr,
                                ParamDisplay::kShadowText | ParamDisplay::kCheckCurrent);
    menu->setFont(6);
    menu->setFontColor(kWhite);
    menu->setShadowColor(kGrey);
    menu->setBackgroundColor(kBlack);
    menu->setFrameColor(kBlack);
    if (i < 4) {
      for (const char* slope : slopes) menu->addEntry(slope);
      menu->setCurrent(i);
    } else if (i == 4) {
      menu->addEntry("-TSplit");
      menu->addEntry("1.25 kHz");
      menu->setCurrent(0, false);
    }
    picture.draw(menu);
  }
  save(picture, "option-menu");
}

TEST_F(ControlPictures, TransferCurveViews) {
  // 20 dB at 4:1 with the expander at 30 dB, 2:1; the expander at or above the compressor
  // (no unity part); the expander threshold beyond the range; 1:1 everywhere.
  HeldBitmap grid(123);
  Picture picture(4 * 67 + 10, 67 + 10);
  const int curves[4][4] = {{20, 40, 30, 20}, {30, 40, 20, 20}, {20, 40, 50, 20}, {20, 10, 30, 10}};
  for (int i = 0; i < 4; ++i) {
    const int x = 10 + 67 * i;
    auto* view = new TransferCurveView(Rect(x, 10, x + 57, 67), grid.get());
    view->setCurve(curves[i][0], curves[i][1], curves[i][2], curves[i][3]);
    picture.draw(view);
  }
  save(picture, "transfer-curve-view");
}

}  // namespace
}  // namespace kestrane
