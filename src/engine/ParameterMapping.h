// Translation of the 49 stored parameter values and the sample rate into every coefficient the
// signal path reads. Pure functions, double precision, run on the thread that changes a
// parameter (never on the audio thread).
#pragma once

#include <cstdint>

#include "engine/CrossoverKernels.h"
#include "params/ParamId.h"

namespace kestrane {

// Expander threshold of a band that never expands: below every level the detector reports.
inline constexpr int32_t kExpanderOff = -1073741823;
// The longest lookahead the rings hold. They are sized for the longest setting, 100 ms, at the
// highest kernel-group rate (19200 samples at 192 kHz); only at rates above 327670 Hz would
// 100 ms be longer, and there the delay is limited to this, never wrapped.
inline constexpr int32_t kMaxLookaheadSamples = 32767;
static_assert(kMaxLookaheadSamples >= KernelHighestGroupRate / 10, "100 ms at every group rate");

// One-pole smoother weights in Q23: keep weighs the previous gain, take the target;
// keep + take = 1.0 (8388608).
struct SmoothingPair {
  int32_t keep = 0;
  int32_t take = 8388608;
};

// The coefficients of one band's expander, compressor and makeup gain.
struct BandCoefficients {
  int32_t expThresh = kExpanderOff;  // log2 Q23
  int32_t expFactor = 0;             // Q23, ratio - 1
  SmoothingPair expAttack;
  SmoothingPair expRelease;
  int32_t compThresh = 0;            // log2 Q23
  int32_t compFactor = 0;            // Q23, 1 - 1/ratio
  SmoothingPair compAttack;
  SmoothingPair compRelease;
  int32_t makeupGain = 8388608;  // Q23; 0 mutes the band
};

// Which crossover kernels are meant: the rate group (an index into KernelGroupRates) and, per
// filter FIR1..FIR3, the slope
// index 0..3 and the frequency index 0..10 (filter k uses frequency step freqIndex[k] + k).
struct KernelSelection {
  int32_t rateIndex = -1;
  int32_t slopeIndex[3] = {-1, -1, -1};
  int32_t freqIndex[3] = {-1, -1, -1};

  // Record of filter k (0..2) in the kernel set: rate group, slope, frequency step.
  int32_t recordIndex(int32_t k) const {
    return kernelRecordIndex(rateIndex, slopeIndex[k], freqIndex[k] + k);
  }
  friend bool operator==(const KernelSelection& a, const KernelSelection& b) {
    if (a.rateIndex != b.rateIndex) return false;
    for (int32_t k = 0; k < 3; ++k) {
      if (a.slopeIndex[k] != b.slopeIndex[k] || a.freqIndex[k] != b.freqIndex[k]) return false;
    }
    return true;
  }
  friend bool operator!=(const KernelSelection& a, const KernelSelection& b) { return !(a == b); }
};

// Everything one full update computes.
struct EngineCoefficients {
  int32_t sampleRate = 44100;  // fs the times were converted with
  KernelSelection kernels;
  int32_t detectorRelease = 0;  // Q23 envelope release per 4-sample step
  int32_t detectorKeep = 8388608;
  int32_t holdSteps = 0;        // peak hold, in 4-sample steps
  BandCoefficients band[kNumBands];
  int32_t lookaheadSamples = 0;  // 0..kMaxLookaheadSamples
};

// One decibel in octaves, and in log2 Q23 units.
inline constexpr double kDbToLog2 = 0.16609640474436813;  // 0.05 / log10(2)

// The full update: every coefficient from the 49 values in record order (recordSlot) and the
// engine's sample rate in Hz. Every step is read as ParameterSteps.h reads it, the reading the
// host's texts and the editor name too. Values outside 0..1 are accepted: they read as the
// nearest end of their range, and every conversion to an integer saturates, so no value can
// produce an undefined result.
EngineCoefficients mapParameters(const float* recordValues, int32_t sampleRate);

// The pieces of the mapping that the tests and the editor's texts name on their own.
namespace mapping {

// Kernel rate group: the group of the nearest rate in KernelGroupRates (kernelRateGroupFor), so
// every split point lies at its nominal frequency at the group rates and within the ratio of
// the two rates elsewhere.
int32_t rateIndexFor(int32_t sampleRate);
// keep = trunc(exp(-2197.22 / (t * fs)) * 2^23), take = 2^23 - keep; t in milliseconds is the
// 10 %-90 % rise time of the smoother. keep is 0 when t * fs is not above 0.
SmoothingPair smoothingPair(double timeMs, int32_t sampleRate);
// Makeup gain for the gain step g = trunc(501 v + 0.5), 0..501: 0 mutes, 251 is 0 dB,
// each step is 0.1 dB.
int32_t makeupGainForStep(int32_t g);
// Conversion of a double to int32 by truncation toward zero, saturating at the int32 range;
// NaN gives 0.
int32_t truncToInt32(double x);

}  // namespace mapping

}  // namespace kestrane
