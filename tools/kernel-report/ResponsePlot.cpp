#include "ResponsePlot.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/CrossoverKernels.h"
#include "params/StepTables.h"
#include "tools/kernelgen/KernelAnalysis.h"
#include "tools/kernelgen/KernelDesign.h"

namespace kestrane::kernelgen {
namespace {

constexpr int32_t Width = 1000;
constexpr int32_t Height = 600;
constexpr double Left = 70.0;
constexpr double Right = 20.0;
constexpr double Top = 40.0;
constexpr double Bottom = 50.0;
constexpr double MinHz = 20.0;
constexpr double TopDb = 6.0;
constexpr double BottomDb = -120.0;

struct Axes {
  double maxHz;
  double x(double hz) const {
    return Left + (Width - Left - Right) * std::log(hz / MinHz) / std::log(maxHz / MinHz);
  }
  double y(double db) const {
    const double v = std::clamp(db, BottomDb, TopDb);
    return Top + (Height - Top - Bottom) * (TopDb - v) / (TopDb - BottomDb);
  }
};

void text(cairo_t* cr, double x, double y, const char* s, bool centred) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, s, &e);
  cairo_move_to(cr, centred ? x - e.width / 2.0 - e.x_bearing : x - e.width - e.x_bearing - 6.0,
                y - e.height / 2.0 - e.y_bearing);
  cairo_show_text(cr, s);
}

void drawGrid(cairo_t* cr, const Axes& axes, int32_t rateIndex, int32_t slope) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 12.0);
  cairo_set_line_width(cr, 1.0);
  char label[64];
  for (double decade = 10.0; decade < axes.maxHz; decade *= 10.0) {
    for (int32_t m = 1; m < 10; ++m) {
      const double hz = decade * m;
      if (hz < MinHz || hz > axes.maxHz) continue;
      const bool major = m == 1 || m == 2 || m == 5;
      cairo_set_source_rgb(cr, major ? 0.75 : 0.9, major ? 0.75 : 0.9, major ? 0.75 : 0.9);
      cairo_move_to(cr, std::round(axes.x(hz)) + 0.5, Top);
      cairo_line_to(cr, std::round(axes.x(hz)) + 0.5, Height - Bottom);
      cairo_stroke(cr);
      if (major) {
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        if (hz >= 1000.0) {
          std::snprintf(label, sizeof label, "%gk", hz / 1000.0);
        } else {
          std::snprintf(label, sizeof label, "%g", hz);
        }
        text(cr, axes.x(hz), Height - Bottom + 14.0, label, true);
      }
    }
  }
  for (double db = 0.0; db >= BottomDb; db -= 10.0) {
    cairo_set_source_rgb(cr, db == 0.0 ? 0.5 : 0.8, db == 0.0 ? 0.5 : 0.8, db == 0.0 ? 0.5 : 0.8);
    cairo_move_to(cr, Left, std::round(axes.y(db)) + 0.5);
    cairo_line_to(cr, Width - Right, std::round(axes.y(db)) + 0.5);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    std::snprintf(label, sizeof label, "%g dB", db);
    text(cr, Left, axes.y(db), label, false);
  }
  cairo_set_font_size(cr, 15.0);
  std::snprintf(label, sizeof label, "Crossover low-pass kernels, %d Hz, %d dB/oct",
                KernelGroupRates[static_cast<std::size_t>(rateIndex)], 6 * (slope + 1));
  text(cr, Width / 2.0, Top / 2.0, label, true);
  cairo_set_font_size(cr, 12.0);
  text(cr, Width / 2.0, Height - 14.0, "frequency (Hz)", true);
}

// One line of the legend in the empty lower left corner (low frequencies, deep levels): a
// stroke of the curve's colour and the split frequency.
void drawLegendEntry(cairo_t* cr, int32_t frequency, double fs) {
  const double x = Left + 14.0;
  const double y = Height - Bottom - 14.0 - 16.0 * (KernelFrequencies - 1 - frequency);
  cairo_move_to(cr, x, y);
  cairo_line_to(cr, x + 22.0, y);
  cairo_stroke(cr);
  char label[48];
  const int32_t hz = CrossoverFreqSteps[static_cast<std::size_t>(frequency)];
  std::snprintf(label, sizeof label, splitAboveNyquist(hz, fs) ? "%d Hz (above fs/2: passes all)"
                                                               : "%d Hz",
                hz);
  cairo_move_to(cr, x + 28.0, y + 4.0);
  cairo_show_text(cr, label);
}

}  // namespace

bool drawResponsePlot(int32_t rateIndex, int32_t slope, const std::string& path) {
  const double fs = KernelGroupRates[static_cast<std::size_t>(rateIndex)];
  const Axes axes{fs / 2.0};
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, Width, Height);
  cairo_t* cr = cairo_create(surface);
  drawGrid(cr, axes, rateIndex, slope);

  constexpr int32_t Points = 900;
  cairo_rectangle(cr, Left, Top, Width - Left - Right, Height - Top - Bottom);
  cairo_clip(cr);
  cairo_set_line_width(cr, 1.5);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  for (int32_t f = 0; f < KernelFrequencies; ++f) {
    const int32_t index = kernelRecordIndex(rateIndex, slope, f);
    const std::vector<double> h =
        effectiveImpulseResponse(crossoverKernels().records[static_cast<std::size_t>(index)]);
    // Colours walk round the hue circle from the lowest split frequency to the highest.
    const double hue = 0.85 * f / (KernelFrequencies - 1);
    const double r = 0.5 + 0.45 * std::cos(2.0 * 3.14159265358979 * hue);
    const double g = 0.5 + 0.45 * std::cos(2.0 * 3.14159265358979 * (hue - 1.0 / 3.0));
    const double b = 0.5 + 0.45 * std::cos(2.0 * 3.14159265358979 * (hue - 2.0 / 3.0));
    cairo_set_source_rgb(cr, r * 0.85, g * 0.85, b * 0.85);
    drawLegendEntry(cr, f, fs);
    for (int32_t i = 0; i <= Points; ++i) {
      const double hz = MinHz * std::pow(axes.maxHz / MinHz, static_cast<double>(i) / Points);
      const double db = 20.0 * std::log10(std::max(std::abs(amplitudeAt(h, hz, fs)), 1e-12));
      if (i == 0) {
        cairo_move_to(cr, axes.x(hz), axes.y(db));
      } else {
        cairo_line_to(cr, axes.x(hz), axes.y(db));
      }
    }
    cairo_stroke(cr);
  }
  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

}  // namespace kestrane::kernelgen
