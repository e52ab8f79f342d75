// Design of the crossover kernel set: one linear-phase low-pass per sample-rate group, slope and
// split frequency, realised as the stage realises it (a 53-tap model filter, linearly
// interpolated over the record's spacing), and its conversion to an integer record.
#pragma once

#include <array>
#include <cstdint>

#include "engine/CrossoverKernels.h"

namespace kestrane::kernelgen {

inline constexpr int32_t ModelTaps = KernelTaps - 2;       // 53
inline constexpr int32_t ModelHalf = (ModelTaps - 1) / 2;  // 26

// Spacing L by rate group (KernelGroupRates order) and frequency index (the same for all
// slopes): it fixes the length of the interpolated response and where the interpolation images
// fall. The longest response, 54 * 144 - 1 samples, sets the stage's history length. A group at
// half or twice another group's rate keeps about the same number of taps per period of the
// split frequency, so its spacings are about half or twice that group's.
inline constexpr std::array<std::array<int32_t, KernelFrequencies>, KernelRateGroups> SpacingTable =
    {{{45, 28, 18, 15, 9, 6, 4, 3, 2, 1, 1, 1, 1},           // 32000
      {45, 28, 18, 15, 9, 6, 4, 3, 2, 1, 1, 1, 1},           // 44100
      {45, 28, 18, 15, 9, 6, 4, 3, 2, 1, 1, 1, 1},           // 48000
      {72, 45, 28, 28, 28, 21, 12, 7, 5, 3, 2, 1, 1},        // 96000
      {22, 14, 9, 7, 4, 3, 2, 2, 1, 1, 1, 1, 1},             // 22050
      {22, 14, 9, 7, 4, 3, 2, 2, 1, 1, 1, 1, 1},             // 24000
      {72, 45, 28, 28, 28, 21, 12, 7, 5, 3, 2, 1, 1},        // 88200
      {144, 90, 56, 56, 56, 42, 24, 14, 10, 6, 4, 2, 1},     // 176400
      {144, 90, 56, 56, 56, 42, 24, 14, 10, 6, 4, 2, 2}}};   // 192000

// True when a split frequency (Hz) lies at or above half the sample rate (Hz): the record is
// then a plain delay (see designModel).
constexpr bool splitAboveNyquist(double nominal, double sampleRate) noexcept {
  return 2.0 * nominal >= sampleRate;
}

// The model filter's symmetric half: c[0] is the centre tap, c[k] the taps at +-k.
using ModelHalfTaps = std::array<double, ModelHalf + 1>;

struct DesignTarget {
  int32_t rateIndex;
  int32_t slope;
  int32_t frequency;  // index into CrossoverFreqSteps
  double sampleRate;  // Hz
  double nominal;     // Hz
  int32_t spacing;    // L
};

DesignTarget designTarget(int32_t rateIndex, int32_t slope, int32_t frequency);

// The real-valued model filter for one record, normalised to unity gain at 0 Hz. A split at or
// above half the sample rate has nothing above it to split off: its low-pass is the plain delay
// (the centre tap alone), so the band below takes the whole signal and the band above is silent.
ModelHalfTaps designModel(const DesignTarget& target);

// The integer record (as stored: gain in Q23, taps unscaled) for a model filter: the largest
// integer model filter whose taps, gain and worst-case integrator sums fit the stage, with the
// gain word chosen for unity gain at 0 Hz.
KernelRecord quantise(const ModelHalfTaps& model, int32_t spacing);

}  // namespace kestrane::kernelgen
