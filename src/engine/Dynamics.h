// One band's level detector, gain computer and gain smoother.
//
// The detector is a stereo-linked peak detector with hold and exponential release, evaluated
// once per 4-sample step; the gain computer works on log2 levels with hard knees and picks, by
// the direction the gain has to move, one of the band's four time-constant pairs; the smoother
// is a one-pole filter that runs every sample. All of it runs on the audio thread, in Q23.
#pragma once

#include <array>
#include <cstdint>

#include "engine/FixedPoint.h"
#include "engine/LookupTables.h"
#include "engine/ParameterMapping.h"

namespace kestrane {

// A target this close to the current gain (0.001) keeps the active time-constant pair.
inline constexpr int32_t kGainHysteresis = 8388;

// The detector and smoother state of one band. Set once when the engine is built; never reset
// by parameter, kernel or program changes.
struct BandDynamics {
  std::array<int32_t, 4> peakSlots{};  // channel-maximum magnitude of the last 4 samples
  int32_t envelope = 0;                // peak-hold envelope, Q23
  int32_t holdCount = 0;               // 4-sample steps since the envelope last rose
  int32_t targetGain = 0;              // gain-computer output, Q23
  int32_t smoothedGain = Q23One;       // smoother state, Q23
  int32_t currentGain = 0;             // gain of the last sample, Q23
  int32_t activeKeep = 0;              // weight of the previous gain in the smoother
  int32_t activeTake = Q23One;         // weight of the target
  int32_t bandMode = 0;                // 0: last in the compressor region, 1: expander region
};

// The gain computer, once per 4-sample step, after the step's four peaks are captured.
// detectorKeep and holdSteps are the rate-dependent detector constants.
inline void runGainComputer(BandDynamics& d, const BandCoefficients& c, int32_t detectorKeep,
                            int32_t holdSteps, const LookupTables& tables) noexcept {
  // Peak with hold, then exponential release.
  int32_t m4 = d.peakSlots[0];
  for (int32_t k = 1; k < 4; ++k) m4 = d.peakSlots[k] > m4 ? d.peakSlots[k] : m4;
  if (m4 >= d.envelope) {
    d.envelope = m4;
    d.holdCount = 0;
  } else if (d.holdCount >= holdSteps) {
    d.envelope = mulQ23(d.envelope, detectorKeep);
  }
  // Once past any hold time the exact count no longer matters; stopping at the top keeps a
  // silence of days from wrapping it round to a new hold.
  if (d.holdCount < INT32_MAX) ++d.holdCount;

  // Level in log2 Q23: at most -369 (just below full scale), at least the table floor.
  const int32_t env = d.envelope < 0 ? 0 : (d.envelope > Q23One - 1 ? Q23One - 1 : d.envelope);
  const int32_t level = tables.log2Table[static_cast<std::size_t>(env >> 8)];

  const int32_t lo = d.currentGain - kGainHysteresis;
  const int32_t hi = d.currentGain + kGainHysteresis;
  auto choose = [&d](const SmoothingPair& p) {
    d.activeKeep = p.keep;
    d.activeTake = p.take;
  };

  if (level >= c.compThresh) {
    // Above the compressor threshold: the over-threshold level times 1 - 1/ratio.
    d.bandMode = 0;
    const int32_t reduction = mulQ23(level - c.compThresh, c.compFactor);
    d.targetGain = tables.gainFromReduction(reduction);
    if (d.targetGain < lo) {
      choose(c.compAttack);
    } else if (d.targetGain >= hi) {
      choose(c.compRelease);
    }
  } else if (level <= c.expThresh) {
    // Below the expander threshold: the under-threshold level times ratio - 1, in 64 bits
    // (it may pass 30 octaves, which mutes the band).
    d.bandMode = 1;
    const int64_t reduction = (static_cast<int64_t>(c.expThresh - level) * c.expFactor) >> 23;
    d.targetGain = tables.gainFromReduction(reduction);
    if (d.targetGain < lo) {
      choose(c.expRelease);
    } else if (d.targetGain >= hi) {
      choose(c.expAttack);
    }
  } else {
    // Between the thresholds: unity, with the last pair and mode kept.
    d.targetGain = Q23One;
  }
}

// The smoother, every sample, after the gain computer: one pole between the previous gain and
// the target.
inline void runSmoother(BandDynamics& d) noexcept {
  const int32_t g = wrapAdd(mulQ23(d.activeKeep, d.smoothedGain), mulQ23(d.activeTake, d.targetGain));
  d.smoothedGain = g;
  d.currentGain = g;
}

}  // namespace kestrane
