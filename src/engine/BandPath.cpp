#include "engine/BandPath.h"

#include "engine/SampleConversion.h"

namespace kestrane {

void BandPathState::restartAfterKernelChange(int32_t delayLF, int32_t delayLMF) noexcept {
  for (auto& ring : alignLF) ring.fill(0);
  for (auto& ring : alignLMF) ring.fill(0);
  alignPosLF = 0;
  alignPosLMF = 0;
  alignDelayLF = delayLF;
  alignDelayLMF = delayLMF;
  lookaheadPos = 0;
}

namespace {

inline uint32_t maxU(uint32_t a, uint32_t b) { return a > b ? a : b; }

}  // namespace

void runBandPathReference(BandPathState& s, const EngineCoefficients& c,
                          const LookupTables& tables, const BandSplit& split,
                          const std::array<float*, 2>& output, int32_t frames,
                          BlockPeaks& peaks) noexcept {
  constexpr int32_t alignMask = AlignLength - 1;
  constexpr int32_t lookaheadMask = LookaheadLength - 1;
  const int32_t lookaheadSamples = c.lookaheadSamples;

  for (int32_t i = 0; i < frames; ++i) {
    // The four bands, time-aligned: band[b][channel].
    int32_t band[kNumBands][2];
    for (int32_t ch = 0; ch < 2; ++ch) {
      s.alignLF[ch][s.alignPosLF] = split.lowFir1[ch][i];
      band[BandLF][ch] = s.alignLF[ch][(s.alignPosLF - s.alignDelayLF) & alignMask];
    }
    s.alignPosLF = (s.alignPosLF + 1) & alignMask;
    for (int32_t ch = 0; ch < 2; ++ch) {
      s.alignLMF[ch][s.alignPosLMF] = split.lowFir2[ch][i];
      band[BandLMF][ch] = s.alignLMF[ch][(s.alignPosLMF - s.alignDelayLMF) & alignMask];
    }
    s.alignPosLMF = (s.alignPosLMF + 1) & alignMask;
    for (int32_t ch = 0; ch < 2; ++ch) {
      band[BandHMF][ch] = split.lowFir3[ch][i];
      band[BandHF][ch] = split.highFir3[ch][i];
    }

    // The audio runs lookaheadSamples behind the detector (with no lookahead the read meets
    // the sample just written).
    int32_t delayed[kNumBands][2];
    const int32_t readPos = (s.lookaheadPos - lookaheadSamples) & lookaheadMask;
    for (int32_t b = 0; b < kNumBands; ++b) {
      for (int32_t ch = 0; ch < 2; ++ch) {
        s.lookahead[b][ch][s.lookaheadPos] = band[b][ch];
        delayed[b][ch] = s.lookahead[b][ch][readPos];
      }
    }
    s.lookaheadPos = (s.lookaheadPos + 1) & lookaheadMask;

    // Stereo-linked detector input: the larger channel magnitude of the undelayed band.
    s.subBlockPhase = (s.subBlockPhase + 1) & 3;
    for (int32_t b = 0; b < kNumBands; ++b) {
      const uint32_t m = maxU(magnitude(band[b][0]), magnitude(band[b][1]));
      s.dynamics[b].peakSlots[s.subBlockPhase] = static_cast<int32_t>(m);
      peaks.bandLevel[b] = maxU(peaks.bandLevel[b], m);
    }
    if (s.subBlockPhase == 0) {
      for (int32_t b = 0; b < kNumBands; ++b) {
        runGainComputer(s.dynamics[b], c.band[b], c.detectorKeep, c.holdSteps, tables);
      }
    }
    for (int32_t b = 0; b < kNumBands; ++b) runSmoother(s.dynamics[b]);

    // Makeup, then the smoothed gain; the bands add up with two's-complement wrap.
    int32_t sum[2] = {0, 0};
    for (int32_t b = 0; b < kNumBands; ++b) {
      const int32_t gain = s.dynamics[b].currentGain;
      for (int32_t ch = 0; ch < 2; ++ch) {
        const int32_t y = mulQ23(mulQ23(delayed[b][ch], c.band[b].makeupGain), gain);
        sum[ch] = wrapAdd(sum[ch], y);
        peaks.bandOutput[b] = maxU(peaks.bandOutput[b], magnitude(y));
      }
      peaks.bandGain[b] = maxU(peaks.bandGain[b], static_cast<uint32_t>(gain));
    }
    for (int32_t ch = 0; ch < 2; ++ch) {
      peaks.output[ch] = maxU(peaks.output[ch], magnitude(sum[ch]));
      output[ch][i] = q23ToFloat(sum[ch]);
    }
  }
}

}  // namespace kestrane
