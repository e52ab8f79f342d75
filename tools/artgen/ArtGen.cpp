// artgen: draws the editor's sixteen bitmaps from the control layout table.
//
//   artgen <resources-dir> [<docs-dir>]
//
// writes the 24-bit BMP files named in the layout's bitmap table into <resources-dir>, and with
// a docs folder also PNG pictures of the bare background, of every bitmap and of the assembled
// editor (docs/editor-preview.png). Every label, scale, socket, slot and box is placed from the
// control rectangles in editor/Layout.h, so the pictures sit exactly under the controls.
// Deterministic: the same sources give the same bytes.
//
// The look: a dark studio panel; modules with a soft top-to-bottom gradient and a fine bevel;
// small letter-spaced captions; black readout windows; recessed meter slots with a −40..0 dB
// scale; warm orange for the compressor page, green for the expander page, yellow knob lights.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "Painter.h"
#include "editor/Layout.h"
#include "params/Identity.h"

namespace kestrane::artgen {
namespace {

using layout::Box;
using layout::ControlKind;
using layout::ControlItem;
using layout::Role;

constexpr double kPi = 3.14159265358979323846;

// --- Palette ---------------------------------------------------------------------------------
const Rgb kBase = hex(0x16181b);
const Rgb kModuleTop = hex(0x2c3036);
const Rgb kModuleBottom = hex(0x24272c);
const Rgb kModuleEdgeLight = hex(0x41464e);
const Rgb kModuleEdgeDark = hex(0x0c0d0f);
const Rgb kLabel = hex(0xa7adb5);
const Rgb kLabelDim = hex(0x747b84);
const Rgb kLabelBright = hex(0xe9ebee);
const Rgb kSlot = hex(0x060708);
const Rgb kOrange = hex(0xff8a1f);
const Rgb kGreen = hex(0x3fd27a);
const Rgb kYellow = hex(0xffd21f);
const Rgb kBandColors[4] = {hex(0x5b9bff), hex(0x3fc8b4), hex(0xf2b33d), hex(0xf0653f)};

struct Tint {
  Rgb top, bottom, edge, caption, accent;
};
const Tint kNeutral{kModuleTop, kModuleBottom, kModuleEdgeLight, kLabel, kYellow};
const Tint kCompressorTint{hex(0x3a2b1f), hex(0x2e2319), hex(0x6a4a2c), hex(0xffb46e), kOrange};
const Tint kExpanderTint{hex(0x1f3428), hex(0x18291f), hex(0x2f6446), hex(0x86e3ab), kGreen};

// --- Meter scale -------------------------------------------------------------------------------
// The engine shows a level of L dB as the meter value 1 + 0.15 * log2(amplitude), that is
// 1 + L / 40.14 (0 dB fills the strip, about -40 dB empties it); a strip of 124 pixels starting
// at x = 13 puts L at this x.
double meterX(double db) {
  const double dbPerOctave = 20.0 * std::log10(2.0);
  return 13.0 + 124.0 * (1.0 + 0.15 * db / dbPerOctave);
}

// --- Layout look-ups ---------------------------------------------------------------------------
std::vector<const ControlItem*> controls(Role role) {
  std::vector<const ControlItem*> found;
  for (const ControlItem& c : layout::kControls) {
    if (c.role == role) found.push_back(&c);
  }
  return found;
}

const ControlItem& control(Role role, int row, int column = 0, int variant = 0) {
  for (const ControlItem& c : layout::kControls) {
    if (c.role == role && c.row == row && c.column == column && c.variant == variant) return c;
  }
  std::fprintf(stderr, "artgen: no control for role %d row %d column %d\n",
               static_cast<int>(role), row, column);
  std::abort();
}

double centerX(const Box& b) { return (b.left + b.right) / 2.0; }
double centerY(const Box& b) { return (b.top + b.bottom) / 2.0; }
int stripTop(int row) { return layout::kBandStripTop + layout::kBandStripHeight * row; }

// --- Common elements ---------------------------------------------------------------------------

// A module: a rounded panel with a soft gradient, a light top edge and a dark outline.
void module(Image& img, double x, double y, double w, double h, const Tint& tint) {
  cairo_t* cr = img.cr();
  img.roundedRect(x + 0.5, y + 0.5, w - 1, h - 1, 3.5);
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgb(gradient, 0, tint.top.r, tint.top.g, tint.top.b);
  cairo_pattern_add_color_stop_rgb(gradient, 1, tint.bottom.r, tint.bottom.g, tint.bottom.b);
  cairo_set_source(cr, gradient);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(gradient);
  cairo_set_source_rgb(cr, kModuleEdgeDark.r, kModuleEdgeDark.g, kModuleEdgeDark.b);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  // The bevel: a light line just inside the top edge.
  img.line(x + 3.5, y + 1.5, x + w - 3.5, y + 1.5, tint.edge, 1.0, 0.55);
}

// A small caption in letter-spaced capitals.
void caption(Image& img, const std::string& text, double x, double baseline, Rgb color,
             Align align = Align::Center, double size = 7.0) {
  img.text(text, x, baseline, size, Weight::Bold, color, align, 0.9);
}

// A recess for a control drawn by the program (meters, readouts, menus): black with a dark
// edge above and a faint highlight below, one pixel outside the control's rectangle.
void recess(Image& img, const Box& b, Rgb inside = kSlot) {
  img.fillRect(b.left - 1, b.top - 1, b.width() + 2, b.height() + 2, hex(0x050506));
  img.line(b.left - 1, b.bottom + 1.5, b.right + 1, b.bottom + 1.5, hex(0x4a5058), 1.0, 0.6);
  img.fillRect(b.left, b.top, b.width(), b.height(), inside);
}

// Tick marks and numbers of the level scale, under (or over) a meter.
void meterScale(Image& img, double tickTop, double numberBaseline, bool ticksDown) {
  for (int db = -40; db <= 0; db += 5) {
    const double x = std::floor(meterX(db)) + 0.5;
    const bool major = db % 10 == 0;
    const double length = major ? 3.0 : 1.5;
    const double y0 = ticksDown ? tickTop : tickTop - length;
    img.line(x, y0, x, y0 + length, major ? kLabel : kLabelDim, 1.0);
  }
  for (int db = -40; db <= 0; db += 10) {
    const std::string label = db == 0 ? "0" : "\xE2\x88\x92" + std::to_string(-db);
    const double x = std::floor(meterX(db)) + 0.5;
    img.text(label, x, numberBaseline, 6.5, Weight::Regular, kLabelDim, Align::Center);
  }
}

// --- Page panel (bitmap 110): the band knob area in one tint --------------------------------

const char* const kColumnCaptions[4] = {"THRESHOLD", "RATIO", "ATTACK", "RELEASE"};
// The ratio readout writes its own notation ("4.0:1", "1:2.0"), so its column has no unit.
const char* const kColumnUnits[4] = {"dB", "", "ms", "s"};

void drawPanelFrame(Image& img, int frameTop, const Tint& tint) {
  const Box panel = control(Role::PagePanel, -1).rect;
  img.fillRect(0, frameTop, panel.width(), panel.height(), kBase);
  for (int row = 0; row < layout::kBandRows; ++row) {
    const double y = frameTop + layout::kBandStripHeight * row;
    module(img, 2, y + 2, panel.width() - 4, layout::kBandStripHeight - 4, tint);
    // A stripe of the page's colour along the left edge says which page this is.
    img.fillRect(3, y + 8, 2, layout::kBandStripHeight - 16, tint.accent, 0.85);
    for (int column = 0; column < 4; ++column) {
      const Box knob = control(Role::BandKnob, row, column).rect;
      const Box value = control(Role::BandReadout, row, column).rect;
      const double dx = -panel.left;
      const double dy = y - (stripTop(row));
      caption(img, kColumnCaptions[column], centerX(knob) + dx, knob.top + dy - 4, tint.caption);
      Box local{value.left - panel.left, static_cast<int>(value.top + dy),
                value.right - panel.left, static_cast<int>(value.bottom + dy)};
      recess(img, local);
      if (*kColumnUnits[column] != '\0') {
        img.text(kColumnUnits[column], local.right + 3, local.bottom - 2, 7.0, Weight::Regular,
                 mix(tint.caption, kLabel, 0.5));
      }
    }
  }
}

// --- Background (bitmap 103) --------------------------------------------------------------------

void drawTitle(Image& img) {
  img.fillVertical(0, 0, layout::kEditorWidth, 44, hex(0x0f1113), hex(0x1a1d21));
  // The name, with a small mark: four bars for the four bands.
  for (int i = 0; i < 4; ++i) {
    const double h = 8.0 + 4.0 * ((i * 3) % 4);
    img.fillRect(14 + i * 4, 30 - h, 2.5, h, kBandColors[3 - i]);
  }
  img.text(kEffectName, 36, 30, 21, Weight::Bold, kLabelBright, Align::Left, 0.4);
  std::string tagline = kDescription;  // in capitals, spaced out
  for (char& c : tagline) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  img.text(tagline, 136, 29.5, 7.5, Weight::Bold, kLabelDim, Align::Left, 1.6);
  img.text("LINEAR-PHASE CROSSOVER  \xC2\xB7  LOOKAHEAD",
           layout::kEditorWidth - 14, 29.5, 6.5, Weight::Regular, hex(0x5d636b), Align::Right,
           1.0);
  // The two pages' colours meet in a thin line under the title.
  cairo_t* cr = img.cr();
  cairo_pattern_t* accent = cairo_pattern_create_linear(0, 0, layout::kEditorWidth, 0);
  cairo_pattern_add_color_stop_rgb(accent, 0.0, kOrange.r, kOrange.g, kOrange.b);
  cairo_pattern_add_color_stop_rgb(accent, 1.0, kGreen.r, kGreen.g, kGreen.b);
  cairo_set_source(cr, accent);
  cairo_rectangle(cr, 0, 43, layout::kEditorWidth, 1);
  cairo_fill(cr);
  cairo_pattern_destroy(accent);
}

void drawMasterSection(Image& img) {
  // Meters.
  module(img, 2, 47, 195, 91, kNeutral);
  for (const ControlItem* m : controls(Role::LevelMeter)) {
    if (m->row != -1) continue;
    recess(img, m->rect);
    img.text(m->variant == 0 ? "L" : "R", 7.5, m->rect.bottom + 0.5, 6.5, Weight::Bold, kLabelDim,
             Align::Center);
  }
  const Box inLeft = control(Role::LevelMeter, -1, 0, 0).rect;
  const Box outRight = control(Role::LevelMeter, -1, 1, 1).rect;
  const Box outLeft = control(Role::LevelMeter, -1, 1, 0).rect;
  const Box inRight = control(Role::LevelMeter, -1, 0, 1).rect;
  caption(img, "INPUT", inLeft.left, inLeft.top - 4, kLabel, Align::Left);
  caption(img, "OUTPUT", outLeft.left, outRight.bottom + 11, kLabel, Align::Left);
  meterScale(img, inRight.bottom + 3, (inRight.bottom + outLeft.top) / 2.0 + 5.5, true);
  caption(img, "dBFS", 193, (inRight.bottom + outLeft.top) / 2.0 + 5.5, kLabelDim, Align::Right,
          6.5);

  // Lookahead: switch, knob and readout.
  module(img, 199, 47, 100, 91, kNeutral);
  const Box knob = control(Role::LookaheadKnob, -1).rect;
  const Box sw = control(Role::EnableButton, -1).rect;
  const Box value = control(Role::LookaheadReadout, -1).rect;
  caption(img, "LOOKAHEAD", 249, 56, kLabel);
  caption(img, "ON", centerX(sw), sw.top - 3, kLabelDim, Align::Center, 6.5);
  recess(img, value);
  img.text("ms", value.right + 3, value.bottom - 2, 7.0, Weight::Regular, kLabel);
  (void)knob;

  // Crossover: the four bands over the frequency axis, split at the three menus.
  module(img, 301, 47, 258, 91, kNeutral);
  caption(img, "CROSSOVER", 308, 56, kLabel, Align::Left);
  const double graphLeft = 308;
  const double graphRight = 552;
  const double graphTop = 60;
  const double graphBottom = 88;
  img.fillRect(graphLeft, graphTop, graphRight - graphLeft, graphBottom - graphTop, hex(0x0b0c0e));
  double splits[3];
  for (int s = 0; s < 3; ++s) splits[s] = centerX(control(Role::CrossoverMenu, -1, s, 0).rect);
  cairo_t* cr = img.cr();
  cairo_save(cr);
  cairo_rectangle(cr, graphLeft, graphTop, graphRight - graphLeft, graphBottom - graphTop);
  cairo_clip(cr);
  // Each band: a plateau with smooth skirts falling away at its split points.
  const double edges[5] = {graphLeft - 40, splits[0], splits[1], splits[2], graphRight + 40};
  const char* const names[4] = {"LF", "LMF", "HMF", "HF"};
  for (int band = 0; band < 4; ++band) {
    const double lo = edges[band];
    const double hi = edges[band + 1];
    const Rgb color = kBandColors[3 - band];  // kBandColors runs HF..LF (rows)
    auto level = [&](double x) {
      auto skirt = [](double d) { return 1.0 / (1.0 + std::exp(-d / 4.5)); };
      return skirt(x - lo) * skirt(hi - x);
    };
    // The band's response: filled below, outlined along the curve only.
    const double plateau = graphTop + 13;
    auto curveY = [&](double x) { return graphBottom - 1 - (graphBottom - 1 - plateau) * level(x); };
    cairo_move_to(cr, graphLeft, graphBottom);
    for (double x = graphLeft; x <= graphRight; x += 1.0) cairo_line_to(cr, x, curveY(x));
    cairo_line_to(cr, graphRight, graphBottom);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, color.r, color.g, color.b, 0.2);
    cairo_fill(cr);
    // Only where the band passes something: the skirts run out into the floor unstroked.
    bool drawing = false;
    for (double x = graphLeft; x <= graphRight; x += 1.0) {
      if (level(x) < 0.04) {
        drawing = false;
        continue;
      }
      if (drawing) {
        cairo_line_to(cr, x, curveY(x));
      } else {
        cairo_move_to(cr, x, curveY(x));
        drawing = true;
      }
    }
    cairo_set_source_rgba(cr, color.r, color.g, color.b, 0.95);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    const double labelX = band == 0 ? (graphLeft + hi) / 2 : band == 3 ? (lo + graphRight) / 2
                                                                      : (lo + hi) / 2;
    img.text(names[band], labelX, graphTop + 9.5, 7.5, Weight::Bold, color, Align::Center, 0.6);
  }
  cairo_restore(cr);
  for (int s = 0; s < 3; ++s) {
    const double x = std::floor(splits[s]) + 0.5;
    cairo_set_source_rgba(cr, kLabel.r, kLabel.g, kLabel.b, 0.55);
    cairo_set_line_width(cr, 1.0);
    const double dashes[2] = {2.0, 2.0};
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_move_to(cr, x, graphTop);
    cairo_line_to(cr, x, control(Role::CrossoverMenu, -1, s, 0).rect.top - 2);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
  }
  for (const ControlItem* menu : controls(Role::CrossoverMenu)) {
    recess(img, menu->rect, hex(0x0b0c0e));
    // A small arrow beside each box says it opens a list.
    const double ax = menu->rect.right + 4.5;
    const double ay = centerY(menu->rect);
    cairo_move_to(cr, ax - 2.5, ay - 1.2);
    cairo_line_to(cr, ax + 2.5, ay - 1.2);
    cairo_line_to(cr, ax, ay + 1.8);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, kLabelDim.r, kLabelDim.g, kLabelDim.b);
    cairo_fill(cr);
  }
  const Box freq = control(Role::CrossoverMenu, -1, 0, 0).rect;
  const Box slope = control(Role::CrossoverMenu, -1, 0, 1).rect;
  caption(img, "FREQ", freq.left - 6, freq.bottom - 2, kLabel, Align::Right, 6.5);
  caption(img, "SLOPE", slope.left - 6, slope.bottom - 2, kLabel, Align::Right, 6.5);

