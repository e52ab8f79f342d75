// kestrane-change-plot PATH: draws the engine's output envelope through a change of the first
// split point (2 kHz to 200 Hz, 44.1 kHz, the "Mastering" program, a chord of 100 Hz, 1 kHz and
// 5 kHz), once with the filters restarting from silence at the change (what every crossover
// change did before changes ran the two crossovers side by side, and what a stream restart
// still does) and once as a change runs now. Deterministic: the same picture every run.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/Engine.h"
#include "golden/ProgramMaterial.h"
#include "params/ParamId.h"
#include "params/Programs.h"

namespace {

using kestrane::Engine;

constexpr double Rate = 44100.0;
constexpr double Seconds = 0.8;
constexpr double ChangeAt = 0.2;  // seconds
constexpr int32_t Block = 256;
constexpr double BinSeconds = 0.001;     // the envelope: every millisecond,
constexpr double WindowSeconds = 0.010;  // the peak of the 10 ms up to it (a 100 Hz period)
constexpr double FloorDb = -60.0;

// The peak envelope (dB per bin) of the left output, with or without a restart at the change.
std::vector<double> envelope(bool restart) {
  std::array<float, kestrane::kNumParams> values;
  for (int32_t s = 0; s < kestrane::kNumParams; ++s) {
    values[s] = kestrane::FactoryPrograms[0].values[s];
  }
  const auto setFreq = [&](float v) { values[kestrane::recordSlot(kestrane::Fir1Freq)] = v; };
  setFreq(0.8f);  // 2 kHz
  auto engine = std::make_unique<Engine>();
  engine->setSampleRate(static_cast<float>(Rate));
  engine->recompute(values.data());

  const std::size_t n = static_cast<std::size_t>(Rate * Seconds);
  kestrane::test::Oscillator low(100.0, Rate), mid(1000.0, Rate), high(5000.0, Rate);
  std::vector<float> in(n), out(n), right(n);
  for (std::size_t i = 0; i < n; ++i) {
    in[i] = static_cast<float>(0.2 * low.next() + 0.1 * mid.next() + 0.05 * high.next());
  }
  const std::size_t change = static_cast<std::size_t>(Rate * ChangeAt) / Block * Block;
  for (std::size_t done = 0; done < n; done += Block) {
    if (done == change) {
      setFreq(0.3f);  // 200 Hz
      if (restart) engine->invalidateKernelSelection();
      engine->recompute(values.data());
    }
    const float* inputs[2] = {in.data() + done, in.data() + done};
    float* outputs[2] = {out.data() + done, right.data() + done};
    engine->processReplacing(inputs, outputs, static_cast<int32_t>(std::min<std::size_t>(Block, n - done)),
                             static_cast<float>(Rate));
  }
  const std::size_t bin = static_cast<std::size_t>(Rate * BinSeconds);
  const std::size_t window = static_cast<std::size_t>(Rate * WindowSeconds);
  std::vector<double> db;
  for (std::size_t end = bin; end <= n; end += bin) {
    float peak = 0.0f;
    for (std::size_t i = end > window ? end - window : 0; i < end; ++i) {
      peak = std::max(peak, std::fabs(out[i]));
    }
    db.push_back(std::max(FloorDb, 20.0 * std::log10(std::max(peak, 1e-9f))));
  }
  return db;
}

constexpr int Width = 900, Height = 420, Left = 70, Right = 20, Top = 50, Bottom = 50;

double x(double seconds) { return Left + (Width - Left - Right) * seconds / Seconds; }
double y(double db) { return Top + (Height - Top - Bottom) * (db / FloorDb); }

void text(cairo_t* cr, double px, double py, const char* s, bool centre) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, s, &e);
  cairo_move_to(cr, centre ? px - e.width / 2.0 : px - e.width - 6.0, py + e.height / 2.0);
  cairo_show_text(cr, s);
}

void curve(cairo_t* cr, const std::vector<double>& db) {
  for (std::size_t i = 0; i < db.size(); ++i) {
    const double t = static_cast<double>(i + 1) * BinSeconds;
    if (i == 0) {
      cairo_move_to(cr, x(t), y(db[i]));
    } else {
      cairo_line_to(cr, x(t), y(db[i]));
    }
  }
  cairo_stroke(cr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kestrane-change-plot PATH.png\n");
    return 2;
  }
  const std::vector<double> restarted = envelope(true), changed = envelope(false);

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, Width, Height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 12.0);
  cairo_set_line_width(cr, 1.0);
  char label[96];
  for (double db = 0.0; db >= FloorDb; db -= 10.0) {
    cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
    cairo_move_to(cr, Left, std::round(y(db)) + 0.5);
    cairo_line_to(cr, Width - Right, std::round(y(db)) + 0.5);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    std::snprintf(label, sizeof label, "%g dB", db);
    text(cr, Left, y(db), label, false);
  }
  for (double t = 0.0; t <= Seconds + 1e-9; t += 0.1) {
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    std::snprintf(label, sizeof label, "%.1f s", t);
    text(cr, x(t), Height - Bottom + 16.0, label, true);
  }
  const double change = std::floor(Rate * ChangeAt / Block) * Block / Rate;
  cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
  cairo_move_to(cr, std::round(x(change)) + 0.5, Top);
  cairo_line_to(cr, std::round(x(change)) + 0.5, Height - Bottom);
  cairo_stroke(cr);
  text(cr, x(change), Top - 8.0, "split 2 kHz -> 200 Hz", true);

  cairo_set_line_width(cr, 1.5);
  cairo_set_source_rgb(cr, 0.85, 0.3, 0.2);
  curve(cr, restarted);
  cairo_set_source_rgb(cr, 0.15, 0.35, 0.8);
  curve(cr, changed);

  cairo_set_font_size(cr, 15.0);
  text(cr, Width / 2.0, 16.0, "Output peak (10 ms) through a split-point change, Mastering, 44.1 kHz",
       true);
  cairo_set_font_size(cr, 12.0);
  const double lx = Left + 20.0, ly = Height - Bottom - 40.0;
  cairo_set_source_rgb(cr, 0.85, 0.3, 0.2);
  cairo_move_to(cr, lx, ly);
  cairo_line_to(cr, lx + 24.0, ly);
  cairo_stroke(cr);
  cairo_move_to(cr, lx + 30.0, ly + 4.0);
  cairo_show_text(cr, "before: the filters restart from silence");
  cairo_set_source_rgb(cr, 0.15, 0.35, 0.8);
  cairo_move_to(cr, lx, ly + 18.0);
  cairo_line_to(cr, lx + 24.0, ly + 18.0);
  cairo_stroke(cr);
  cairo_move_to(cr, lx + 30.0, ly + 22.0);
  cairo_show_text(cr, "now: both crossovers run, the bands cross-fade, the delay glides");

  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(surface, argv[1]) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) std::fprintf(stderr, "kestrane-change-plot: cannot write %s\n", argv[1]);
  return ok ? 0 : 1;
}
