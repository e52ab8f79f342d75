// The editor's bitmaps and controls (see Layout.h). Each control is listed in creation order.
#include "editor/Layout.h"

#include "params/ParamId.h"

namespace kestrane::layout {

const BitmapEntry kBitmaps[kBitmapCount] = {
    {BackgroundBitmap, 640, 489, 1, "103-background.bmp", "background of the whole editor"},
    {CompressorKnobBitmap, 44, 1258, 37, "106-compressor-knob.bmp",
     "band knobs on the compressor page"},
    {PagePanelBitmap, 240, 698, 2, "110-page-panel.bmp",
     "page panel: compressor page, expander page"},
    {LookaheadSwitchBitmap, 21, 62, 2, "111-lookahead-switch.bmp", "lookahead enable button"},
    {ExpanderPageButtonBitmap, 21, 62, 2, "112-expander-page-button.bmp", "expander-page button"},
    {LookaheadKnobBitmap, 44, 1258, 37, "113-lookahead-knob.bmp", "lookahead knob"},
    {GainKnobBitmap, 44, 1258, 37, "114-gain-knob.bmp", "gain knobs"},
    {MeterOffBitmap, 124, 6, 1, "117-meter-off.bmp", "unlit strip of all meters"},
    {InputMeterBitmap, 124, 6, 1, "120-meter-input.bmp", "lit strip of the input meters"},
    {OutputMeterBitmap, 124, 6, 1, "121-meter-output.bmp", "lit strip of the output meters"},
    {CurveGridBitmap, 57, 57, 1, "123-curve-grid.bmp", "transfer-curve view background"},
    {CompressorReductionBitmap, 124, 6, 1, "124-reduction-compressor.bmp",
     "gain-reduction bar while the compressor acts"},
    {ExpanderReductionBitmap, 124, 6, 1, "125-reduction-expander.bmp",
     "gain-reduction bar while the expander acts"},
    {ExpanderKnobBitmap, 44, 1258, 37, "127-expander-knob.bmp", "band knobs on the expander page"},
    {BandSwitchBitmap, 21, 62, 2, "129-band-switch.bmp", "band enable buttons"},
    {CompressorPageButtonBitmap, 21, 62, 2, "130-compressor-page-button.bmp",
     "compressor-page button"},
};

const BitmapEntry* findBitmap(int id) {
  for (const BitmapEntry& bitmap : kBitmaps) {
    if (bitmap.id == id) return &bitmap;
  }
  return nullptr;
}

namespace {

// Band rows from the top: HF, HMF, LMF, LF. Per-band parameter groups run LF..HF, so the
// parameter of row r is the group's first index + 3 - r.
constexpr int bandOfRow(int row) { return 3 - row; }
constexpr int stripY(int row, int offset) { return kBandStripTop + kBandStripHeight * row + offset; }

constexpr int kKnobColumnX[4] = {415, 472, 530, 587};
constexpr int kReadoutColumnX[4] = {423, 480, 538, 595};
constexpr int kCompressorGroup[4] = {CompThreshLF, CompRatioLF, CompAttackLF, CompReleaseLF};

constexpr ControlItem pagePanel() {
  return {ControlKind::FilmStripDisplay, Role::PagePanel, -1, 0, 0, {400, 140, 640, 489}, 0,
          DisplayMode, PagePanelBitmap, 0, 2, 349, 0, 0, 0.0f, 0.0f, "page panel"};
}

constexpr ControlItem levelMeter(int row, int column, int channel, int y, const char* name) {
  return {ControlKind::VuMeter, Role::LevelMeter, row, column, channel, {13, y, 137, y + 6}, 0, -1,
          column == 0 ? InputMeterBitmap : OutputMeterBitmap, MeterOffBitmap, 0, 0, 1, 124, 0.0f,
          0.0f, name};
}

constexpr ControlItem reductionMeter(int row, const char* name) {
  return {ControlKind::GainReductionMeter, Role::ReductionMeter, row, 0, 0,
          {13, stripY(row, 44), 137, stripY(row, 50)}, 0, -1, MeterOffBitmap,
          CompressorReductionBitmap, 0, 0, 1, 124, 1.0f, 1.0f, name};
}

constexpr ControlItem knob(Role role, int row, int column, Box rect, int tag, int bitmap,
                           int expanderBitmap, float defaultValue, float expanderDefault,
                           const char* name) {
  return {ControlKind::AnimatedKnob, role, row, column, 0, rect, tag, tag, bitmap, expanderBitmap,
          37, 34, 0, 0, defaultValue, expanderDefault, name};
}

constexpr ControlItem gainKnob(int row, const char* name) {
  return knob(Role::GainKnob, row, 0, {246, stripY(row, 16), 290, stripY(row, 50)},
              GainLF + bandOfRow(row), GainKnobBitmap, 0, kGainDefault, kGainDefault, name);
}

constexpr ControlItem bandKnob(int row, int column, const char* name) {
  // Thresholds default to 0 dB on the compressor page and to "-inf" on the expander page.
  const float compressorDefault = column == 0 ? 1.0f : 0.0f;
  return knob(Role::BandKnob, row, column,
              {kKnobColumnX[column], stripY(row, 16), kKnobColumnX[column] + 44, stripY(row, 50)},
              kCompressorGroup[column] + bandOfRow(row), CompressorKnobBitmap, ExpanderKnobBitmap,
              compressorDefault, 0.0f, name);
}

constexpr ControlItem readout(Role role, int row, int column, Box rect, int tag, int parameter,
                              const char* name) {
  return {ControlKind::TextEdit, role, row, column, 0, rect, tag, parameter, 0, 0, 0, 0, 0, 0,
          0.0f, 0.0f, name};
}

constexpr ControlItem gainReadout(int row, const char* name) {
  return readout(Role::GainReadout, row, 0, {254, stripY(row, 52), 281, stripY(row, 63)},
                 kFirstGainReadoutTag + row, GainLF + bandOfRow(row), name);
}

constexpr ControlItem bandReadout(int row, int column, const char* name) {
  return readout(Role::BandReadout, row, column,
                 {kReadoutColumnX[column], stripY(row, 51), kReadoutColumnX[column] + 27,
                  stripY(row, 62)},
                 kFirstBandReadoutTag + 4 * row + column,
                 kCompressorGroup[column] + bandOfRow(row), name);
}

constexpr ControlItem button(Role role, int row, int column, Box rect, int tag, int parameter,
                             int bitmap, const char* name) {
  return {ControlKind::OnOffButton, role, row, column, 0, rect, tag, parameter, bitmap, 0, 2, 31,
          0, 0, 0.0f, 0.0f, name};
}

constexpr ControlItem enableButton(int row, const char* name) {
  return button(Role::EnableButton, row, 0, {204, stripY(row, 28), 225, stripY(row, 59)},
                EnableLF + bandOfRow(row), EnableLF + bandOfRow(row), BandSwitchBitmap, name);
}

constexpr ControlItem curveView(int row, const char* name) {
  return {ControlKind::TransferCurveView, Role::CurveView, row, 0, 0,
          {319, stripY(row, 15), 376, stripY(row, 72)}, 0, -1, CurveGridBitmap, 0, 0, 0, 0, 0,
          0.0f, 0.0f, name};
}

constexpr ControlItem crossoverMenu(int split, int variant, const char* name) {
  const int left = 360 + 57 * split;
  const int top = variant == 0 ? 95 : 117;
  const int tag = variant == 0 ? Fir1Freq + split : Fir1Slope + split;
  return {ControlKind::OptionMenu, Role::CrossoverMenu, -1, split, variant,
          {left, top, left + 39, top + 11}, tag, tag, 0, 0, 0, 0, 0x404, 0, 0.0f, 0.0f, name};
}

}  // namespace

const ControlItem kControls[kControlCount] = {
    pagePanel(),

    levelMeter(-1, 0, 0, 61, "input left meter"),
    levelMeter(-1, 0, 1, 71, "input right meter"),
    levelMeter(0, 0, 0, stripY(0, 27), "HF band input meter"),
    levelMeter(1, 0, 0, stripY(1, 27), "HMF band input meter"),
    levelMeter(2, 0, 0, stripY(2, 27), "LMF band input meter"),
    levelMeter(3, 0, 0, stripY(3, 27), "LF band input meter"),
    levelMeter(-1, 1, 0, 94, "output left meter"),
    levelMeter(-1, 1, 1, 104, "output right meter"),
    levelMeter(0, 1, 0, stripY(0, 61), "HF band output meter"),
    levelMeter(1, 1, 0, stripY(1, 61), "HMF band output meter"),
    levelMeter(2, 1, 0, stripY(2, 61), "LMF band output meter"),
    levelMeter(3, 1, 0, stripY(3, 61), "LF band output meter"),

    reductionMeter(0, "HF gain-reduction meter"),
    reductionMeter(1, "HMF gain-reduction meter"),
    reductionMeter(2, "LMF gain-reduction meter"),
    reductionMeter(3, "LF gain-reduction meter"),

    knob(Role::LookaheadKnob, -1, 0, {246, 58, 290, 92}, Lookahead, LookaheadKnobBitmap, 0, 0.0f,
         0.0f, "lookahead knob"),

    gainKnob(0, "HF gain knob"),
    gainKnob(1, "HMF gain knob"),
    gainKnob(2, "LMF gain knob"),
    gainKnob(3, "LF gain knob"),

    bandKnob(0, 0, "HF threshold knob"),
    bandKnob(0, 1, "HF ratio knob"),
    bandKnob(0, 2, "HF attack knob"),
    bandKnob(0, 3, "HF release knob"),
    bandKnob(1, 0, "HMF threshold knob"),
    bandKnob(1, 1, "HMF ratio knob"),
    bandKnob(1, 2, "HMF attack knob"),
    bandKnob(1, 3, "HMF release knob"),
    bandKnob(2, 0, "LMF threshold knob"),
    bandKnob(2, 1, "LMF ratio knob"),
    bandKnob(2, 2, "LMF attack knob"),
    bandKnob(2, 3, "LMF release knob"),
    bandKnob(3, 0, "LF threshold knob"),
    bandKnob(3, 1, "LF ratio knob"),
    bandKnob(3, 2, "LF attack knob"),
    bandKnob(3, 3, "LF release knob"),

    readout(Role::LookaheadReadout, -1, 0, {254, 93, 281, 104}, kLookaheadReadoutTag, Lookahead,
            "lookahead readout"),
    gainReadout(0, "HF gain readout"),
    gainReadout(1, "HMF gain readout"),
    gainReadout(2, "LMF gain readout"),
    gainReadout(3, "LF gain readout"),
    // Band readouts column by column.
    bandReadout(0, 0, "HF threshold readout"),
    bandReadout(1, 0, "HMF threshold readout"),
    bandReadout(2, 0, "LMF threshold readout"),
    bandReadout(3, 0, "LF threshold readout"),
    bandReadout(0, 1, "HF ratio readout"),
    bandReadout(1, 1, "HMF ratio readout"),
    bandReadout(2, 1, "LMF ratio readout"),
    bandReadout(3, 1, "LF ratio readout"),
    bandReadout(0, 2, "HF attack readout"),
    bandReadout(1, 2, "HMF attack readout"),
    bandReadout(2, 2, "LMF attack readout"),
    bandReadout(3, 2, "LF attack readout"),
    bandReadout(0, 3, "HF release readout"),
    bandReadout(1, 3, "HMF release readout"),
    bandReadout(2, 3, "LMF release readout"),
    bandReadout(3, 3, "LF release readout"),

    button(Role::PageButton, -1, 0, {570, 52, 591, 83}, kCompressorPageTag, DisplayMode,
           CompressorPageButtonBitmap, "compressor-page button"),
    button(Role::PageButton, -1, 1, {570, 103, 591, 134}, kExpanderPageTag, DisplayMode,
           ExpanderPageButtonBitmap, "expander-page button"),

    button(Role::EnableButton, -1, 0, {204, 69, 225, 100}, EnableLookahead, EnableLookahead,
           LookaheadSwitchBitmap, "lookahead enable button"),
    enableButton(0, "HF enable button"),
    enableButton(1, "HMF enable button"),
    enableButton(2, "LMF enable button"),
    enableButton(3, "LF enable button"),

    curveView(0, "HF transfer curve"),
    curveView(1, "HMF transfer curve"),
    curveView(2, "LMF transfer curve"),
    curveView(3, "LF transfer curve"),

    crossoverMenu(0, 0, "crossover 1 frequency menu"),
    crossoverMenu(0, 1, "crossover 1 slope menu"),
    crossoverMenu(1, 0, "crossover 2 frequency menu"),
    crossoverMenu(1, 1, "crossover 2 slope menu"),
    crossoverMenu(2, 0, "crossover 3 frequency menu"),
    crossoverMenu(2, 1, "crossover 3 slope menu"),
};

}  // namespace kestrane::layout
