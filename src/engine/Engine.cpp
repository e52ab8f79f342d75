#include "engine/Engine.h"

#include <new>

#include "engine/BlockKernels.h"
#include "engine/CrossoverKernels.h"
#include "engine/SampleConversion.h"

namespace kestrane {

float meterValue(const LookupTables& tables, uint32_t reading) noexcept {
  const int32_t level = reading > static_cast<uint32_t>(Q23One)
                            ? 0
                            : tables.toLog2Q23(static_cast<int32_t>(reading));
  return static_cast<float>(1.0 + 0.15 * level * (1.0 / 8388608.0));
}

namespace {

// FIR1.delay + FIR2.delay + FIR3.delay of the kernels a selection names, in samples; 0 for a
// selection of no kernels.
int32_t crossoverDelaySamples(const KernelSelection& selection) noexcept {
  if (selection.rateIndex < 0) return 0;
  const CrossoverKernelSet& kernels = crossoverKernels();
  int32_t delay = 0;
  for (int32_t k = 0; k < 3; ++k) {
    delay += kernelDelay(kernels.records[static_cast<std::size_t>(selection.recordIndex(k))]);
  }
  return delay;
}

}  // namespace

int32_t outputDelaySamples(const EngineCoefficients& c) noexcept {
  if (c.kernels.rateIndex < 0) return 0;
  return crossoverDelaySamples(c.kernels) + c.lookaheadSamples;
}

Engine::Engine() noexcept : Engine(detectedSimdLevel()) {}

Engine::Engine(SimdLevel level) noexcept
    : tables_(lookupTables()),
      simd_(usableSimdLevel(level)),
      crossovers_(new (std::nothrow) CrossoverChange(simd_)) {
  crossoverKernels();
  static_assert(kStretch == BandPathStretch, "a change runs the band path's stretches");
}

// --- Parameter side -----------------------------------------------------------------------------

void Engine::setSampleRate(float hostRate) noexcept {
  if (!(hostRate >= 1.0f)) return;
  engineSampleRate_.store(mapping::truncToInt32(hostRate), std::memory_order_relaxed);
}

int32_t Engine::sampleRate() const noexcept {
  return engineSampleRate_.load(std::memory_order_relaxed);
}

void Engine::recompute(const float* recordValues) noexcept {
  std::lock_guard<std::mutex> lock(updateMutex_);
  const EngineCoefficients c = mapParameters(recordValues, sampleRate());
  if (c.kernels != kernelSelection_) {
    // After an invalidation (or before any selection) nothing is heard that a change could
    // start from: the filters restart from silence.
    if (kernelSelection_.rateIndex < 0) ++restartGeneration_;
    kernelSelection_ = c.kernels;
    ++kernelGeneration_;
  }
  latest_ = c;
  PublishedSet& set = exchange_.writeSlot();
  set.coefficients = c;
  set.kernelGeneration = kernelGeneration_;
  set.restartGeneration = restartGeneration_;
  exchange_.publish();
}

void Engine::invalidateKernelSelection() noexcept {
  std::lock_guard<std::mutex> lock(updateMutex_);
  kernelSelection_ = KernelSelection{};
}

EngineCoefficients Engine::coefficients() const noexcept {
  std::lock_guard<std::mutex> lock(updateMutex_);
  return latest_;
}

int32_t Engine::preparedDelaySamples() const noexcept {
  return outputDelaySamples(coefficients());
}

void Engine::attachMeters(MeterSlots* slots) noexcept {
  meters_.store(slots, std::memory_order_release);
}

// --- Audio side ---------------------------------------------------------------------------------

int32_t Engine::latencySamples() const noexcept { return crossoverDelaySamples(loaded_); }

void Engine::adoptNewestCoefficients() noexcept {
  if (!exchange_.adopt()) return;
  const PublishedSet& set = exchange_.current();
  if (set.kernelGeneration == loadedGeneration_) return;

  // New kernels. After an invalidation every filter restarts from silence, and so do the
  // alignment rings that pair the bands up behind them and the lookahead behind those;
  // otherwise the change runs beside the old crossover (CrossoverChange).
  loadedGeneration_ = set.kernelGeneration;
  const bool restart = set.restartGeneration != loadedRestart_ || loaded_.rateIndex < 0;
  loadedRestart_ = set.restartGeneration;
  loaded_ = set.coefficients.kernels;
  if (restart) {
    crossovers_->restart(loaded_, path_);
  } else {
    crossovers_->begin(loaded_, set.coefficients.sampleRate, path_);
  }
}

void Engine::processReplacing(const float* const* inputs, float* const* outputs, int32_t frames,
                              float hostRate) noexcept {
  if (frames <= 0 || frames > kMaxBlockFrames || !crossovers_) return;
  if (inputs == nullptr || outputs == nullptr) return;
  if (!inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;

  setSampleRate(hostRate);
  adoptNewestCoefficients();

  BlockPeaks peaks;
  for (int32_t done = 0; done < frames;) {
    const int32_t n = frames - done < kStretch ? frames - done : kStretch;
    processStretch(inputs[0] + done, inputs[1] + done, outputs[0] + done, outputs[1] + done, n,
                   peaks);
    done += n;
  }

  if (MeterSlots* slots = meters_.load(std::memory_order_acquire)) publishMeters(*slots, peaks);
}

void Engine::processStretch(const float* inLeft, const float* inRight, float* outLeft,
                            float* outRight, int32_t frames, BlockPeaks& peaks) noexcept {
  Scratch& s = scratch_;

  // The whole stretch of input is read before any output is written, so the host may process
  // in place.
  const auto toQ23 = simd_ == SimdLevel::Avx2 ? floatsToQ23Avx2 : floatsToQ23Portable;
  toQ23(inLeft, s.input[0].data(), frames, peaks.input[0]);
  toQ23(inRight, s.input[1].data(), frames, peaks.input[1]);

  // Where the four band signals go: straight into the band path's delay lines where it offers
  // their slots, else into the scratch. Filter k's low output is band k (LF, LMF, HMF); FIR3's
  // high output is HF.
  const EngineCoefficients& coefficients = exchange_.current().coefficients;
  path_.silenceStaleLookahead(coefficients.lookaheadSamples, frames);
  if (crossovers_->changing()) {
    // Both crossovers run; the change hands the band path its four bands already aligned.
    std::array<std::array<int32_t*, 2>, kNumBands> changed;
    for (std::size_t b = 0; b < kNumBands; ++b) {
      for (std::size_t ch = 0; ch < 2; ++ch) changed[b][ch] = s.changed[b][ch].data();
    }
    crossovers_->run({s.input[0].data(), s.input[1].data()}, frames, changed, path_, false);
    const BandSplit split{{changed[BandLF][0], changed[BandLF][1]},
                          {changed[BandLMF][0], changed[BandLMF][1]},
                          {changed[BandHMF][0], changed[BandHMF][1]},
                          {changed[BandHF][0], changed[BandHF][1]}};
    runBandPath(path_, coefficients, tables_, split, {outLeft, outRight}, frames, peaks,
                bandScratch_, simd_);
    crossovers_->afterStretch(path_);
    return;
  }

  const BandSlots slots = directSlots(path_, frames, coefficients.lookaheadSamples);
  std::array<std::array<int32_t*, 2>, kNumBands> band;
  for (std::size_t b = 0; b < kNumBands; ++b) {
    for (std::size_t ch = 0; ch < 2; ++ch) {
      int32_t* scratch = b < 3 ? s.low[b][ch].data() : s.high[2][ch].data();
      band[b][ch] = slots.band[b][ch] != nullptr ? slots.band[b][ch] : scratch;
    }
  }

  // The crossover cascade, one filter at a time over the stretch: FIR1 splits the input, FIR2
  // its high output, FIR3 FIR2's high output.
  std::array<FirStage, 3>& fir = crossovers_->heardStages();
  const std::array<int32_t, kStretch>* source = s.input.data();
  for (std::size_t k = 0; k < 3; ++k) {
    FirPassBuffers buffers;
    for (std::size_t ch = 0; ch < 2; ++ch) {
      buffers.input[ch] = source[ch].data();
      buffers.low[ch] = band[k][ch];
      buffers.high[ch] = k == 2 ? band[BandHF][ch] : s.high[k][ch].data();
    }
    fir[k].runPass(buffers, frames);
    source = s.high[k].data();
  }

  BandSplit split;
  for (std::size_t ch = 0; ch < 2; ++ch) {
    split.lowFir1[ch] = band[BandLF][ch];
    split.lowFir2[ch] = band[BandLMF][ch];
    split.lowFir3[ch] = band[BandHMF][ch];
    split.highFir3[ch] = band[BandHF][ch];
  }
  runBandPath(path_, coefficients, tables_, split, {outLeft, outRight}, frames, peaks,
              bandScratch_, simd_);
}

void Engine::publishMeters(MeterSlots& slots, const BlockPeaks& peaks) const noexcept {
  // Level slots only ever rise here; the editor lowers them.
  auto raise = [&](MeterLevel slot, uint32_t reading) {
    const float v = meterValue(tables_, reading);
    if (slots.level[slot].load(std::memory_order_relaxed) < v) {
      slots.level[slot].store(v, std::memory_order_relaxed);
      slots.levelFresh[slot].store(1, std::memory_order_relaxed);
    }
  };
  raise(LevelInputLeft, peaks.input[0]);
  raise(LevelInputRight, peaks.input[1]);
  for (int32_t b = kNumBands - 1; b >= 0; --b) raise(bandInLevel(b), peaks.bandLevel[b]);
  raise(LevelOutputLeft, peaks.output[0]);
  raise(LevelOutputRight, peaks.output[1]);
  for (int32_t b = kNumBands - 1; b >= 0; --b) raise(bandOutLevel(b), peaks.bandOutput[b]);

  // Gain-reduction slots are written every block, with the region that governs the band.
  constexpr float kLowest = -0.1f;
  for (int32_t b = 0; b < kNumBands; ++b) {
    const float v = meterValue(tables_, peaks.bandGain[b]);
    const int32_t slot = gainReductionSlot(b);
    slots.gainReduction[slot].store(v < kLowest ? kLowest : v, std::memory_order_relaxed);
    slots.gainReductionFresh[slot].store(1, std::memory_order_relaxed);
    slots.gainReductionMode[slot].store(path_.dynamics[b].bandMode, std::memory_order_relaxed);
  }
}

}  // namespace kestrane
