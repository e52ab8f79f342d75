// The dynamics engine of one plug-in instance: crossover, band dynamics, lookahead and metering,
// all in Q23 fixed point, with the coefficient update that turns the 49 parameter values into
// what the signal path reads.
//
// Threads. Two sides meet here without a lock that the audio thread could wait on:
// - the parameter side (recompute, invalidateKernelSelection, coefficients), called from
//   whatever thread changes a parameter or asks for a display text; these calls are serialised
//   among themselves by a mutex that only parameter-side threads ever take;
// - the audio side (processReplacing), called by the host's audio thread.
// recompute() prepares a complete coefficient set and hands it over; the audio thread adopts
// the newest set at the start of its next block, and a kernel change starts there: the old
// crossover keeps running beside the new one until the bands have crossed over to it
// (CrossoverChange). Called on one thread, this gives exactly the results of updating the
// coefficients in place between blocks and starting each change there.
//
// The object is large (about 1.1 MB of delay lines, and 1.9 MB more on the heap for the two
// crossovers and their change); allocate it on the heap.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/BandPath.h"
#include "engine/CoefficientExchange.h"
#include "engine/CrossoverChange.h"
#include "engine/FirStage.h"
#include "engine/LookupTables.h"
#include "engine/MeterSlots.h"
#include "engine/ParameterMapping.h"

namespace kestrane {

// Meter scale of a Q23 magnitude: 1 + 0.15 * log2 level (1.0 at full scale and above, 0.85 one
// octave below, -1.25 at the table floor).
float meterValue(const LookupTables& tables, uint32_t reading) noexcept;

// The delay of the engine's output behind its input, in samples, when it runs coefficient set
// c: the group delays of the three crossover filters c selects (FIR1 + FIR2 + FIR3) plus the
// lookahead. This is the latency a host compensates. 0 for a set that selects no kernels.
// Pure; any thread.
int32_t outputDelaySamples(const EngineCoefficients& c) noexcept;

class Engine {
 public:
  // The largest block processReplacing accepts.
  static constexpr int32_t kMaxBlockFrames = 65535;

  // Builds the process-wide tables and kernel set on first use (thread-safe). The rate starts
  // at 44100 Hz; nothing is computed until the first recompute(). The audio path runs on the
  // widest instruction set this processor has (detectedSimdLevel()).
  Engine() noexcept;
  // The same on a chosen instruction set (one this processor lacks gives Portable). Every
  // level gives the same bits; tests and benchmarks compare them.
  explicit Engine(SimdLevel level) noexcept;

  // False when the crossovers could not be allocated; such an engine processes nothing and
  // must be discarded (the heap held no 1.9 MB more). Any thread.
  bool valid() const noexcept { return crossovers_ != nullptr; }

  // --- Parameter side -------------------------------------------------------------------------

  // Takes the host's sample rate, truncated to whole Hz. A rate below 1 Hz (or NaN) carries no
  // meaning and is ignored. Any thread; the coefficients follow at the next recompute().
  void setSampleRate(float hostRate) noexcept;
  int32_t sampleRate() const noexcept;

  // The full update: every coefficient from the 49 values in record order (recordSlot) and the
  // current sample rate. When the rate group, a slope or a split frequency differs from the
  // kernels last selected, the next block starts a change to the new kernels: the old
  // crossover stays heard until the new one has filled, then the bands cross-fade to it and the
  // output's delay moves to the new one without a gap (CrossoverChange, some ten to a few
  // hundred milliseconds, longer where the delay moves far).
  void recompute(const float* recordValues) noexcept;

  // Forgets the kernel selection, so the next recompute() reloads and clears the crossover
  // (filters, alignment and lookahead restart from silence, no change runs) even if nothing
  // changed: for a restart of the stream, and once after construction to pick up the host's
  // rate.
  void invalidateKernelSelection() noexcept;

  // The newest coefficient set recompute() produced.
  EngineCoefficients coefficients() const noexcept;