  // Page buttons.
  module(img, 561, 47, 77, 91, kNeutral);
  const Box comp = control(Role::PageButton, -1, 0).rect;
  const Box exp = control(Role::PageButton, -1, 1).rect;
  caption(img, "PAGE", comp.right + 5, 56, kLabel, Align::Left);
  caption(img, "COMP", comp.right + 5, centerY(comp) + 3, kOrange, Align::Left, 7.5);
  caption(img, "EXP", exp.right + 5, centerY(exp) + 3, kGreen, Align::Left, 7.5);
}

void drawBandStrip(Image& img, int row) {
  const int top = stripTop(row);
  const Rgb bandColor = kBandColors[row];
  static const char* const kBandTitles[4] = {"HIGH", "HIGH-MID", "LOW-MID", "LOW"};

  module(img, 2, top + 2, 195, layout::kBandStripHeight - 4, kNeutral);
  img.text(layout::kBandRowNames[row], 13, top + 17, 11, Weight::Bold, bandColor, Align::Left,
           0.5);
  const double nameWidth = img.textWidth(layout::kBandRowNames[row], 11, Weight::Bold, 0.5);
  caption(img, kBandTitles[row], 13 + nameWidth + 5, top + 16.5, kLabelDim, Align::Left, 6.5);
  const Box in = control(Role::LevelMeter, row, 0).rect;
  const Box gr = control(Role::ReductionMeter, row).rect;
  const Box out = control(Role::LevelMeter, row, 1).rect;
  const std::pair<Box, const char*> meters[3] = {{in, "IN"}, {gr, "GR"}, {out, "OUT"}};
  for (const auto& [box, label] : meters) {
    recess(img, box);
    caption(img, label, box.right + 5, box.bottom + 0.5, kLabel, Align::Left, 6.5);
  }
  meterScale(img, out.bottom + 3, out.bottom + 13, true);

  module(img, 199, top + 2, 100, layout::kBandStripHeight - 4, kNeutral);
  const Box sw = control(Role::EnableButton, row).rect;
  const Box knob = control(Role::GainKnob, row).rect;
  const Box value = control(Role::GainReadout, row).rect;
  caption(img, "ON", centerX(sw), sw.top - 3, kLabelDim, Align::Center, 6.5);
  caption(img, "GAIN", centerX(knob), knob.top - 4, kLabel);
  recess(img, value);
  img.text("dB", value.right + 3, value.bottom - 2, 7.0, Weight::Regular, kLabel);

  module(img, 301, top + 2, 97, layout::kBandStripHeight - 4, kNeutral);
  const Box curve = control(Role::CurveView, row).rect;
  caption(img, "CURVE", centerX(curve), curve.top - 4, kLabel);
  img.fillRect(curve.left - 2, curve.top - 2, curve.width() + 4, curve.height() + 4, hex(0x050506));
  img.line(curve.left - 2, curve.bottom + 2.5, curve.right + 2, curve.bottom + 2.5,
           hex(0x4a5058), 1.0, 0.6);
  img.text("IN", curve.right + 2, curve.bottom + 10, 5.5, Weight::Regular, kLabelDim,
           Align::Right);
  img.text("OUT", curve.left - 4, curve.top + 5, 5.5, Weight::Regular, kLabelDim, Align::Right);
}

