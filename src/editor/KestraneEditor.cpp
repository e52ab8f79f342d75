#include "editor/KestraneEditor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "editor/GainReductionMeter.h"
#include "editor/ReadoutText.h"
#include "editor/TransferCurveView.h"
#include "gui/Bitmap.h"
#include "gui/FilmStripDisplay.h"
#include "gui/Frame.h"
#include "gui/Knob.h"
#include "gui/OnOffButton.h"
#include "gui/OptionMenu.h"
#include "gui/TextEdit.h"
#include "gui/VuMeter.h"
#include "params/ParameterSteps.h"
#include "params/StepTables.h"
#include "platform/Platform.h"

namespace kestrane {

namespace {

using layout::ControlKind;
using layout::ControlItem;
using layout::Role;

// The readouts' and menus' font (Arial 9).
constexpr int32_t kReadoutFont = 6;
// Readouts show at most this many characters of their text.
constexpr std::size_t kReadoutCharacters = 6;
// Idle passes closer together than this (ms) leave the meters alone.
constexpr uint32_t kMeterRefreshInterval = 5;
// Menu entries and the values they stand for.
constexpr int32_t kLastSlopeStep = steps::kLastSlope;
constexpr int32_t kLastFrequencyStep = steps::kLastFrequency;
constexpr float kPerSlopeStep = 0.33333334f;    // 1/3
constexpr float kPerFrequencyStep = 0.1f;       // 1/10
constexpr int32_t kSplitPoints = 3;

constexpr int32_t kBandGroupFirst = CompThreshLF;  // 6: band parameters run 6..37
constexpr int32_t kBandGroupLast = ExpReleaseHF;   // 37
constexpr int32_t kExpanderOffset = ExpThreshLF - CompThreshLF;  // 16

int32_t bandOfRow(int32_t row) { return kNumBands - 1 - row; }

// The compressor parameter of a band knob: the knob's tag on the compressor page.
int32_t compressorParameter(int32_t band, int32_t column) {
  return CompThreshLF + kNumBands * column + band;
}

// The readout converter: the first characters of the text, as many as the box shows.
void firstCharacters(const char* text, char* shown) {
  std::strncpy(shown, text, kReadoutCharacters);
  shown[kReadoutCharacters] = '\0';
}

float clampUnit(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Keeps a reference that did not reach the frame from leaking: releases it unless handed over.
template <typename T>
class Pending {
 public:
  explicit Pending(T* view) : view_(view) {}
  ~Pending() {
    if (view_ != nullptr) view_->release();
  }
  Pending(const Pending&) = delete;
  Pending& operator=(const Pending&) = delete;
  T* get() const { return view_; }
  T* handOver() {
    T* view = view_;
    view_ = nullptr;
    return view;
  }

 private:
  T* view_;
};

// Counts a user edit under way for as long as it lives.
class UserEdit {
 public:
  explicit UserEdit(int32_t& depth) : depth_(depth) { ++depth_; }
  ~UserEdit() { --depth_; }
  UserEdit(const UserEdit&) = delete;
  UserEdit& operator=(const UserEdit&) = delete;

 private:
  int32_t& depth_;
};

}  // namespace

// --- Life cycle ----------------------------------------------------------------------------------

KestraneEditor::KestraneEditor(EditorHost* editorHost) : EditorBase(editorHost) {
  background = new (std::nothrow) Bitmap(layout::BackgroundBitmap);
  if (background != nullptr) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = background->getHeight();
    rect.right = background->getWidth();
  }
}

KestraneEditor::~KestraneEditor() {
  close();
  if (background != nullptr) background->release();
  background = nullptr;
}

int32_t KestraneEditor::open(void* window) {
  if (frame != nullptr) close();
  EditorBase::open(window);
  clearControlReferences();
  meters.clear();
  clearDrivenFlags();
  editorThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  deferredParameters.store(0, std::memory_order_relaxed);
  if (background == nullptr) return 0;

  frame = new (std::nothrow) Frame(Rect(0, 0, rect.right, rect.bottom), window, this);
  // A frame without its window is of no use: no parent given, or one the platform refused or
  // could not put a window into.
  bool built = frame != nullptr && frame->getSystemWindow() != nullptr;
  if (built) frame->setBackground(background);

  for (std::size_t i = 0; built && i < layout::kBitmapCount; ++i) {
    const int32_t id = layout::kBitmaps[i].id;
    if (id == layout::BackgroundBitmap || bitmaps[i] != nullptr) continue;
    bitmaps[i] = new (std::nothrow) Bitmap(id);
    built = bitmaps[i] != nullptr;
  }
  for (const ControlItem& item : layout::kControls) {
    if (!built) break;
    built = createControl(item);
  }
  if (!built) {
    close();
    return 0;
  }
  // The page-dependent settings of the band knobs, once they all exist.
  showBandKnobsPage();
  fillCrossoverMenus();
  return 1;
}

void KestraneEditor::close() {
  delete frame;  // releases every control
  frame = nullptr;
  clearControlReferences();
  releaseControlBitmaps();
}

void KestraneEditor::clearControlReferences() {
  pagePanel = nullptr;
  for (auto& meter : levelMeters) meter = nullptr;
  for (auto& meter : reductionMeters) meter = nullptr;
  lookaheadKnob = nullptr;
  lookaheadReadout = nullptr;
  lookaheadSwitch = nullptr;
  for (int32_t b = 0; b < kNumBands; ++b) {
    gainKnobs[b] = nullptr;
    gainReadouts[b] = nullptr;
    bandSwitches[b] = nullptr;
    curveViews[b] = nullptr;
    for (int32_t c = 0; c < kBandColumns; ++c) {
      bandKnobs[b][c] = nullptr;
      bandReadouts[b][c] = nullptr;
    }
  }
  pageButtons[0] = pageButtons[1] = nullptr;
  for (int32_t k = 0; k < kSplitPoints; ++k) frequencyMenus[k] = slopeMenus[k] = nullptr;
}

void KestraneEditor::releaseControlBitmaps() {
  for (Bitmap*& held : bitmaps) {
    if (held != nullptr) held->release();
    held = nullptr;
  }
}

Bitmap* KestraneEditor::bitmap(int32_t id) const {
  if (id == layout::BackgroundBitmap) return background;
  for (std::size_t i = 0; i < layout::kBitmapCount; ++i) {
    if (layout::kBitmaps[i].id == id) return bitmaps[i];
  }
  return nullptr;
}

// --- Building the controls -----------------------------------------------------------------------

bool KestraneEditor::createControl(const ControlItem& item) {
  const Rect size(item.rect.left, item.rect.top, item.rect.right, item.rect.bottom);
  const int32_t band = item.row >= 0 ? bandOfRow(item.row) : -1;
  Control* made = nullptr;
  switch (item.kind) {
    case ControlKind::FilmStripDisplay:
      made = new (std::nothrow) FilmStripDisplay(size, this, item.tag, item.frames,
                                                 item.frameHeight, bitmap(item.bitmap));
      break;
    case ControlKind::VuMeter:
      made = new (std::nothrow) VuMeter(size, bitmap(item.bitmap), bitmap(item.secondBitmap),
                                        item.ledCount, item.style);
      break;
    case ControlKind::GainReductionMeter:
      made = new (std::nothrow) GainReductionMeter(
          size, bitmap(item.bitmap), bitmap(item.secondBitmap), item.ledCount, item.style);
      break;
    case ControlKind::AnimatedKnob:
      made = new (std::nothrow) AnimatedKnob(size, this, item.tag, item.frames, item.frameHeight,
                                             bitmap(item.bitmap));
      break;
    case ControlKind::TextEdit:
      made = new (std::nothrow) TextEdit(size, this, item.tag, nullptr, nullptr, 0);
      break;
    case ControlKind::OnOffButton:
      made = new (std::nothrow) OnOffButton(size, this, item.tag, bitmap(item.bitmap));
      break;
    case ControlKind::TransferCurveView:
      made = new (std::nothrow) TransferCurveView(size, bitmap(item.bitmap));
      break;
    case ControlKind::OptionMenu:
      made = new (std::nothrow) OptionMenu(size, this, item.tag, nullptr, nullptr, item.style);
      break;
  }
  Pending<Control> control(made);
  if (control.get() == nullptr) return false;

  // Settings before the control joins the frame.
  switch (item.kind) {
    case ControlKind::AnimatedKnob:
      control.get()->setDefaultValue(item.defaultValue);
      break;
    case ControlKind::TextEdit: {
      auto* readout = static_cast<TextEdit*>(control.get());
      readout->setFont(kReadoutFont);
      readout->setFontColor(kYellow);
      readout->setBackgroundColor(kBlack);
      readout->setFrameColor(kBlack);
      readout->setTextFormatter(firstCharacters);
      break;
    }
    case ControlKind::OptionMenu: {
      auto* menu = static_cast<OptionMenu*>(control.get());
      menu->setFont(kReadoutFont);
      menu->setFontColor(kWhite);
      menu->setShadowColor(kGrey);
      menu->setBackgroundColor(kBlack);
      menu->setFrameColor(kBlack);
      if (item.variant == 1) {  // slope: 6, 12, 18, 24 dB per octave
        for (int32_t step = 0; step <= kLastSlopeStep; ++step) {
          char entry[16];
          std::snprintf(entry, sizeof entry, "%d dB", 6 * (step + 1));
          if (!menu->addEntry(entry)) return false;
        }
        menu->setCurrent(steps::slope(value(item.tag)), true);
      }
      break;
    }
    default:
      break;
  }
  if (!frame->addView(control.get())) return false;
  Control* added = control.handOver();

  // The reference, and what the control shows.
  switch (item.role) {
    case Role::PagePanel:
      pagePanel = static_cast<FilmStripDisplay*>(added);
      pagePanel->setValue(static_cast<float>(page));
      break;
    case Role::LevelMeter: {
      const int32_t slot = band < 0 ? (item.column == 0 ? LevelInputLeft : LevelOutputLeft) +
                                          item.variant
                                    : (item.column == 0 ? bandInLevel(band) : bandOutLevel(band));
      levelMeters[slot] = static_cast<VuMeter*>(added);
      added->setValue(meters.level[slot].load(std::memory_order_relaxed));
      break;
    }
    case Role::ReductionMeter: {
      const int32_t slot = gainReductionSlot(band);
      reductionMeters[slot] = static_cast<GainReductionMeter*>(added);
      added->setValue(meters.gainReduction[slot].load(std::memory_order_relaxed));
      break;
    }
    case Role::LookaheadKnob:
      lookaheadKnob = static_cast<AnimatedKnob*>(added);
      break;
    case Role::GainKnob:
      gainKnobs[band] = static_cast<AnimatedKnob*>(added);
      break;
    case Role::BandKnob:
      bandKnobs[band][item.column] = static_cast<AnimatedKnob*>(added);
      break;
    case Role::LookaheadReadout:
      lookaheadReadout = static_cast<TextEdit*>(added);
      setParameter(item.parameter, value(item.parameter));
      break;
    case Role::GainReadout:
      gainReadouts[band] = static_cast<TextEdit*>(added);
      setParameter(item.parameter, value(item.parameter));
      break;
    case Role::BandReadout:
      bandReadouts[band][item.column] = static_cast<TextEdit*>(added);
      setParameter(item.parameter, value(item.parameter));
      break;
    case Role::PageButton:
      pageButtons[item.column] = static_cast<OnOffButton*>(added);
      added->setValue(static_cast<float>(item.column == 0 ? 1 - page : page));
      break;
    case Role::EnableButton:
      if (band < 0) {
        lookaheadSwitch = static_cast<OnOffButton*>(added);
      } else {
        bandSwitches[band] = static_cast<OnOffButton*>(added);
      }
      added->setValue(value(item.tag));
      break;
    case Role::CurveView:
      curveViews[band] = static_cast<TransferCurveView*>(added);
      showCurve(band);
      break;
    case Role::CrossoverMenu:
      (item.variant == 0 ? frequencyMenus : slopeMenus)[item.column] =
          static_cast<OptionMenu*>(added);
      break;
  }
  return true;
}

// --- Parameters to the display -------------------------------------------------------------------

float KestraneEditor::value(int32_t index) const {
  return host != nullptr ? host->getParameter(index) : 0.0f;
}

int32_t KestraneEditor::bandParameter(int32_t band, int32_t column) const {
  if (column == Gain) return GainLF + band;
  return compressorParameter(band, column) + (page != 0 ? kExpanderOffset : 0);
}

void KestraneEditor::setParameter(int32_t index, float) {
  if (std::this_thread::get_id() != editorThread.load(std::memory_order_relaxed)) {
    // Controls (and the frame) belong to the user-interface thread: note the change for the
    // next idle (open starts afresh from the current values).
    if (isParamIndex(index)) {
      deferredParameters.fetch_or(uint64_t{1} << index, std::memory_order_relaxed);
    }
    return;
  }
  if (frame == nullptr) return;
  pollLinkKey();
  if (index >= kBandGroupFirst && index <= GainHF) {
    const int32_t relative = index - kBandGroupFirst;
    const int32_t band = index >= GainLF ? index - GainLF : relative % kNumBands;
    const int32_t column =
        index >= GainLF ? static_cast<int32_t>(Gain) : (relative % kExpanderOffset) / kNumBands;
    if (bandParameter(band, column) == index) linkBands(band, column);
  }
  if (isParamIndex(index)) {
    showParameter(index);
  } else if (index == layout::kCompressorPageTag || index == layout::kExpanderPageTag) {
    selectPage(index == layout::kExpanderPageTag ? 1 : 0);
  } else if (index >= layout::kLookaheadReadoutTag &&
             index < layout::kFirstBandReadoutTag + kNumBands * kBandColumns) {
    readoutCommitted(index);
  }
  postUpdate();
}

void KestraneEditor::showParameter(int32_t index) {
  char text[readout::kTextBytes];
  if (index >= Fir1Slope && index <= Fir3Slope) {
    // The nearest slope, as the engine selects it.
    if (OptionMenu* menu = slopeMenus[index - Fir1Slope]) {
      menu->setCurrent(steps::slope(value(index)), true);
    }
  } else if (index >= Fir1Freq && index <= Fir3Freq) {
    // Each menu's list depends on the neighbouring split points: rebuild all three.
    fillCrossoverMenus();
  } else if (index >= kBandGroupFirst && index <= kBandGroupLast) {
    const int32_t relative = (index - kBandGroupFirst) % kExpanderOffset;
    const int32_t band = relative % kNumBands;
    const int32_t column = relative / kNumBands;
    showBandColumn(band, column);
    if (column == Threshold || column == Ratio) showCurve(band);
  } else if (index >= GainLF && index <= GainHF) {
    const int32_t band = index - GainLF;
    if (gainKnobs[band] != nullptr) gainKnobs[band]->setValue(value(index));
    readout::gainText(value(index), text);
    if (gainReadouts[band] != nullptr) gainReadouts[band]->setText(text);
  } else if (index == Lookahead) {
    if (lookaheadKnob != nullptr) lookaheadKnob->setValue(value(index));
    readout::lookaheadText(value(index), text);
    if (lookaheadReadout != nullptr) {
      lookaheadReadout->setText(text);
      lookaheadReadout->setDirty(true);
    }
  } else if (index == EnableLookahead) {
    if (lookaheadSwitch != nullptr) lookaheadSwitch->setValue(value(index));
  } else if (index >= EnableLF && index <= EnableHF) {
    if (bandSwitches[index - EnableLF] != nullptr) {
      bandSwitches[index - EnableLF]->setValue(value(index));
    }
  } else if (index == DisplayMode) {
    // Only a value of 1 selects the expander page.
    page = steps::page(value(index));
    showPage();
  }
}

void KestraneEditor::showBandColumn(int32_t band, int32_t column) {
  if (AnimatedKnob* knob = bandKnobs[band][column]) {
    knob->setValue(value(bandParameter(band, column)));
  }
  setBandReadout(band, column);
}

void KestraneEditor::setBandReadout(int32_t band, int32_t column) {
  TextEdit* readoutView = bandReadouts[band][column];
  if (readoutView == nullptr) return;
  const float v = value(bandParameter(band, column));
  char text[readout::kTextBytes];
  switch (column) {
    case Threshold:
      if (page != 0) {
        readout::expanderThresholdText(v, text);
      } else {
        readout::compressorThresholdText(v, text);
      }
      break;
    case Ratio:
      readout::ratioText(v, page != 0, text);
      break;
    case Attack:
      readout::attackText(v, text);
      break;
    default:
      readout::releaseText(v, text);
      break;
  }
  readoutView->setText(text);
}

void KestraneEditor::showCurve(int32_t band) {
  TransferCurveView* view = curveViews[band];
  if (view == nullptr) return;
  view->setCurve(readout::compressorThresholdDb(value(CompThreshLF + band)),
                 readout::ratioTenths(value(CompRatioLF + band)),
                 readout::expanderThresholdDb(value(ExpThreshLF + band)),
                 readout::ratioTenths(value(ExpRatioLF + band)));
  view->setDirty(true);
}

void KestraneEditor::showBandKnobsPage() {
  const int32_t film = page != 0 ? layout::ExpanderKnobBitmap : layout::CompressorKnobBitmap;
  for (int32_t band = 0; band < kNumBands; ++band) {
    for (int32_t column = 0; column < kBandColumns; ++column) {
      AnimatedKnob* knob = bandKnobs[band][column];
      if (knob == nullptr) continue;
      knob->setBackground(bitmap(film));
      // The knob carries the index of the parameter it moves, so that the host's edit bracket
      // and its automation name the same parameter.
      knob->setTag(bandParameter(band, column));
      // Thresholds go back to 0 dB on the compressor page, to off on the expander page.
      if (column == Threshold) knob->setDefaultValue(page != 0 ? 0.0f : 1.0f);
    }
  }
}

void KestraneEditor::showPage() {
  if (pageButtons[0] != nullptr) pageButtons[0]->setValue(static_cast<float>(1 - page));
  if (pageButtons[1] != nullptr) pageButtons[1]->setValue(static_cast<float>(page));
  if (pagePanel != nullptr) pagePanel->setValue(static_cast<float>(page));
  showBandKnobsPage();
  for (int32_t column = 0; column < kBandColumns; ++column) {
    for (int32_t band = kNumBands - 1; band >= 0; --band) {
      if (AnimatedKnob* knob = bandKnobs[band][column]) {
        knob->setValue(value(bandParameter(band, column)));
        knob->setDirty(true);
      }
      setBandReadout(band, column);
      if (bandReadouts[band][column] != nullptr) bandReadouts[band][column]->setDirty(true);
    }
  }
  for (int32_t band = 0; band < kNumBands; ++band) showCurve(band);
  // Anchors of the band link belong to a page: a page change while Shift is held starts over.
  if (shiftHeldNow) {
    takeLinkAnchors();
    clearDrivenFlags();
  }
  fillCrossoverMenus();
}

void KestraneEditor::fillCrossoverMenus() {
  int32_t chosen[kSplitPoints];
  for (int32_t k = 0; k < kSplitPoints; ++k) {
    chosen[k] = steps::frequency(value(Fir1Freq + k));
  }
  // Split point k may range between its neighbours' steps; its own step is always listed, even
  // when a host has set the three out of order.
  const int32_t first[kSplitPoints] = {0, std::min(chosen[0], chosen[1]),
                                       std::min(chosen[1], chosen[2])};
  const int32_t last[kSplitPoints] = {std::max(chosen[0], chosen[1]),
                                      std::max(chosen[1], chosen[2]), kLastFrequencyStep};
  for (int32_t k = 0; k < kSplitPoints; ++k) {
    frequencyMenuFirstStep[k] = first[k];
    OptionMenu* menu = frequencyMenus[k];
    if (menu == nullptr) continue;
    menu->removeAllEntries();
    for (int32_t step = first[k]; step <= last[k]; ++step) {
      char entry[16];
      // Split point k uses the frequencies from entry k of the table on.
      std::snprintf(entry, sizeof entry, "%d Hz", CrossoverFreqSteps[step + k]);
      menu->addEntry(entry);
    }
    menu->setCurrent(chosen[k] - first[k], true);
  }
}

// --- Editor tags ---------------------------------------------------------------------------------

void KestraneEditor::selectPage(int32_t newPage) {
  page = newPage;
  if (host != nullptr) host->setParameterAutomated(DisplayMode, static_cast<float>(newPage));
  showPage();
}

void KestraneEditor::readoutCommitted(int32_t tag) {
  TextEdit* source = nullptr;
  int32_t index = -1;
  float typedValue = 0.0f;
  char text[TextEdit::kMaxTextLength + 1] = "";
  if (tag == layout::kLookaheadReadoutTag) {
    source = lookaheadReadout;
    index = Lookahead;
  } else if (tag < layout::kFirstBandReadoutTag) {
    const int32_t band = bandOfRow(tag - layout::kFirstGainReadoutTag);
    source = gainReadouts[band];
    index = GainLF + band;
  } else {
    const int32_t row = (tag - layout::kFirstBandReadoutTag) / kBandColumns;
    const int32_t column = (tag - layout::kFirstBandReadoutTag) % kBandColumns;
    source = bandReadouts[bandOfRow(row)][column];
    index = bandParameter(bandOfRow(row), column);
  }
  if (source == nullptr || host == nullptr) return;
  source->getText(text);

  const bool expander = page != 0;
  if (index == Lookahead) {
    typedValue = readout::lookaheadFromText(text);
  } else if (index >= GainLF) {
    typedValue = readout::gainFromText(text);
  } else {
    switch (((index - kBandGroupFirst) % kExpanderOffset) / kNumBands) {
      case Threshold:
        typedValue = expander ? readout::expanderThresholdFromText(text)
                              : readout::compressorThresholdFromText(text);
        break;
      case Ratio:
        typedValue = readout::ratioFromText(text, expander);
        break;
      case Attack:
        typedValue = readout::attackFromText(text);
        break;
      default:
        typedValue = readout::releaseFromText(text);
        break;
    }
  }
  // The host's change comes back through setParameter, which shows the value's own text.
  host->setParameterAutomated(index, typedValue);
}

// --- User edits ----------------------------------------------------------------------------------

void KestraneEditor::valueChanged(DrawContext* context, Control* control) {
  if (control == nullptr || host == nullptr) return;
  const int32_t tag = control->getTag();
  if (tag != lastTag) {
    lastTag = tag;
    clearDrivenFlags();
  }
  UserEdit edit(userEditDepth);
  const float v = control->getValue();
  if (tag >= Fir1Slope && tag <= Fir3Slope) {
    host->setParameterAutomated(tag, v * kPerSlopeStep);
  } else if (tag >= Fir1Freq && tag <= Fir3Freq) {
    // Entry j of a frequency menu stands for the step its first entry stands for, plus j.
    const float first = static_cast<float>(frequencyMenuFirstStep[tag - Fir1Freq]);
    host->setParameterAutomated(tag, (v + first) * kPerFrequencyStep);
    fillCrossoverMenus();
  } else if (tag >= layout::kCompressorPageTag) {
    // The editor's own controls: the editor acts on them, and reports the parameter they change.
    host->setParameter(tag, v);
  } else {
    host->setParameterAutomated(tag, v);
  }
  if (context != nullptr) control->update(context);
}

// --- Band link -----------------------------------------------------------------------------------

void KestraneEditor::pollLinkKey() {
  const bool held = platform::keyDown(platform::Key::Shift);
  shiftHeldNow = held;
  if (held != shiftHeldBefore) {
    if (held) {
      takeLinkAnchors();
    } else {
      clearDrivenFlags();
    }
  }
  shiftHeldBefore = held;
}

void KestraneEditor::takeLinkAnchors() {
  for (int32_t band = 0; band < kNumBands; ++band) {
    gainAnchors[band] = value(GainLF + band);
    for (int32_t column = 0; column < kBandColumns; ++column) {
      bandAnchors[column][band] = value(bandParameter(band, column));
    }
  }
}

void KestraneEditor::clearDrivenFlags() {
  for (bool& flag : driven) flag = false;
}

void KestraneEditor::linkBands(int32_t band, int32_t column) {
  // Only the user's own edits are multiplied; host automation and program changes are not,
  // whatever the keyboard says.
  if (!shiftHeldNow || userEditDepth == 0 || driven[band] || host == nullptr) return;
  for (int32_t b = 0; b < kNumBands; ++b) driven[b] = b != band;
  const auto anchor = [&](int32_t b) {
    return column == Gain ? gainAnchors[b] : bandAnchors[column][b];
  };
  const float delta = anchor(band) - value(bandParameter(band, column));
  for (int32_t other = kNumBands - 1; other >= 0; --other) {
    if (other == band) continue;
    host->setParameterAutomated(bandParameter(other, column), clampUnit(anchor(other) - delta));
  }
}

// --- Idle ----------------------------------------------------------------------------------------

void KestraneEditor::idle() {
  if (inIdle) return;
  if (frame != nullptr) {
    showDeferredParameters();
    pollLinkKey();
    const uint32_t now = platform::tickCount();
    currentIdleTick = now;
    if (now - previousIdleTick > kMeterRefreshInterval) refreshMeters();
    previousIdleTick = now;
  }
  EditorBase::idle();
}

void KestraneEditor::showDeferredParameters() {
  uint64_t pending = deferredParameters.exchange(0, std::memory_order_relaxed);
  for (int32_t index = 0; pending != 0; ++index, pending >>= 1) {
    if ((pending & 1) != 0) setParameter(index, value(index));
  }
}

void KestraneEditor::refreshMeters() {
  constexpr auto relaxed = std::memory_order_relaxed;
  // Level meters hold the block peaks; without a new one they fall by a step per refresh. A
  // peak the engine stores meanwhile wins over the lowered value.
  constexpr MeterLevel kLevelOrder[kNumLevelSlots] = {
      LevelInputLeft,   LevelInputRight,  LevelBandInHF,   LevelBandInHMF,
      LevelBandInLMF,   LevelBandInLF,    LevelOutputLeft, LevelOutputRight,
      LevelBandOutHF,   LevelBandOutHMF,  LevelBandOutLMF, LevelBandOutLF};
  for (MeterLevel slot : kLevelOrder) {
    float level = meters.level[slot].load(relaxed);
    if (levelMeters[slot] != nullptr) levelMeters[slot]->setValue(level);
    if (meters.levelFresh[slot].load(relaxed) == 0 && level > 0.0f) {
      meters.level[slot].compare_exchange_strong(level, level - kMeterDecayStep, relaxed);
    } else {
      meters.levelFresh[slot].store(0, relaxed);
    }
  }
  // Gain-reduction meters show each block's reading in the colour of the half that acts, and
  // return towards no reduction by a step per refresh while no reading comes.
  for (int32_t band = 0; band < kNumBands; ++band) {
    const int32_t slot = gainReductionSlot(band);
    GainReductionMeter* meter = reductionMeters[slot];
    float reading = meters.gainReduction[slot].load(relaxed);
    if (meters.gainReductionFresh[slot].load(relaxed) != 0) {
      if (meter != nullptr) {
        Bitmap* colour = bitmap(meters.gainReductionMode[slot].load(relaxed) != 0
                                    ? layout::ExpanderReductionBitmap
                                    : layout::CompressorReductionBitmap);
        // A change of the acting half is redrawn even when the reading repeats.
        if (colour != meter->offBitmap()) {
          meter->setOffBitmap(colour);
          meter->setDirty(true);
        }
        meter->setValue(reading);
      }
      meters.gainReductionFresh[slot].store(0, relaxed);
    } else if (reading < 1.0f) {
      const float raised = reading + kMeterDecayStep;
      if (meters.gainReduction[slot].compare_exchange_strong(reading, raised, relaxed)) {
        reading = raised;
      }
      if (meter != nullptr) meter->setValue(reading);
    }
  }
}

}  // namespace kestrane
