#include "engine/ParameterMapping.h"

#include <cmath>
#include <cstdint>

#include "params/ParameterSteps.h"
#include "params/StepTables.h"

namespace kestrane {
namespace mapping {

int32_t truncToInt32(double x) {
  if (!(x == x)) return 0;  // NaN
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
}

int32_t rateIndexFor(int32_t sampleRate) { return kernelRateGroupFor(sampleRate); }

SmoothingPair smoothingPair(double timeMs, int32_t sampleRate) {
  // A one-pole filter reaches 90 % from 10 % after ln 9 time constants: with 2197.22 =
  // 1000 * ln 9, the rise time is t milliseconds.
  const double samples = timeMs * sampleRate;
  SmoothingPair pair;
  pair.keep = samples > 0.0 ? truncToInt32(std::exp(-2197.22 / samples) * 8388608.0) : 0;
  pair.take = 8388608 - pair.keep;
  return pair;
}

int32_t makeupGainForStep(int32_t g) {
  if (g == 0) return 0;
  return truncToInt32(std::pow(10.0, (g - 251) * 0.005) * 8388608.0);
}

}  // namespace mapping

EngineCoefficients mapParameters(const float* recordValues, int32_t sampleRate) {
  using mapping::truncToInt32;
  // Every step below is read by the same rules as the host's texts and the editor's readouts.
  auto value = [recordValues](int32_t id) -> float { return recordValues[recordSlot(id)]; };
  const double fs = sampleRate;
  const double thresholdScale = 8388608.0 * kDbToLog2;  // log2 Q23 units per dB

  EngineCoefficients c;
  c.sampleRate = sampleRate;

  // Rate group and detector constants: the envelope falls by about 1 - 384/fs per 4-sample
  // step (a 1/96 s time constant at every rate) after a 15 ms hold.
  c.kernels.rateIndex = mapping::rateIndexFor(sampleRate);
  c.detectorRelease = truncToInt32(96.0 / fs * 8388608.0 * 4.0);
  c.detectorKeep = static_cast<int32_t>(8388608 - static_cast<int64_t>(c.detectorRelease));
  c.holdSteps = truncToInt32(fs * 0.015 * 0.25);

  // Crossover selection. Slopes and frequencies round to the nearest step.
  for (int32_t k = 0; k < 3; ++k) {
    c.kernels.slopeIndex[k] = steps::slope(value(Fir1Slope + k));
    c.kernels.freqIndex[k] = steps::frequency(value(Fir1Freq + k));
  }

  // Per band: the enable switch, then makeup gain and the two thresholds. Thresholds truncate
  // the plain product, so a value a hair below a step reads as the step below.
  for (int32_t b = 0; b < kNumBands; ++b) {
    BandCoefficients& band = c.band[b];
    if (steps::switchOn(value(EnableLF + b))) {
      band.makeupGain = mapping::makeupGainForStep(steps::gain(value(GainLF + b)));
      const int32_t compDb = steps::compThreshDb(value(CompThreshLF + b));
      band.compThresh = truncToInt32(compDb * thresholdScale);
      const int32_t expDb = steps::expThreshDb(value(ExpThreshLF + b));
      band.expThresh =
          expDb == steps::kExpanderOffDb ? kExpanderOff : truncToInt32(thresholdScale * expDb);
    } else {
      // A disabled band passes at unity: no makeup, a compressor threshold above every
      // detected level (at most -369) and an expander threshold below every one.
      band.makeupGain = 8388608;
      band.compThresh = 0;
      band.expThresh = kExpanderOff;
    }
  }

  auto ratioStep = [&](int32_t id) { return RatioSteps[steps::ratio(value(id))]; };
  auto attackPair = [&](int32_t id) {
    const double ms = AttackSteps[steps::attack(value(id))] * 0.1;
    return mapping::smoothingPair(ms, sampleRate);
  };
  auto releasePair = [&](int32_t id) {
    const double ms = ReleaseSteps[steps::release(value(id))] * 10.0;
    return mapping::smoothingPair(ms, sampleRate);
  };

  // Ratios are stored times ten: the expander factor is ratio - 1, the compressor factor
  // 1 - 1/ratio.
  for (int32_t b = 0; b < kNumBands; ++b) {
    c.band[b].expFactor = truncToInt32((ratioStep(ExpRatioLF + b) * 0.1 - 1.0) * 8388608.0);
  }
  for (int32_t b = 0; b < kNumBands; ++b) c.band[b].expAttack = attackPair(ExpAttackLF + b);
  for (int32_t b = 0; b < kNumBands; ++b) c.band[b].expRelease = releasePair(ExpReleaseLF + b);
  for (int32_t b = 0; b < kNumBands; ++b) {
    const double r = ratioStep(CompRatioLF + b);
    c.band[b].compFactor = truncToInt32((1.0 + (1.0 / r) * -10.0) * 8388608.0);
  }
  for (int32_t b = 0; b < kNumBands; ++b) c.band[b].compAttack = attackPair(CompAttackLF + b);
  for (int32_t b = 0; b < kNumBands; ++b) c.band[b].compRelease = releasePair(CompReleaseLF + b);

  // Lookahead: whole milliseconds, truncated like the thresholds.
  if (steps::switchOn(value(EnableLookahead))) {
    const int32_t ms = steps::lookaheadMs(value(Lookahead));
    const int32_t samples = truncToInt32(fs * (ms * 0.001));
    c.lookaheadSamples = samples < 0                      ? 0
                         : samples > kMaxLookaheadSamples ? kMaxLookaheadSamples
                                                          : samples;
  } else {
    c.lookaheadSamples = 0;
  }
  return c;
}

}  // namespace kestrane
