// KestraneEditor: the plug-in's own window content. A 640 x 489 picture with 76 controls laid
// over it from the layout table (editor/Layout.h): level and gain-reduction meters, the lookahead
// and gain knobs, sixteen band knobs shared by two pages (compressor and expander), editable
// readouts under every knob, on/off switches, the page buttons, transfer-curve views and the
// crossover menus.
//
// Roads in and out:
//   - a parameter change (from the host, a program change or the editor itself) reaches
//     setParameter, which shows the value on the controls concerned;
//   - a user edit reaches valueChanged, which turns it into a parameter change reported to the
//     host (EditorHost::setParameterAutomated);
//   - idle refreshes the meters from the slots the engine fills at the end of every audio block.
// Shift links the bands (the band link): with it held, editing one band's knob or readout drags
// the other three bands' same control along by as much.
//
// Threads. open, close, idle and valueChanged run on the host's user-interface thread (the
// thread that opened the editor). setParameter may arrive on any thread; on another thread it
// only notes the index, and the next idle shows it. The meter slots are written by the audio
// thread and read by idle without a lock (MeterSlots).
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "editor/Layout.h"
#include "engine/MeterSlots.h"
#include "gui/ControlListener.h"
#include "gui/EditorBase.h"
#include "params/ParamId.h"

namespace kestrane {

class AnimatedKnob;
class Bitmap;
class Control;
class FilmStripDisplay;
class GainReductionMeter;
class OnOffButton;
class OptionMenu;
class TextEdit;
class TransferCurveView;
class VuMeter;

class KestraneEditor : public EditorBase, public ControlListener {
 public:
  // The band knobs' columns, and the gain knob as a fifth column of the band link.
  enum Column : int32_t { Threshold, Ratio, Attack, Release, kBandColumns, Gain = kBandColumns };

  // host: the way to the plug-in host (or null). Loads the background and takes the editor's
  // size from it. Opens no window. The page starts at the compressor page.
  explicit KestraneEditor(EditorHost* host);
  // Closes the editor if it is open and releases the background.
  ~KestraneEditor() override;

  // --- EditorBase slots --------------------------------------------------------------------------
  // Builds the frame inside the host's window, loads the control bitmaps and creates the 76
  // controls from the host's current values, on the page last shown. Answers 1; answers 0 and
  // leaves the editor closed when the background, the frame (or its window), a bitmap or a
  // control cannot be created. Opening an open editor closes it first. The meters start empty.
  int32_t open(void* window) override;
  // Destroys the frame with every control and releases the control bitmaps. The page, the link
  // anchors and the meter slots stay.
  void close() override;
  // Notes Shift, shows parameter changes that arrived from other threads, lowers the meters
  // towards their rest (at most once per 5 ms) and lets the frame redraw what changed.
  void idle() override;
  // index: a parameter 0..48, or one of the editor's own tags (page buttons, readouts). value is
  // not used: the host's current value is shown. Does nothing while the editor is closed.
  void setParameter(int32_t index, float value) override;

  // --- Own slots ---------------------------------------------------------------------------------
  // Brings the page buttons, the page panel, the sixteen band knobs (values, film strip, default
  // value, tag) and their readouts to the current page, and refills the crossover menus.
  virtual void showPage();
  // Fills the three frequency menus so that each lists the frequencies its split point may take
  // between its neighbours (and always its own) and selects the one the parameter gives.
  virtual void fillCrossoverMenus();
  // Reads the Shift key: a press takes the link anchors, a release ends the link.
  virtual void pollLinkKey();

  // --- ControlListener ---------------------------------------------------------------------------
  void valueChanged(DrawContext* context, Control* control) override;

  // --- Not virtual -------------------------------------------------------------------------------
  // The slots the meters show: the VST 2.x effect attaches them to its engine, the LV2 UI
  // writes the meter ports' values into them.
  MeterSlots& meterSlots() { return meters; }
  // 0: compressor page, 1: expander page.
  int32_t getPage() const { return page; }
  // Per-refresh meter movement: 1/62 of the bar.
  static constexpr float kMeterDecayStep = 0.016129032f;

 private:
  // Makes one control of the layout, sets it up, adds it to the frame and keeps the reference.
  bool createControl(const layout::ControlItem& item);
  Bitmap* bitmap(int32_t id) const;
  // The parameter a band control stands for on the current page, and its value.
  int32_t bandParameter(int32_t band, int32_t column) const;
  float value(int32_t index) const;

  // Parameter display without the band link.
  void showParameter(int32_t index);
  void showBandColumn(int32_t band, int32_t column);
  void showCurve(int32_t band);
  void showBandKnobsPage();
  void setBandReadout(int32_t band, int32_t column);
  // The band link, before the display of a change of band's control in column.
  void linkBands(int32_t band, int32_t column);
  void takeLinkAnchors();
  void clearDrivenFlags();
  // Editor tags: a page button pressed, a readout committed.
  void selectPage(int32_t newPage);
  void readoutCommitted(int32_t tag);
  // Parameter changes noted on other threads.
  void showDeferredParameters();
  void refreshMeters();
  void clearControlReferences();
  void releaseControlBitmaps();

  Bitmap* background = nullptr;
  // The fifteen control bitmaps in layout order (the background's entry stays null); null while
  // the editor is closed.
  Bitmap* bitmaps[layout::kBitmapCount] = {};

  // Controls, valid while the frame exists (the frame owns them). Per-band arrays are indexed
  // by Band (LF first); meters by their slots (MeterSlots).
  FilmStripDisplay* pagePanel = nullptr;
  VuMeter* levelMeters[kNumLevelSlots] = {};
  GainReductionMeter* reductionMeters[kNumGainReductionSlots] = {};
  AnimatedKnob* lookaheadKnob = nullptr;
  AnimatedKnob* gainKnobs[kNumBands] = {};
  AnimatedKnob* bandKnobs[kNumBands][kBandColumns] = {};
  TextEdit* lookaheadReadout = nullptr;
  TextEdit* gainReadouts[kNumBands] = {};
  TextEdit* bandReadouts[kNumBands][kBandColumns] = {};
  OnOffButton* pageButtons[2] = {};  // compressor page, expander page
  OnOffButton* lookaheadSwitch = nullptr;
  OnOffButton* bandSwitches[kNumBands] = {};
  TransferCurveView* curveViews[kNumBands] = {};
  OptionMenu* frequencyMenus[3] = {};
  OptionMenu* slopeMenus[3] = {};
  // The step of each split point that entry 0 of its frequency menu stands for.
  int32_t frequencyMenuFirstStep[3] = {};

  int32_t page = 0;
  uint32_t currentIdleTick = 0;  // ms
  uint32_t previousIdleTick = 0;

  // Band link.
  bool shiftHeldNow = false;
  bool shiftHeldBefore = false;
  bool driven[kNumBands] = {};          // moved by the link; such a band does not propagate
  float gainAnchors[kNumBands] = {};    // values when Shift went down
  float bandAnchors[kBandColumns][kNumBands] = {};  // of the page's parameters
  int32_t lastTag = -1;                 // the control that reported a change last
  int32_t userEditDepth = 0;            // inside valueChanged: the link may act

  MeterSlots meters;
  // The thread that opened the editor; parameter changes on other threads read it.
  std::atomic<std::thread::id> editorThread{};
  std::atomic<uint64_t> deferredParameters{0};  // bit i: parameter i changed on another thread
};

}  // namespace kestrane
