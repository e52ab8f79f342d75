// What turns one band's signal into the gain applied to it, in three stages.
//
// The detector follows the louder of the two channels, so both are turned down together and the
// stereo image stays put; it holds a peak for a moment and then lets it go exponentially, and it
// looks only once every four samples, which is plenty for a control signal. The gain computer
// compares that level with the thresholds in octaves (log2), where applying a ratio is a single
// multiplication, and chooses attack or release from whether the gain has to fall or rise. The
// smoother eases the applied gain towards the target one sample at a time, so that a jump of
// the target never reaches the audio as a click. Audio thread; Q23 throughout.
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

// The gain computer, in the pieces that the fast band path runs apart (runGainComputer below
// is their composition): the envelope and the target depend only on the detector input and
// may be worked out ahead for a whole stretch; only the choice of time constants depends on
// the gain, and so on the smoother's progress.

// The peak of the step with hold, then exponential release. detectorKeep and holdSteps are
// the rate-dependent detector constants.
inline void followEnvelope(BandDynamics& d, int32_t m4, int32_t detectorKeep,
                           int32_t holdSteps) noexcept {
  if (m4 >= d.envelope) {
    d.envelope = m4;
    d.holdCount = 0;
  } else if (d.holdCount >= holdSteps) {
    d.envelope = mulQ23(d.envelope, detectorKeep);
  }
  // Once past any hold time the exact count no longer matters; stopping at the top keeps a
  // silence of days from wrapping it round to a new hold.
  if (d.holdCount < INT32_MAX) ++d.holdCount;
}

// The envelope's level in log2 Q23: at most -369 (just below full scale), at least the floor.
inline int32_t envelopeLevel(const LookupTables& tables, int32_t envelope) noexcept {
  const int32_t env = envelope < 0 ? 0 : (envelope > Q23One - 1 ? Q23One - 1 : envelope);
  return tables.log2Table[static_cast<std::size_t>(env >> 8)];
}

// Where a level falls and the gain the band is pulled towards there.
enum class GainRegion : int32_t { Compressor, Expander, Between };
struct GainTarget {
  int32_t gain;  // Q23
  GainRegion region;
};

inline GainTarget gainTarget(const BandCoefficients& c, int32_t level,
                             const LookupTables& tables) noexcept {
  if (level >= c.compThresh) {
    // Above the compressor threshold: the over-threshold level times 1 - 1/ratio.
    const int32_t reduction = mulQ23(level - c.compThresh, c.compFactor);
    return {tables.gainFromReduction(reduction), GainRegion::Compressor};
  }
  if (level <= c.expThresh) {
    // Below the expander threshold: the under-threshold level times ratio - 1, in 64 bits
    // (it may pass 30 octaves, which mutes the band).
    const int64_t reduction = (static_cast<int64_t>(c.expThresh - level) * c.expFactor) >> 23;
    return {tables.gainFromReduction(reduction), GainRegion::Expander};
  }
  // Between the thresholds: unity.
  return {Q23One, GainRegion::Between};
}

// Takes the target and, by the direction the gain must move (beyond the hysteresis window
// around currentGain), the time constants: falling gain attacks in the compressor region and
// releases in the expander's; between the thresholds the pair and the mode stay.
inline void adoptTarget(BandDynamics& d, const BandCoefficients& c, GainTarget t) noexcept {
  const int32_t lo = d.currentGain - kGainHysteresis;
  const int32_t hi = d.currentGain + kGainHysteresis;
  auto choose = [&d](const SmoothingPair& p) {
    d.activeKeep = p.keep;
    d.activeTake = p.take;
  };
  d.targetGain = t.gain;
  if (t.region == GainRegion::Compressor) {
    d.bandMode = 0;
    if (t.gain < lo) {
      choose(c.compAttack);
    } else if (t.gain >= hi) {
      choose(c.compRelease);
    }
  } else if (t.region == GainRegion::Expander) {
    d.bandMode = 1;
    if (t.gain < lo) {
      choose(c.expRelease);
    } else if (t.gain >= hi) {
      choose(c.expAttack);
    }
  }
}

// The gain computer, once per 4-sample step, after the step's four peaks are captured.
inline void runGainComputer(BandDynamics& d, const BandCoefficients& c, int32_t detectorKeep,
                            int32_t holdSteps, const LookupTables& tables) noexcept {
  int32_t m4 = d.peakSlots[0];
  for (int32_t k = 1; k < 4; ++k) m4 = d.peakSlots[k] > m4 ? d.peakSlots[k] : m4;
  followEnvelope(d, m4, detectorKeep, holdSteps);
  adoptTarget(d, c, gainTarget(c, envelopeLevel(tables, d.envelope), tables));
}

// The smoother, every sample, after the gain computer: one pole between the previous gain and
// the target.
inline void runSmoother(BandDynamics& d) noexcept {
  const int32_t g = wrapAdd(mulQ23(d.activeKeep, d.smoothedGain), mulQ23(d.activeTake, d.targetGain));
  d.smoothedGain = g;
  d.currentGain = g;
}

}  // namespace kestrane
