#include "editor/TransferCurveView.h"

#include <cstdint>
#include <cstdlib>

#include "gui/Bitmap.h"
#include "gui/OffscreenContext.h"

namespace kestrane {

namespace {

constexpr double kPixelsPerDb = 1.4;  // 40 dB span 56 pixels
constexpr double kRightEdge = 56.5;   // x of 0 dB input, before truncation
constexpr double kTopEdge = 0.5;      // y of 0 dB output, before truncation
constexpr double kRatioScale = 0.1;   // stored tenths to ratio
// Far outside the graph, but inside what an int holds: a huge depth still gives a line.
constexpr double kFarOutside = 1.0e6;

// Truncates towards zero, like the conversion it stands for, without overflowing.
int32_t pixel(double position) {
  if (position > kFarOutside) position = kFarOutside;
  if (position < -kFarOutside) position = -kFarOutside;
  return static_cast<int32_t>(position);
}

int32_t xForDepth(double depth) { return pixel(kRightEdge - kPixelsPerDb * depth); }
int32_t yForDepth(double depth) { return pixel(kTopEdge + kPixelsPerDb * depth); }

// A stored ratio of 0 (which no caller means) is drawn as 1:1 rather than dividing by zero.
double ratioOf(int32_t tenths) {
  return kRatioScale * (tenths != 0 ? tenths : TransferCurveView::kUnityRatio);
}

int32_t magnitude(int32_t v) {
  const long long m = std::llabs(static_cast<long long>(v));
  return m > INT32_MAX ? INT32_MAX : static_cast<int32_t>(m);
}

}  // namespace

TransferCurveView::TransferCurveView(const Rect& rect, Bitmap* gridBitmap)
    : Control(rect, nullptr, 0, gridBitmap) {}

TransferCurveView::~TransferCurveView() = default;

void TransferCurveView::setCurve(int32_t compThreshold, int32_t compRatio, int32_t expThreshold,
                                 int32_t expRatio) {
  compressorThreshold = magnitude(compThreshold);
  compressorRatio = magnitude(compRatio);
  expanderThreshold = magnitude(expThreshold);
  expanderRatio = magnitude(expRatio);
}

void TransferCurveView::draw(DrawContext* context) {
  if (context == nullptr) return;
  OffscreenContext offscreen(frame, kSide, kSide, kBlack);
  if (background != nullptr) background->draw(&offscreen, Rect(0, 0, kSide, kSide), Point(0, 0));
  offscreen.setLineWidth(1);
  offscreen.setFrameColor(kYellow);

  const double threshold = compressorThreshold;
  const double compRatio = ratioOf(compressorRatio);
  const double expRatio = ratioOf(expanderRatio);

  // Unity gain between the thresholds, unless the expander's lies at or above the compressor's.
  const bool unity = compressorThreshold < expanderThreshold;
  if (!unity) expanderThreshold = compressorThreshold;
  if (expanderThreshold > kRangeDb) expanderThreshold = kRangeDb;
  const double expThreshold = expanderThreshold;

  const Point compressorPoint(xForDepth(threshold), yForDepth(threshold));
  const Point expanderPoint(xForDepth(expThreshold), yForDepth(expThreshold));

  // Compressor: from the output at 0 dB input to the threshold point.
  offscreen.moveTo(Point(kSide - 1, yForDepth(threshold - threshold / compRatio)));
  offscreen.lineTo(compressorPoint);
  if (unity) {
    offscreen.moveTo(compressorPoint);
    offscreen.lineTo(expanderPoint);
  }
  // Expander: from its threshold to the input at which the output reaches the bottom edge.
  const double bottomInput = expThreshold + (kRangeDb - expThreshold) / expRatio;
  offscreen.moveTo(expanderPoint);
  offscreen.lineTo(Point(xForDepth(bottomInput) - 1, kSide));

  offscreen.blitTo(context, size, Point(0, 0));
}

}  // namespace kestrane
