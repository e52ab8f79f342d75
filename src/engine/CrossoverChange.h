// The two crossovers of an engine and the change from one to the other while audio runs.
//
// In steady state one crossover is heard and nothing here runs per sample: the engine runs the
// heard crossover's three FIR stages itself and the band path aligns their bands.
//
// A change of kernels (split frequency, slope, rate group) keeps the heard crossover ("old")
// running, starts the other ("new") from silence on the same input, and hands the band path,
// sample by sample, the four band signals already aligned:
//
//   prepare  the old bands are heard; the new filters fill. Both crossovers are brought to the
//            same delay C = max(old delay, new delay): the new bands wait C - new delay samples
//            in their band line (a whole number: exact), and where the new crossover is the
//            longer one the old bands' delay glides from 0 up to C - old delay (the old bands
//            are read from their band line at a delay that grows by 1/16 sample per sample,
//            interpolated by a 16-tap windowed sinc: the music slows by 1/16 for 16 times the
//            difference).
//   fade     both at delay C: the bands cross-fade from old to new over about 15 ms
//            (FadeMilliseconds), a smooth step from 0 to 1 in Q23, the same in every band.
//   settle   only the new bands; where the new crossover is the shorter one their extra delay
//            glides down to 0 (the music runs 1/16 fast for 16 times the difference).
//
// After settle the new crossover is the heard one, its band line is bypassed and the engine's
// plain path resumes: from then on the bands (and so the output) are bit for bit those of an
// instance that had run the new kernels all along, once its filters had filled.
//
// A change that arrives during prepare replaces the new crossover and keeps the old one's glide
// where it is; one that arrives during settle starts from the new crossover and its extra delay
// as they are; one that arrives during the fade waits for its end (at most FadeMilliseconds).
// Nothing jumps: every band signal heard moves on from the sample before it.
//
// Units: samples Q23, delays in samples (band line reads in 1/65536 sample). Threads: every
// function runs on the audio thread, or while no block runs; nothing allocates after
// construction.
#pragma once

#include <array>
#include <cstdint>

#include "engine/BandPath.h"
#include "engine/FirStage.h"
#include "engine/ParameterMapping.h"

namespace kestrane {

// Power of two above the largest difference between two crossovers' delays of one rate group
// plus the interpolator's reach (the crossover tests check every group).
inline constexpr int32_t BandLineLength = 16384;

class CrossoverChange {
 public:
  // The length of the fade, in milliseconds.
  static constexpr int32_t FadeMilliseconds = 15;
  // The band lines' glide: 1/GlideDivisor sample of delay per sample.
  static constexpr int32_t GlideDivisor = 16;

  explicit CrossoverChange(SimdLevel level) noexcept;

  // The crossover heard now (in steady state, the only one): its three FIR stages.
  std::array<FirStage, 3>& heardStages() noexcept { return slot_[heard_].fir; }
  const std::array<FirStage, 3>& heardStages() const noexcept { return slot_[heard_].fir; }

  // A restart: the heard crossover takes `selection` with cleared filters, any change is
  // dropped, and the band path's alignment and lookahead restart from silence.
  void restart(const KernelSelection& selection, BandPathState& path) noexcept;

  // A change to `selection` while audio runs, at `sampleRate` Hz (which times the fade). The
  // band path's alignment rings are taken over for the rest of the change (see run()).
  void begin(const KernelSelection& selection, int32_t sampleRate, BandPathState& path) noexcept;

  // Whether a change is running; while it is, each stretch goes through run().
  bool changing() const noexcept { return phase_ != Phase::Steady || pending_; }

  // One stretch of `frames` (at most BandPathStretch) Q23 input samples per channel through the
  // change: writes the four aligned band signals per channel (bands[b][ch], `frames` each) that
  // the band path then runs with alignment delays of 0. `referencePasses` runs the FIR
  // stages' scalar reference passes instead of their fast ones (the same bits; for the tests'
  // model).
  void run(const std::array<const int32_t*, 2>& input, int32_t frames,
           const std::array<std::array<int32_t*, 2>, kNumBands>& bands, BandPathState& path,
           bool referencePasses) noexcept;
  // After the band path has run the stretch that run() handed it: when the change ended in
  // that stretch, the band path's alignment rings and delays become the new crossover's again,
  // so the next stretch runs the plain path.
  void afterStretch(BandPathState& path) noexcept;

 private:
  enum class Phase { Steady, Prepare, Fade, Settle };

  // One crossover with what a change needs of it.
  struct Slot {
    std::array<FirStage, 3> fir{};
    KernelSelection selection;
    int32_t delay = 0;  // FIR1 + FIR2 + FIR3 delays
    // Its own alignment of LF and LMF during a change (the band path's while it is heard alone).
    std::array<std::array<int32_t, AlignLength>, 2> alignLF{};
    std::array<std::array<int32_t, AlignLength>, 2> alignLMF{};
    int32_t alignPos = 0;
    // The aligned bands once more, [band][channel], read back at `lineDelay` (Q16 samples).
    std::array<std::array<std::array<int32_t, BandLineLength>, 2>, kNumBands> line{};
    int32_t linePos = 0;
    int64_t lineDelay = 0;
    int64_t written = 0;  // samples through this crossover since its change began
  };

  void load(Slot& slot, const KernelSelection& selection) noexcept;
  void startNew(const KernelSelection& selection) noexcept;
  // The aligned bands of one slot over the stretch, into its line; the FIR passes first.
  void runSlot(Slot& slot, const std::array<const int32_t*, 2>& input, int32_t frames,
               bool referencePasses) noexcept;
  void finish(BandPathState& path) noexcept;

  std::array<Slot, 2> slot_;
  int32_t heard_ = 0;  // the slot heard in steady state, and the old one during a change
  Phase phase_ = Phase::Steady;
  int64_t oldTargetDelay = 0;  // Q16: where the old bands' line delay glides to in prepare
  int32_t fadeLength_ = 1;
  int32_t fadePos_ = 0;
  bool pending_ = false;   // a change arrived during the fade
  bool handBack_ = false;  // the change ended in the stretch run() just ran
  KernelSelection pendingSelection_;
  int32_t pendingRate_ = 0;

  // Per-stretch scratch: each filter's low and high outputs, and each slot's aligned bands.
  struct Scratch {
    std::array<std::array<int32_t, BandPathStretch>, 2> low[3];
    std::array<std::array<int32_t, BandPathStretch>, 2> high[3];
  } scratch_{};
};

}  // namespace kestrane
