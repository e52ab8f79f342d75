// EffectCore: the engine of one plug-in instance together with the 49 values it runs with. Every
// format adapter (the VST 2.x shell, the LV2 plug-in) drives the engine through this object and
// nothing else, so the two turn the same values into the same audio.
//
// Threads. setValue, value, update, setSampleRate and invalidateKernelSelection form the
// parameter side: any thread, serialised among themselves by a mutex that the audio side never
// takes. process is the audio side. An adapter whose only parameter-side thread is the audio
// thread itself (the LV2 plug-in, which reads its control ports in run()) takes that mutex only
// from there, so it is never contended and never waited on.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/Engine.h"
#include "engine/MeterSlots.h"
#include "params/ParamId.h"

namespace kestrane {

inline constexpr int32_t kNumChannels = 2;  // stereo in, stereo out

class EffectCore {
 public:
  // Allocates the engine (about 700 kB). Every value starts at 0.0; the engine computes nothing
  // until the first update().
  EffectCore() noexcept;

  // False when the engine could not be allocated: process() then writes silence.
  bool hasEngine() const noexcept { return engine_ != nullptr; }

  // --- Parameter side -------------------------------------------------------------------------

  // The normalised value of parameter index 0..48, stored exactly as given (no clamping, no
  // snapping). Other indices are ignored (setValue) or read as 0.0 (value). Any thread.
  void setValue(int32_t index, float normalised) noexcept;
  float value(int32_t index) const noexcept;

  // The engine's full update: every coefficient from all 49 values and the engine's sample rate.
  // The values are read and handed over under one lock, so that of two threads' updates the
  // engine keeps the one that read later. Answers the delay, in samples, that the engine adds
  // with the coefficients just computed (Engine::preparedDelaySamples).
  int32_t update() noexcept;

  // The host's rate in Hz (truncated to whole Hz by the engine; below 1 Hz or NaN is ignored).
  // The coefficients follow at the next update().
  void setSampleRate(float rate) noexcept;
  // Makes the next update() reload the crossover kernels and clear the filters.
  void invalidateKernelSelection() noexcept;

  // The newest coefficient set update() produced (a default set without an engine). Any thread.
  EngineCoefficients coefficients() const noexcept {
    return engine_ ? engine_->coefficients() : EngineCoefficients{};
  }

  // Where the engine leaves its meter readings at the end of each processed block; null
  // detaches. The slots must outlive the core or be detached first.
  void attachMeters(MeterSlots* slots) noexcept;

  // --- Audio side -----------------------------------------------------------------------------

  // Replaces outputs[0..1][0..frames) with the processed inputs[0..1], at `rate` Hz. Any length:
  // 0 does nothing, longer blocks than the engine takes at once run in pieces of at most
  // Engine::kMaxBlockFrames with the same result. Inputs and outputs may be the same buffers.
  // Without an engine the outputs are silence. Audio thread; allocates nothing, takes no lock.
  void process(const float* const* inputs, float* const* outputs, uint64_t frames,
               float rate) noexcept;

  // Whether the engine is moving from one crossover to another: its output's delay is then on
  // the way from the old crossover's delay to the one update() answered, which it reaches
  // when this turns false. Audio thread, or while nothing is processed.
  bool crossoverChanging() const noexcept { return engine_ && engine_->crossoverChanging(); }

 private:
  std::unique_ptr<Engine> engine_;
  // Current values in record order (recordSlot). Relaxed atomics: a value is stored and read
  // whole, with its exact bits, whichever threads meet here.
  std::atomic<float> values_[kNumParams];
  std::mutex updateMutex_;
};

}  // namespace kestrane
