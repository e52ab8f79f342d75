// Parameter indices and the record order in which values are stored.
#pragma once

#include <cstdint>

namespace kestrane {

// The index a host uses for a parameter, 0..48. Every per-band quantity takes four neighbouring
// indices, lowest band first, so code reaches band b's copy as the group's first index + b.
enum ParamId : int32_t {
  Fir1Slope, Fir2Slope, Fir3Slope,
  Fir1Freq, Fir2Freq, Fir3Freq,
  CompThreshLF, CompThreshLMF, CompThreshHMF, CompThreshHF,
  CompRatioLF, CompRatioLMF, CompRatioHMF, CompRatioHF,
  CompAttackLF, CompAttackLMF, CompAttackHMF, CompAttackHF,
  CompReleaseLF, CompReleaseLMF, CompReleaseHMF, CompReleaseHF,
  ExpThreshLF, ExpThreshLMF, ExpThreshHMF, ExpThreshHF,
  ExpRatioLF, ExpRatioLMF, ExpRatioHMF, ExpRatioHF,
  ExpAttackLF, ExpAttackLMF, ExpAttackHMF, ExpAttackHF,
  ExpReleaseLF, ExpReleaseLMF, ExpReleaseHMF, ExpReleaseHF,
  GainLF, GainLMF, GainHMF, GainHF,
  Lookahead, EnableLookahead,
  EnableLF, EnableLMF, EnableHMF, EnableHF,
  DisplayMode,
};

inline constexpr int32_t kNumParams = 49;

// Bands in the order every per-band group uses.
enum Band : int32_t { BandLF, BandLMF, BandHMF, BandHF };
inline constexpr int32_t kNumBands = 4;

inline constexpr bool isParamIndex(int32_t index) { return index >= 0 && index < kNumParams; }

// Slot of a parameter in parameterValues and in every stored program. The record keeps the
// crossover group, then the expander group, then the compressor group, then the rest:
// compressor parameters 6..21 sit at 22..37, expander parameters 22..37 at 6..21.
// Only meaningful for a valid index.
inline constexpr int32_t recordSlot(int32_t index) {
  if (index >= CompThreshLF && index <= CompReleaseHF) return index + 16;
  if (index >= ExpThreshLF && index <= ExpReleaseHF) return index - 16;
  return index;
}

// The parameter stored at a record slot (recordSlot is its own inverse).
inline constexpr int32_t paramAtSlot(int32_t slot) { return recordSlot(slot); }

static_assert(recordSlot(CompThreshLF) == 22 && recordSlot(ExpThreshLF) == 6);
static_assert(recordSlot(GainLF) == 38 && recordSlot(DisplayMode) == 48);

}  // namespace kestrane