  // outputDelaySamples() of the newest set recompute() produced: the delay every block from
  // the next one on runs with, in samples (0 before the first recompute()). Parameter side,
  // any thread; what the plug-in formats report to their hosts.
  int32_t preparedDelaySamples() const noexcept;

  // --- Meters -------------------------------------------------------------------------------

  // The editor's meter slots, or null when there is no editor (then nothing is published).
  // The slots must outlive the engine or be detached first; any thread.
  void attachMeters(MeterSlots* slots) noexcept;

  // --- Audio side ---------------------------------------------------------------------------

  // Replaces outputs[0..1][0..frames) with the processed inputs[0..1]. hostRate is the host's
  // current sample rate (read for the next recompute). Blocks of zero or negative length, or
  // longer than kMaxBlockFrames, return at once and touch nothing. Inputs and outputs may be the
  // same buffers. Audio thread.
  void processReplacing(const float* const* inputs, float* const* outputs, int32_t frames,
                        float hostRate) noexcept;

  // The kernels the audio side runs with, or changes to (all -1 before the first block after a
  // recompute). Audio thread, or while no block runs.
  KernelSelection loadedKernels() const noexcept { return loaded_; }
  // FIR1.delay + FIR2.delay + FIR3.delay of loadedKernels(): the crossover's share of the
  // output delay, in samples, without the lookahead, once any change has ended. Audio thread,
  // or while no block runs. (The host's latency is preparedDelaySamples().)
  int32_t latencySamples() const noexcept;
  // Whether a crossover change is running. Audio thread, or while no block runs.
  bool crossoverChanging() const noexcept { return crossovers_ && crossovers_->changing(); }
  // A band's detector and smoother state. Audio thread, or while no block runs.
  const BandDynamics& bandDynamics(int32_t band) const noexcept { return path_.dynamics[band]; }
  // The instruction set the audio path runs on.
  SimdLevel simdLevel() const noexcept { return simd_; }

 private:
  struct PublishedSet {
    EngineCoefficients coefficients;
    uint32_t kernelGeneration = 0;   // changes whenever a new kernel selection was made
    uint32_t restartGeneration = 0;  // changes when the selection was made after invalidation
  };

  // Samples the three crossover passes and the band path handle at a time; a longer block runs
  // in stretches of this length with identical results.
  static constexpr int32_t kStretch = 512;

  void adoptNewestCoefficients() noexcept;
  void processStretch(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                      int32_t frames, BlockPeaks& peaks) noexcept;
  void publishMeters(MeterSlots& slots, const BlockPeaks& peaks) const noexcept;

  const LookupTables& tables_;
  const SimdLevel simd_;
  std::atomic<int32_t> engineSampleRate_{44100};
  std::atomic<MeterSlots*> meters_{nullptr};

  // Parameter side.
  mutable std::mutex updateMutex_;
  KernelSelection kernelSelection_;  // what the last recompute selected; all -1 when invalid
  uint32_t kernelGeneration_ = 0;
  uint32_t restartGeneration_ = 0;
  EngineCoefficients latest_;
  LatestValueExchange<PublishedSet> exchange_;

  // Audio side.
  uint32_t loadedGeneration_ = 0;
  uint32_t loadedRestart_ = 0;
  KernelSelection loaded_;
  // The two crossovers (the heard one's FIR stages run here in steady state) and the change
  // between them; made with the engine, never on the audio thread.
  std::unique_ptr<CrossoverChange> crossovers_;
  BandPathState path_{};
  // Per-stretch scratch: the Q23 input and the low and high outputs of each filter, per
  // channel.
  struct Scratch {
    alignas(64) std::array<std::array<int32_t, kStretch>, 2> input;
    alignas(64) std::array<std::array<int32_t, kStretch>, 2> low[3];
    alignas(64) std::array<std::array<int32_t, kStretch>, 2> high[3];
    // During a crossover change: the four aligned bands the change hands the band path.
    alignas(64) std::array<std::array<int32_t, kStretch>, 2> changed[kNumBands];
  } scratch_{};
  BandPathScratch bandScratch_{};
};

}  // namespace kestrane
