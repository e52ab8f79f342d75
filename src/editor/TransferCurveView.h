// TransferCurveView: a 57 x 57 pixel graph of one band's static curve, output level over input
// level from 40 dB below full scale (left, bottom) to full scale (top right): the compressor's
// slope above its threshold, unity gain between the thresholds, the expander's slope below its
// threshold. Drawn in yellow over the grid bitmap through an offscreen image, so that grid and
// curve appear together. Display only.
//
// Levels are depths in whole dB below full scale (20 means -20 dB); ratios are in tenths (40
// means 4:1). User-interface thread only.
#pragma once

#include "gui/Control.h"

namespace kestrane {

class TransferCurveView : public Control {
 public:
  static constexpr int32_t kSide = 57;       // pixels
  static constexpr int32_t kRangeDb = 40;    // the depth at the left and bottom edges
  static constexpr int32_t kUnityRatio = 10; // 1:1 in tenths

  // The grid is the control's background. The curve starts as the unity diagonal.
  TransferCurveView(const Rect& size, Bitmap* gridBitmap);
  ~TransferCurveView() override;

  void draw(DrawContext* context) override;

  // --- TransferCurveView slots -----------------------------------------------------------------
  // Stores the absolute value of each. Does not mark the view dirty; the caller does.
  virtual void setCurve(int32_t compressorThreshold, int32_t compressorRatio,
                        int32_t expanderThreshold, int32_t expanderRatio);

  int32_t getCompressorThreshold() const { return compressorThreshold; }
  int32_t getCompressorRatio() const { return compressorRatio; }
  // Raised to the compressor threshold and limited to 40 by drawing.
  int32_t getExpanderThreshold() const { return expanderThreshold; }
  int32_t getExpanderRatio() const { return expanderRatio; }

 private:
  int32_t compressorThreshold = 0;
  int32_t compressorRatio = kUnityRatio;
  int32_t expanderThreshold = 0;
  int32_t expanderRatio = kUnityRatio;
};

}  // namespace kestrane