// --- Film strips ---------------------------------------------------------------------------------

// The halo of a lit LED: its colour fading out from the centre.
void glow(Image& img, double x, double y, double radius, Rgb color, double strength) {
  cairo_t* cr = img.cr();
  cairo_pattern_t* halo = cairo_pattern_create_radial(x, y, 0, x, y, radius);
  cairo_pattern_add_color_stop_rgba(halo, 0, color.r, color.g, color.b, strength);
  cairo_pattern_add_color_stop_rgba(halo, 1, color.r, color.g, color.b, 0.0);
  cairo_set_source(cr, halo);
  cairo_arc(cr, x, y, radius, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(halo);
}

// Knob frame k of 37: a dark knob whose pointer and ring of 36 yellow lights show k / 36.
void drawKnobFrame(Image& img, int top, int frame, Rgb rim) {
  cairo_t* cr = img.cr();
  const double cx = 22.0;
  const double cy = top + 17.0;
  const double start = 225.0 * kPi / 180.0;  // lower left, sweeping 270 degrees clockwise
  const double sweep = 270.0 * kPi / 180.0;
  constexpr int kLights = 36;
  for (int i = 0; i < kLights; ++i) {
    const double a = start - sweep * (i + 0.5) / kLights;
    const double x = cx + 14.6 * std::cos(a);
    const double y = cy - 14.6 * std::sin(a);
    const bool lit = i < frame;
    if (lit) {
      glow(img, x, y, 2.6, kYellow, 0.45);
    }
    const Rgb dot = lit ? hex(0xffe45c) : hex(0x5a4f2a);
    cairo_set_source_rgb(cr, dot.r, dot.g, dot.b);
    cairo_arc(cr, x, y, lit ? 0.95 : 0.85, 0, 2 * kPi);
    cairo_fill(cr);
  }
  // Shadow, body, rim.
  cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
  cairo_arc(cr, cx, cy + 1.0, 11.2, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_t* body = cairo_pattern_create_radial(cx - 3.5, cy - 4.5, 1.0, cx, cy, 11.0);
  cairo_pattern_add_color_stop_rgb(body, 0, 0.36, 0.38, 0.42);
  cairo_pattern_add_color_stop_rgb(body, 0.55, 0.17, 0.18, 0.205);
  cairo_pattern_add_color_stop_rgb(body, 1, 0.09, 0.095, 0.11);
  cairo_set_source(cr, body);
  cairo_arc(cr, cx, cy, 10.4, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(body);
  cairo_set_source_rgba(cr, rim.r, rim.g, rim.b, 0.55);
  cairo_set_line_width(cr, 1.0);
  cairo_arc(cr, cx, cy, 10.4, 0, 2 * kPi);
  cairo_stroke(cr);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
  cairo_arc(cr, cx, cy, 9.2, 200 * kPi / 180, 340 * kPi / 180);
  cairo_stroke(cr);
  // Pointer.
  const double a = start - sweep * frame / 36.0;
  cairo_set_source_rgb(cr, 0.95, 0.95, 0.95);
  cairo_set_line_width(cr, 1.7);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, cx + 3.6 * std::cos(a), cy - 3.6 * std::sin(a));
  cairo_line_to(cr, cx + 8.6 * std::cos(a), cy - 8.6 * std::sin(a));
  cairo_stroke(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// A crop of the background under a control, checked to be the same under every control that
// shares the bitmap (a plainly drawn bitmap shows its own background, not the panel's).
void cropUnder(Image& source, const std::vector<Box>& places, int dx, int dy, Image& out) {
  const Box& first = places.front();
  out.paste(source, first.left + dx, first.top + dy, first.width(), first.height(), 0, 0);
  for (const Box& b : places) {
    for (int y = 0; y < b.height(); ++y) {
      for (int x = 0; x < b.width(); ++x) {
        if (source.pixel(b.left + dx + x, b.top + dy + y) != out.pixel(x, y)) {
          std::fprintf(stderr, "artgen: the panel differs under the controls at (%d, %d)\n",
                       b.left, b.top);
          std::exit(1);
        }
      }
    }
  }
}

void knobStrip(Image& strip, Image& socket, Rgb rim) {
  for (int frame = 0; frame < 37; ++frame) {
    strip.paste(socket, 0, 0, 44, 34, 0, frame * 34);
    drawKnobFrame(strip, frame * 34, frame, rim);
  }
}

// A two-state switch: a dark key with an LED, off above, on (lit, key pressed in) below.
void switchStrip(Image& strip, Image& socket, Rgb led) {
  cairo_t* cr = strip.cr();
  for (int state = 0; state < 2; ++state) {
    const double top = state * 31.0;
    strip.paste(socket, 0, 0, 21, 31, 0, static_cast<int>(top));
    const bool on = state == 1;
    strip.roundedRect(1.5, top + 1.5, 18, 28, 3);
    cairo_set_source_rgb(cr, 0.03, 0.035, 0.04);
    cairo_fill(cr);
    strip.roundedRect(2.5, top + 2.5, 16, 26, 2.5);
    cairo_pattern_t* face = cairo_pattern_create_linear(0, top + 2, 0, top + 29);
    const double lift = on ? 0.0 : 0.05;
    cairo_pattern_add_color_stop_rgb(face, 0, 0.25 + lift, 0.27 + lift, 0.30 + lift);
    cairo_pattern_add_color_stop_rgb(face, 1, 0.13, 0.14, 0.16);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    if (!on) strip.line(4, top + 3.5, 17, top + 3.5, hex(0xffffff), 1.0, 0.18);
    // Grip lines.
    for (int i = 0; i < 3; ++i) {
      const double y = top + 17.5 + 3.0 * i + (on ? 1.0 : 0.0);
      strip.line(6, y, 15, y, hex(0x0a0b0c), 1.0, 0.9);
      strip.line(6, y + 1, 15, y + 1, hex(0xffffff), 1.0, 0.08);
    }
    const double lx = 10.5;
    const double ly = top + 9.0;
    if (on) {
      glow(strip, lx, ly, 6.0, led, 0.55);
    }
    const Rgb core = on ? mix(led, hex(0xffffff), 0.35) : mix(led, hex(0x000000), 0.78);
    cairo_set_source_rgb(cr, 0.02, 0.02, 0.02);
    cairo_arc(cr, lx, ly, 2.9, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, core.r, core.g, core.b);
    cairo_arc(cr, lx, ly, 2.1, 0, 2 * kPi);
    cairo_fill(cr);
  }
}

// A 124 x 6 meter strip of 1-pixel LEDs, grouped in threes by a darker column; the colour may
// change along the strip.
template <typename ColorAt>
void meterStrip(Image& strip, ColorAt colorAt, bool lit) {
  for (int x = 0; x < strip.width(); ++x) {
    const Rgb c = colorAt(x);
    const bool gap = x % 3 == 2;
    for (int y = 0; y < strip.height(); ++y) {
      // Lit LEDs are brightest in the middle rows; the top and bottom rows are shaded.
      const double shade = (y == 0 || y == strip.height() - 1) ? 0.62 : (y == 1 ? 1.0 : 0.88);
      double k = lit ? shade : shade * 0.16;
      if (gap) k *= lit ? 0.55 : 0.6;
      const Rgb p{c.r * k, c.g * k, c.b * k};
      const auto to8 = [](double v) { return static_cast<uint32_t>(std::lround(v * 255.0)); };
      strip.setPixel(x, y, to8(p.r) << 16 | to8(p.g) << 8 | to8(p.b));
    }
  }
}

void curveGrid(Image& img) {
  img.fill(hex(0x000000));
  // Every 10 dB on both axes (1.4 pixels per dB, 0 dB at the top right corner).
  for (int db = 0; db <= 40; db += 10) {
    const int x = static_cast<int>(56.5 - 1.4 * db);
    const int y = static_cast<int>(0.5 + 1.4 * db);
    const Rgb c = db == 0 || db == 40 ? hex(0x34383e) : hex(0x1f2226);
    img.fillRect(x, 0, 1, 57, c);
    img.fillRect(0, y, 57, 1, c);
  }
  // The unity line, dotted.
  for (int i = 0; i < 57; i += 2) img.setPixel(i, 56 - i, 0x3d4248);
}

// --- The whole set ------------------------------------------------------------------------------

struct Art {
  std::map<int, Image*> bitmaps;
  ~Art() {
    for (auto& [id, image] : bitmaps) delete image;
  }
  Image& add(int id) {
    const layout::BitmapEntry* item = layout::findBitmap(id);
    Image* image = new Image(item->width, item->height);
    bitmaps[id] = image;
    return *image;
  }
  Image& at(int id) { return *bitmaps.at(id); }
};

std::vector<Box> rects(Role role) {
  std::vector<Box> found;
  for (const ControlItem* c : controls(role)) found.push_back(c->rect);
  return found;
}

void drawAll(Art& art) {
  const Box panelBox = control(Role::PagePanel, -1).rect;
  Image& panel = art.add(layout::PagePanelBitmap);
  drawPanelFrame(panel, 0, kCompressorTint);
  drawPanelFrame(panel, panelBox.height(), kExpanderTint);

  Image& background = art.add(layout::BackgroundBitmap);
  background.fill(kBase);
  drawTitle(background);
  drawMasterSection(background);
  for (int row = 0; row < layout::kBandRows; ++row) drawBandStrip(background, row);
  background.paste(panel, 0, 0, panelBox.width(), panelBox.height(), panelBox.left,
                   panelBox.top);

  Image socket(44, 34);
  cropUnder(background, {control(Role::LookaheadKnob, -1).rect}, 0, 0, socket);
  knobStrip(art.add(layout::LookaheadKnobBitmap), socket, hex(0x8a9099));
  cropUnder(background, rects(Role::GainKnob), 0, 0, socket);
  knobStrip(art.add(layout::GainKnobBitmap), socket, hex(0x8a9099));
  std::vector<Box> bandKnobs = rects(Role::BandKnob);
  cropUnder(panel, bandKnobs, -panelBox.left, -panelBox.top, socket);
  knobStrip(art.add(layout::CompressorKnobBitmap), socket, kOrange);
  cropUnder(panel, bandKnobs, -panelBox.left, -panelBox.top + panelBox.height(), socket);
  knobStrip(art.add(layout::ExpanderKnobBitmap), socket, kGreen);

  Image key(21, 31);
  std::vector<Box> bandSwitches;
  for (int row = 0; row < layout::kBandRows; ++row) {
    bandSwitches.push_back(control(Role::EnableButton, row).rect);
  }
  cropUnder(background, bandSwitches, 0, 0, key);
  switchStrip(art.add(layout::BandSwitchBitmap), key, kGreen);
  cropUnder(background, {control(Role::EnableButton, -1).rect}, 0, 0, key);
  switchStrip(art.add(layout::LookaheadSwitchBitmap), key, kYellow);
  cropUnder(background, {control(Role::PageButton, -1, 0).rect}, 0, 0, key);
  switchStrip(art.add(layout::CompressorPageButtonBitmap), key, kOrange);
  cropUnder(background, {control(Role::PageButton, -1, 1).rect}, 0, 0, key);
  switchStrip(art.add(layout::ExpanderPageButtonBitmap), key, kGreen);

  const auto flat = [](Rgb c) { return [c](int) { return c; }; };
  meterStrip(art.add(layout::MeterOffBitmap), [](int x) {
    // Unlit LEDs keep a trace of the colour they light up in.
    return x < 112 ? hex(0x4cd964) : hex(0xff5a4a);
  }, false);
  meterStrip(art.add(layout::InputMeterBitmap), [](int x) {
    return mix(hex(0x2fc25a), hex(0x9be05a), x / 123.0);
  }, true);
  const int redFrom = static_cast<int>(std::floor(meterX(-3.0))) - 13;
  meterStrip(art.add(layout::OutputMeterBitmap), [redFrom](int x) {
    return x < redFrom ? mix(hex(0xe8b21c), hex(0xffd83a), x / 123.0) : hex(0xb3231b);
  }, true);
  meterStrip(art.add(layout::CompressorReductionBitmap), flat(hex(0xf0452e)), true);
  meterStrip(art.add(layout::ExpanderReductionBitmap), flat(hex(0x3d84ff)), true);
  curveGrid(art.add(layout::CurveGridBitmap));
}

// The editor as it looks open on the compressor page: for the eye, not for the program.
void drawPreview(Art& art, Image& preview) {
  preview.paste(art.at(layout::BackgroundBitmap), 0, 0, 640, 489, 0, 0);
  int sample = 0;
  for (const ControlItem& c : layout::kControls) {
    ++sample;
    const Box& b = c.rect;
    switch (c.kind) {
      case ControlKind::AnimatedKnob: {
        const int frame = (sample * 7) % 37;
        preview.paste(art.at(c.bitmap), 0, frame * 34, 44, 34, b.left, b.top);
        break;
      }
      case ControlKind::OnOffButton:
        preview.paste(art.at(c.bitmap), 0, c.column == 1 ? 0 : 31, 21, 31, b.left, b.top);
        break;
      case ControlKind::VuMeter:
      case ControlKind::GainReductionMeter: {
        const bool reduction = c.kind == ControlKind::GainReductionMeter;
        const int lit = reduction ? 124 - (10 + 9 * c.row) : 60 + (sample * 13) % 60;
        Image& on = art.at(reduction ? layout::MeterOffBitmap : c.bitmap);
        Image& off = art.at(reduction ? layout::CompressorReductionBitmap : layout::MeterOffBitmap);
        preview.paste(on, 0, 0, lit, 6, b.left, b.top);
        preview.paste(off, lit, 0, 124 - lit, 6, b.left + lit, b.top);
        break;
      }
      case ControlKind::TransferCurveView: {
        preview.paste(art.at(layout::CurveGridBitmap), 0, 0, 57, 57, b.left, b.top);
        const double t = 20 + 4 * c.row;
        preview.line(b.left + 56.5 - 1.4 * t, b.top + 0.5 + 1.4 * t, b.left + 56.5,
                     b.top + 0.5 + 1.4 * (t - t / 4), hex(0xffff00), 1.0);
        preview.line(b.left + 56.5 - 1.4 * t, b.top + 0.5 + 1.4 * t, b.left + 14.5,
                     b.top + 42.5, hex(0xffff00), 1.0);
        break;
      }
      case ControlKind::TextEdit: {
        static const char* const texts[] = {"-12", "4.0", "25", "0.50", "2.5", "0.0", "10"};
        preview.text(texts[sample % 7], centerX(b), b.bottom - 2, 9, Weight::Regular,
                     hex(0xffff00), Align::Center);
        break;
      }
      case ControlKind::OptionMenu: {
        static const char* const menus[] = {"200", "12 dB", "1.6k", "12 dB", "6.3k", "24 dB"};
        const char* text = menus[(c.column * 2 + c.variant) % 6];
        preview.text(text, centerX(b) + 1, b.bottom - 1, 9, Weight::Regular, hex(0x7f7f7f),
                     Align::Center);
        preview.text(text, centerX(b), b.bottom - 2, 9, Weight::Regular, hex(0xffffff),
                     Align::Center);
        break;
      }
      case ControlKind::FilmStripDisplay:
        break;
    }
  }
}

int run(const std::string& resources, const std::string& docs) {
  if (!loadFonts(KESTRANE_ARTGEN_FONT_DIR)) {
    std::fprintf(stderr, "artgen: cannot load Liberation Sans from %s\n", KESTRANE_ARTGEN_FONT_DIR);
    return 1;
  }
  Art art;
  drawAll(art);
  for (const layout::BitmapEntry& item : layout::kBitmaps) {
    Image& image = art.at(item.id);
    if (image.width() != item.width || image.height() != item.height) {
      std::fprintf(stderr, "artgen: bitmap %d drawn at the wrong size\n", item.id);
      return 1;
    }
    if (!image.writeBmp(resources + "/" + item.file)) {
      std::fprintf(stderr, "artgen: cannot write %s/%s\n", resources.c_str(), item.file);
      return 1;
    }
    if (!docs.empty()) {
      std::string name = item.file;
      name.replace(name.size() - 4, 4, ".png");
      image.writePng(docs + "/bitmaps/" + name);
    }
  }
  if (!docs.empty()) {
    art.at(layout::BackgroundBitmap).writePng(docs + "/background.png");
    Image preview(640, 489);
    drawPreview(art, preview);
    preview.writePng(docs + "/editor-preview.png");
  }
  return 0;
}

}  // namespace
}  // namespace kestrane::artgen

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: artgen <resources-dir> [<docs-dir>]\n");
    return 2;
  }
  return kestrane::artgen::run(argv[1], argc == 3 ? argv[2] : "");
}
