// The editor's layout as data: its sixteen bitmaps and its 76 controls, in the order the editor
// creates them (which is also their drawing order and the reverse of their hit-testing order).
// The editor builds its controls from this table and the artwork generator draws every label,
// scale, socket and slot under the same rectangles, so the two can never drift apart.
//
// Data only: no toolkit types, nothing to initialise at run time. Rectangles are pixels of the
// 640 x 489 editor, left, top, right, bottom.
#pragma once

#include <cstddef>

namespace kestrane::layout {

constexpr int kEditorWidth = 640;
constexpr int kEditorHeight = 489;

// The four band strips below the master section, from top to bottom HF, HMF, LMF, LF.
constexpr int kBandStripTop = 140;
constexpr int kBandStripHeight = 87;
constexpr int kBandRows = 4;
inline constexpr const char* kBandRowNames[kBandRows] = {"HF", "HMF", "LMF", "LF"};

// ---------------------------------------------------------------------------------------------
// Bitmaps

enum BitmapId : int {
  BackgroundBitmap = 103,
  CompressorKnobBitmap = 106,
  PagePanelBitmap = 110,
  LookaheadSwitchBitmap = 111,
  ExpanderPageButtonBitmap = 112,
  LookaheadKnobBitmap = 113,
  GainKnobBitmap = 114,
  MeterOffBitmap = 117,
  InputMeterBitmap = 120,
  OutputMeterBitmap = 121,
  CurveGridBitmap = 123,
  CompressorReductionBitmap = 124,
  ExpanderReductionBitmap = 125,
  ExpanderKnobBitmap = 127,
  BandSwitchBitmap = 129,
  CompressorPageButtonBitmap = 130,
};

struct BitmapEntry {
  int id;
  int width;
  int height;      // the whole image; frames are stacked vertically
  int frames;      // 1 for a single picture
  const char* file;  // in resources/
  const char* role;
  int frameHeight() const { return height / frames; }
};

constexpr std::size_t kBitmapCount = 16;
extern const BitmapEntry kBitmaps[kBitmapCount];
// The entry for an id, or null.
const BitmapEntry* findBitmap(int id);

// ---------------------------------------------------------------------------------------------
// Controls

enum class ControlKind {
  FilmStripDisplay,
  VuMeter,
  GainReductionMeter,
  AnimatedKnob,
  TextEdit,
  OnOffButton,
  TransferCurveView,
  OptionMenu,
};

// What a control is for, with row and column saying which one of its group it is.
enum class Role {
  PagePanel,
  LevelMeter,      // row: band row or -1 (master); column: 0 input, 1 output; variant: channel
  ReductionMeter,  // row: band row
  LookaheadKnob,
  GainKnob,        // row: band row
  BandKnob,        // row: band row; column: 0 threshold, 1 ratio, 2 attack, 3 release
  LookaheadReadout,
  GainReadout,     // row: band row
  BandReadout,     // row, column as the band knob above it
  PageButton,      // column: 0 compressor page, 1 expander page
  EnableButton,    // row: band row or -1 (lookahead)
  CurveView,       // row: band row
  CrossoverMenu,   // column: split point 0..2; variant: 0 frequency, 1 slope
};

struct Box {
  int left;
  int top;
  int right;
  int bottom;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

struct ControlItem {
  ControlKind kind;
  Role role;
  int row;     // band row 0 HF .. 3 LF, or -1
  int column;
  int variant;
  Box rect;
  int tag;           // parameter index 0..47, or the editor's own tag 4096..4118
  int parameter;     // the parameter the control shows when it opens, or -1
  int bitmap;        // background / film strip / lit meter strip / curve grid; 0 for none
  int secondBitmap;  // meters: the other strip; band knobs: the expander-page film strip; else 0
  int frames;        // film strips: frame count (frame height = bitmap height / frames)
  int frameHeight;
  int style;         // meters: 1 horizontal; option menus: 0x404; else 0
  int ledCount;      // meters: 124
  float defaultValue;          // the compressor-page default for band knobs
  float expanderDefaultValue;  // band knobs on the expander page (same as above elsewhere)
  const char* name;
};

constexpr std::size_t kControlCount = 76;
extern const ControlItem kControls[kControlCount];

// The gain knobs' default: the single-precision value of 251/501, which reads as 0.0 dB.
constexpr float kGainDefault = 0.500998f;

// Editor tags of its own controls.
constexpr int kCompressorPageTag = 4096;
constexpr int kExpanderPageTag = 4097;
constexpr int kLookaheadReadoutTag = 4098;
constexpr int kFirstGainReadoutTag = 4099;  // HF, HMF, LMF, LF
constexpr int kFirstBandReadoutTag = 4103;  // + 4 * row + column

}  // namespace kestrane::layout
