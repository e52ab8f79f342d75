// The per-sample part of the block: band alignment, lookahead, detector capture, gain computer
// and smoother, band gains, the sum back to stereo and the block's meter readings.
//
// It runs after the three crossover passes of a stretch of samples, on the audio thread.
#pragma once

#include <array>
#include <cstdint>

#include "engine/Dynamics.h"
#include "engine/LookupTables.h"
#include "engine/ParameterMapping.h"
#include "engine/SimdLevel.h"

namespace kestrane {

// Powers of two. The alignment rings exceed the longest FIR2.delay + FIR3.delay of any rate
// group (3940 at 176.4 and 192 kHz; the crossover tests check every pair of records).
inline constexpr int32_t AlignLength = 4096;
inline constexpr int32_t LookaheadLength = 32768;  // > kMaxLookaheadSamples
static_assert(LookaheadLength > kMaxLookaheadSamples, "the lookahead never wraps the ring");

// The delay lines and dynamics state between the crossover and the output.
struct BandPathState {
  // LF waits FIR2.delay + FIR3.delay samples and LMF FIR3.delay samples behind the crossover,
  // so that all four bands carry the same total delay. The rings share one write position
  // per band pair; left and right are rings 0 and 1.
  std::array<std::array<int32_t, AlignLength>, 2> alignLF{};
  std::array<std::array<int32_t, AlignLength>, 2> alignLMF{};
  int32_t alignPosLF = 0;
  int32_t alignPosLMF = 0;
  int32_t alignDelayLF = 0;
  int32_t alignDelayLMF = 0;

  // Lookahead rings per band (LF, LMF, HMF, HF) and channel, one shared write position.
  std::array<std::array<std::array<int32_t, LookaheadLength>, 2>, kNumBands> lookahead{};
  int32_t lookaheadPos = 0;
  // How many slots just behind lookaheadPos hold band signals of the kernels loaded now (or
  // the silence they start from), up to the rings' length; the older slots hold audio of the
  // kernels before, which must never reach the output.
  int32_t lookaheadFresh = LookaheadLength;

  int32_t subBlockPhase = 0;  // position inside the current 4-sample detector step
  std::array<BandDynamics, kNumBands> dynamics{};

  // A kernel change: the alignment rings restart from silence with the new delays, and the
  // lookahead rings' position restarts with nothing in them fresh (see silenceStaleLookahead).
  void restartAfterKernelChange(int32_t delayLF, int32_t delayLMF) noexcept;

  // Before the band path runs `frames` samples with a lookahead of `lookaheadSamples`: the
  // ring slots those samples would read from before the last kernel change are set to 0, so
  // that the delayed bands start from silence like the filters, then the frames count as
  // fresh. Clears nothing once lookaheadSamples of fresh samples are behind the position
  // (always, in steady state), and at most lookaheadSamples slots per ring after a change or a
  // longer lookahead. Audio thread, before directSlots() for the same stretch.
  void silenceStaleLookahead(int32_t lookaheadSamples, int32_t frames) noexcept;
};

// Peak readings of one block, unsigned magnitudes in Q23, all 0 at the start of a block.
struct BlockPeaks {
  std::array<uint32_t, 2> input{};
  std::array<uint32_t, kNumBands> bandLevel{};   // band input to the detector
  std::array<uint32_t, kNumBands> bandOutput{};  // band after makeup and gain
  std::array<uint32_t, 2> output{};
  std::array<uint32_t, kNumBands> bandGain{};    // largest smoothed gain
};

// The crossover outputs of a stretch of samples, per channel (0 left, 1 right).
struct BandSplit {
  std::array<const int32_t*, 2> lowFir1;   // LF before alignment
  std::array<const int32_t*, 2> lowFir2;   // LMF before alignment
  std::array<const int32_t*, 2> lowFir3;   // HMF
  std::array<const int32_t*, 2> highFir3;  // HF
};

// The plain scalar band path over `frames` samples: writes output[c][i] (host floats) and
// raises the block peaks. Faster versions must match it bit for bit.
void runBandPathReference(BandPathState& state, const EngineCoefficients& coefficients,
                          const LookupTables& tables, const BandSplit& split,
                          const std::array<float*, 2>& output, int32_t frames,
                          BlockPeaks& peaks) noexcept;

// Samples the fast band path works on at a time; longer calls run in pieces of this length.
inline constexpr int32_t BandPathStretch = 512;

// Working arrays of the fast band path. They carry nothing from one call to the next; the
// owner (the engine) keeps them only so that the audio thread's stack stays small.
struct BandPathScratch {
  using Samples = std::array<int32_t, BandPathStretch>;
  std::array<std::array<Samples, 2>, 2> aligned;           // LF and LMF after alignment
  // Per band max(|left|, |right|), the stretch's samples from DetectorLead on; the lead holds
  // the three samples before the stretch (the gain computer's step reaches back over them).
  static constexpr int32_t DetectorLead = 4;
  std::array<std::array<int32_t, DetectorLead + BandPathStretch>, kNumBands> detector;
  std::array<Samples, kNumBands> gain;                     // smoothed gain per band
  // The gain computer's targets of every 4-sample step of the stretch, the four bands side by
  // side (the smoother takes a step's four at once).
  std::array<std::array<GainTarget, kNumBands>, BandPathStretch / 4 + 1> targets;
};

// Where the crossover may write a stretch's band signals straight into the band path's delay
// lines, saving the copy: LF and LMF into their alignment rings, HMF and HF into their
// lookahead rings, per channel, at the slots the stretch takes there. A band gets slots only
// where its stretch lies in one piece of the ring and writing it before the stretch runs cannot
// overwrite a slot the stretch still reads (its delay is at most the ring's length less the
// stretch); otherwise null, and the signal goes anywhere else. runBandPath() finds a signal
// already in place by its address and leaves it there. Audio thread, just before runBandPath()
// over the same `frames` with the same lookahead.
struct BandSlots {
  std::array<std::array<int32_t*, 2>, kNumBands> band{};  // [band][channel], or null
};
BandSlots directSlots(BandPathState& state, int32_t frames, int32_t lookaheadSamples) noexcept;

// The band path as the engine runs it, with the same results, state and peaks as
// runBandPathReference. Instead of one sample through every step, each step runs over the
// whole stretch: the delay lines as block copies (read in place where that is safe), the
// detector inputs, the dynamics (the only part that must go sample by sample), then the gains,
// sum and output in vectors of `level`.
void runBandPath(BandPathState& state, const EngineCoefficients& coefficients,
                 const LookupTables& tables, const BandSplit& split,
                 const std::array<float*, 2>& output, int32_t frames, BlockPeaks& peaks,
                 BandPathScratch& scratch, SimdLevel level) noexcept;

// Unsigned magnitude of a Q23 sample (|INT32_MIN| is 2^31).
inline uint32_t magnitude(int32_t x) noexcept {
  return x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
}

}  // namespace kestrane
