// The opened editor against its layout table: every control of the right class at its place
// with its tag, bitmap and settings, in creation order; the page it opens on; what close and
// open keep and what they start afresh.
#include <gtest/gtest.h>

#include "EditorTestSupport.h"
#include "GuiTestSupport.h"
#include "editor/GainReductionMeter.h"
#include "editor/TransferCurveView.h"
#include "gui/Bitmap.h"
#include "gui/FilmStripDisplay.h"
#include "gui/Knob.h"
#include "gui/OnOffButton.h"
#include "gui/OptionMenu.h"
#include "gui/VuMeter.h"

namespace kestrane {
namespace {

using layout::ControlKind;
using layout::Role;
using testing::EditorHostLog;
using testing::layoutIndex;
using testing::rowOf;

class EditorLayout : public testing::OpenEditor {};

bool isKind(Control* control, ControlKind kind) {
  switch (kind) {
    case ControlKind::FilmStripDisplay: return dynamic_cast<FilmStripDisplay*>(control);
    case ControlKind::VuMeter:
      return dynamic_cast<VuMeter*>(control) && !dynamic_cast<GainReductionMeter*>(control);
    case ControlKind::GainReductionMeter: return dynamic_cast<GainReductionMeter*>(control);
    case ControlKind::AnimatedKnob: return dynamic_cast<AnimatedKnob*>(control);
    case ControlKind::TextEdit: return dynamic_cast<TextEdit*>(control);
    case ControlKind::OnOffButton: return dynamic_cast<OnOffButton*>(control);
    case ControlKind::TransferCurveView: return dynamic_cast<TransferCurveView*>(control);
    case ControlKind::OptionMenu: return dynamic_cast<OptionMenu*>(control);
  }
  return false;
}

TEST_F(EditorLayout, Opens76ControlsInTableOrderWithTheirPlacesTagsAndBitmaps) {
  ERect* rect = nullptr;
  ASSERT_EQ(effect->dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, 640);
  EXPECT_EQ(rect->bottom - rect->top, 489);
  EXPECT_NE(effect->getAeffect()->flags & effFlagsHasEditor, 0);
  ASSERT_NE(frame(), nullptr);
  ASSERT_EQ(frame()->getViewCount(), 76);
  ASSERT_NE(frame()->getBackground(), nullptr);
  EXPECT_EQ(frame()->getBackground()->getResourceId(), 103);

  for (std::size_t i = 0; i < layout::kControlCount; ++i) {
    const layout::ControlItem& item = layout::kControls[i];
    SCOPED_TRACE(item.name);
    Control* control = view(i);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(isKind(control, item.kind));
    const Rect& size = control->getSize();
    EXPECT_EQ(size.left, item.rect.left);
    EXPECT_EQ(size.top, item.rect.top);
    EXPECT_EQ(size.right, item.rect.right);
    EXPECT_EQ(size.bottom, item.rect.bottom);
    EXPECT_EQ(control->getTag(), item.tag);
    // The editor listens to everything that reports; the meters and curves report nothing.
    const bool displayOnly = item.kind == ControlKind::VuMeter ||
                             item.kind == ControlKind::GainReductionMeter ||
                             item.kind == ControlKind::TransferCurveView;
    EXPECT_EQ(control->getListener() == nullptr, displayOnly);
    if (item.bitmap != 0 && !displayOnly) {
      ASSERT_NE(control->getBackground(), nullptr);
      EXPECT_EQ(control->getBackground()->getResourceId(), item.bitmap);
    }
    if (auto* knob = dynamic_cast<AnimatedKnob*>(control)) {
      EXPECT_EQ(knob->getFrameCount(), 37);
      EXPECT_EQ(knob->getFrameHeight(), 34);
      EXPECT_FLOAT_EQ(knob->getDefaultValue(), item.defaultValue);
    }
    if (auto* readout = dynamic_cast<TextEdit*>(control)) {
      EXPECT_EQ(readout->getFont(), 6);
      EXPECT_TRUE(readout->getFontColor().sameRgb(kYellow));
      EXPECT_TRUE(readout->getBackgroundColor().sameRgb(kBlack));
      EXPECT_FALSE(readout->text()[0] == '\0');  // filled from the parameter at once
    }
    if (auto* menu = dynamic_cast<OptionMenu*>(control)) {
      EXPECT_EQ(menu->getStyle(), 0x404);
      EXPECT_TRUE(menu->getFontColor().sameRgb(kWhite));
      EXPECT_TRUE(menu->getShadowColor().sameRgb(kGrey));
      EXPECT_GE(menu->getCurrent(), 0);
    }
  }
  // The gain-reduction meters start with the compressor's bar, the curves with their band's values.
  auto* reduction = view<GainReductionMeter>(Role::ReductionMeter, 0);
  ASSERT_NE(reduction->offBitmap(), nullptr);
  EXPECT_EQ(reduction->offBitmap()->getResourceId(), 124);
  auto* curve = view<TransferCurveView>(Role::CurveView, rowOf(BandLF));
  set(CompThreshLF, 0.5f);
  EXPECT_EQ(curve->getCompressorThreshold(), 20);
}

TEST_F(EditorLayout, ReadoutsShowAtMostSixCharacters) {
  auto* readout = view<TextEdit>(Role::LookaheadReadout, -1);
  const layout::Box& box = layout::kControls[layoutIndex(Role::LookaheadReadout, -1)].rect;
  const Rect area(box.left, box.top, box.right + 1, box.bottom + 1);
  const auto drawn = [&](const char* shown) {
    testing::Canvas canvas(layout::kEditorWidth, layout::kEditorHeight);
    readout->setText(shown);
    readout->draw(&canvas.context());
    std::vector<platform::ColorRef> pixels(static_cast<std::size_t>(area.width() * area.height()));
    platform::readPixels(canvas.context().getSurface(), area.left, area.top, area.width(),
                         area.height(), pixels.data());
    return pixels;
  };
  const std::vector<platform::ColorRef> long10 = drawn("1234567890");
  EXPECT_EQ(readout->text(), std::string("1234567890"));  // the text itself is kept whole
  const std::vector<platform::ColorRef> six = drawn("123456");
  EXPECT_EQ(long10, six);
  EXPECT_NE(six, drawn("12345"));
}

TEST_F(EditorLayout, ControlsStartFromTheEffectsValues) {
  set(EnableHMF, 0.0f);
  set(Fir2Slope, 1.0f);
  set(Lookahead, 0.25f);
  close();
  ASSERT_TRUE(open());
  EXPECT_EQ(view(Role::EnableButton, rowOf(BandHMF))->getValue(), 0.0f);
  EXPECT_EQ(view(Role::EnableButton, -1)->getValue(), get(EnableLookahead));
  EXPECT_EQ(view<OptionMenu>(Role::CrossoverMenu, -1, 1, 1)->getCurrent(), 3);  // 24 dB
  EXPECT_EQ(view(Role::LookaheadKnob, -1)->getValue(), 0.25f);
  EXPECT_EQ(text(layoutIndex(Role::LookaheadReadout, -1)), "25");
  EXPECT_EQ(view(Role::BandKnob, rowOf(BandLMF), 2)->getValue(), get(CompAttackLMF));
}

TEST_F(EditorLayout, OpeningWithTheExpanderPageStoredShowsTheExpanderPage) {
  set(DisplayMode, 1.0f);
  EXPECT_EQ(editor()->getPage(), 1);
  set(ExpRatioHMF, 1.0f);
  close();
  ASSERT_TRUE(open());
  EXPECT_EQ(view(Role::PagePanel, -1)->getValue(), 1.0f);
  EXPECT_EQ(view(Role::PageButton, -1, 0)->getValue(), 0.0f);
  EXPECT_EQ(view(Role::PageButton, -1, 1)->getValue(), 1.0f);
  for (int32_t band = 0; band < kNumBands; ++band) {
    for (int column = 0; column < 4; ++column) {
      Control* knob = view(Role::BandKnob, rowOf(band), column);
      const int32_t expander = ExpThreshLF + 4 * column + band;
      EXPECT_EQ(knob->getBackground()->getResourceId(), 127);
      EXPECT_EQ(knob->getValue(), get(expander));
      // On this page the knob stands for the expander parameter and carries its index.
      EXPECT_EQ(knob->getTag(), expander);
    }
    EXPECT_EQ(view(Role::BandKnob, rowOf(band), 0)->getDefaultValue(), 0.0f);
  }
  EXPECT_EQ(bandText(BandHMF, 1), "1:inf");
}

TEST_F(EditorLayout, TheStoredPageChangesOnlyWhileTheEditorIsOpen) {
  close();
  set(DisplayMode, 1.0f);  // stored in the effect, but the closed editor keeps its page
  ASSERT_TRUE(open());
  EXPECT_EQ(editor()->getPage(), 0);
  EXPECT_EQ(view(Role::PageButton, -1, 0)->getValue(), 1.0f);
  EXPECT_EQ(view(Role::BandKnob, 0, 1)->getBackground()->getResourceId(), 106);
}

TEST_F(EditorLayout, CloseAndOpenKeepThePageAndStartTheMetersAtRest) {
  set(DisplayMode, 1.0f);
  MeterSlots& slots = editor()->meterSlots();
  slots.level[LevelOutputLeft].store(0.8f);
  slots.levelFresh[LevelOutputLeft].store(1);
  slots.gainReduction[gainReductionSlot(BandLF)].store(0.3f);
  idleLater();
  EXPECT_EQ(view(Role::LevelMeter, -1, 1, 0)->getValue(), 0.8f);

  close();
  EXPECT_EQ(frame(), nullptr);
  ASSERT_TRUE(open());
  EXPECT_EQ(editor()->getPage(), 1);
  for (std::size_t i = 0; i < layout::kControlCount; ++i) {
    const layout::ControlItem& item = layout::kControls[i];
    if (item.role == Role::LevelMeter) {
      EXPECT_EQ(view(i)->getValue(), 0.0f) << item.name;
    }
    if (item.role == Role::ReductionMeter) {
      EXPECT_EQ(view(i)->getValue(), 1.0f) << item.name;
    }
  }
  EXPECT_EQ(slots.level[LevelOutputLeft].load(), 0.0f);
  EXPECT_EQ(slots.gainReduction[gainReductionSlot(BandLF)].load(), 1.0f);
}

TEST_F(EditorLayout, AClosedEditorIgnoresParametersAndIdle) {
  close();
  set(GainLF, 0.0f);
  set(Fir1Freq, 0.3f);
  idleLater();
  EXPECT_EQ(frame(), nullptr);
  ASSERT_TRUE(open());
  EXPECT_EQ(text(layoutIndex(Role::GainReadout, rowOf(BandLF))), "-inf");
}

TEST_F(EditorLayout, AControlClickResetsKnobsToTheirPagesDefault) {
  const std::size_t gain = layoutIndex(Role::GainKnob, rowOf(BandHMF));
  const std::size_t threshold = layoutIndex(Role::BandKnob, rowOf(BandLMF), 0);
  click(gain, platform::LeftButtonBit | platform::ControlBit);
  EXPECT_EQ(get(GainHMF), layout::kGainDefault);
  EXPECT_EQ(text(layoutIndex(Role::GainReadout, rowOf(BandHMF))), "0.0");
  click(threshold, platform::LeftButtonBit | platform::ControlBit);
  EXPECT_EQ(get(CompThreshLMF), 1.0f);
  EXPECT_EQ(bandText(BandLMF, 0), "0");
  set(ExpThreshLMF, 0.5f);
  set(DisplayMode, 1.0f);
  click(threshold, platform::LeftButtonBit | platform::ControlBit);
  EXPECT_EQ(get(ExpThreshLMF), 0.0f);
  EXPECT_EQ(bandText(BandLMF, 0), "-inf");
}

TEST_F(EditorLayout, AClickWhereABandKnobLiesOverThePagePanelReachesTheKnob) {
  const std::size_t knob = layoutIndex(Role::BandKnob, rowOf(BandHF), 3);
  set(CompReleaseHF, 0.5f);
  click(knob, platform::LeftButtonBit | platform::ControlBit);
  EXPECT_EQ(get(CompReleaseHF), 0.0f);  // the knob's default; the panel takes no clicks
  EXPECT_FALSE(EditorHostLog::automations().empty());
}

}  // namespace
}  // namespace kestrane
