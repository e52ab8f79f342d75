// Which step a stored parameter value selects: the one reading of a value that the engine runs
// with, the editor shows and the host's texts name. Keeping it in one place is what makes the
// three agree for every value, including the many stored floats that lie a hair below a step
// boundary (0.7f is 0.699999988). Pure inline functions; callable from any thread.
//
// A step is cut from the product of the stored 32-bit float and the step count, formed in double
// precision (exact for every float in 0..1). Two readings are in use, fixed per quantity here:
//   - nearest step, halves up (trunc(v x last + 0.5)): slopes, split frequencies, gains, ratios,
//     attack and release times;
//   - step at or below (trunc(v x last)): the thresholds and the lookahead time, so a value just
//     under a whole dB or millisecond stays on the lower one.
// A value outside 0..1 reads as the nearest end of its range, NaN as step 0, so no reading ever
// indexes past a step table.
#pragma once

#include <cstdint>

namespace kestrane::steps {

inline constexpr int32_t kLastSlope = 3;         // 6, 12, 18, 24 dB per octave
inline constexpr int32_t kLastFrequency = 10;    // each split point offers 11 frequencies
inline constexpr int32_t kLastRatio = 36;        // RatioSteps, whole (the last is 50:1)
inline constexpr int32_t kLastAttack = 97;       // AttackSteps up to 100 ms
inline constexpr int32_t kLastRelease = 62;      // ReleaseSteps up to 5 s
inline constexpr int32_t kGainSteps = 501;       // tenths of a dB; step 0 mutes the band
inline constexpr int32_t kGainUnityStep = 251;   // 0 dB
inline constexpr int32_t kCompThreshSteps = 40;  // whole dB, -40..0
inline constexpr int32_t kExpThreshSteps = 51;   // whole dB, -50..0, and "off" below
inline constexpr int32_t kLookaheadSteps = 100;  // whole milliseconds

// x cut toward zero and limited to 0..last; NaN gives 0.
inline int32_t clampedStep(double x, int32_t last) {
  if (!(x > 0.0)) return 0;
  if (x >= last) return last;
  return static_cast<int32_t>(x);
}

// The nearest of the steps 0..last to v x last, halves up.
inline int32_t nearest(float v, int32_t last) {
  return clampedStep(static_cast<double>(v) * last + 0.5, last);
}

// The step at or below v x last, limited to 0..last.
inline int32_t atOrBelow(float v, int32_t last) {
  return clampedStep(static_cast<double>(v) * last, last);
}

// How one quantity is read: its last step, and whether v selects the nearest step (halves up)
// or the one at or below.
struct Reading {
  int32_t last;
  bool nearest;
};
inline constexpr Reading kSlopeReading{kLastSlope, true};
inline constexpr Reading kFrequencyReading{kLastFrequency, true};
inline constexpr Reading kGainReading{kGainSteps, true};
inline constexpr Reading kRatioReading{kLastRatio, true};
inline constexpr Reading kAttackReading{kLastAttack, true};
inline constexpr Reading kReleaseReading{kLastRelease, true};
inline constexpr Reading kCompThreshReading{kCompThreshSteps, false};
inline constexpr Reading kExpThreshReading{kExpThreshSteps, false};
inline constexpr Reading kLookaheadReading{kLookaheadSteps, false};

// The step 0..r.last that v selects.
inline int32_t step(float v, Reading r) {
  return r.nearest ? nearest(v, r.last) : atOrBelow(v, r.last);
}

// Crossover slope 0..3 (6 dB per octave times step + 1).
inline int32_t slope(float v) { return step(v, kSlopeReading); }
// Split frequency step 0..10; split point k sits at CrossoverFreqSteps[step + k].
inline int32_t frequency(float v) { return step(v, kFrequencyReading); }
// Makeup gain step 0..501: 0 mutes, otherwise step - 251 tenths of a dB.
inline int32_t gain(float v) { return step(v, kGainReading); }
// Entry of RatioSteps, 0..36.
inline int32_t ratio(float v) { return step(v, kRatioReading); }
// Entry of AttackSteps, 0..97.
inline int32_t attack(float v) { return step(v, kAttackReading); }
// Entry of ReleaseSteps, 0..62.
inline int32_t release(float v) { return step(v, kReleaseReading); }
// Compressor threshold in whole dB, -40..0.
inline int32_t compThreshDb(float v) { return step(v, kCompThreshReading) - kCompThreshSteps; }
// Expander threshold in whole dB, -51..0; -51 turns the expander off.
inline int32_t expThreshDb(float v) { return step(v, kExpThreshReading) - kExpThreshSteps; }
inline constexpr int32_t kExpanderOffDb = -kExpThreshSteps;
// Lookahead time in whole milliseconds, 0..100.
inline int32_t lookaheadMs(float v) { return step(v, kLookaheadReading); }
// A band or lookahead switch is on for every value but exactly 0 (NaN and negatives included):
// a host that writes a tiny or odd value never silently turns a band off.
inline bool switchOn(float v) { return v != 0.0f; }
// The editor page of the display mode: only a full 1 selects the expander page (1).
inline int32_t page(float v) { return v >= 1.0f ? 1 : 0; }

}  // namespace kestrane::steps
