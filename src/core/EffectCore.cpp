#include "core/EffectCore.h"

#include <cstring>
#include <new>

namespace kestrane {

EffectCore::EffectCore() noexcept : engine_(new (std::nothrow) Engine) {
  if (engine_ && !engine_->valid()) engine_.reset();  // out of memory: no engine, as above
  for (auto& v : values_) v.store(0.0f, std::memory_order_relaxed);
}

void EffectCore::setValue(int32_t index, float normalised) noexcept {
  if (isParamIndex(index)) values_[recordSlot(index)].store(normalised, std::memory_order_relaxed);
}

float EffectCore::value(int32_t index) const noexcept {
  return isParamIndex(index) ? values_[recordSlot(index)].load(std::memory_order_relaxed) : 0.0f;
}

int32_t EffectCore::update() noexcept {
  if (!engine_) return 0;
  std::lock_guard<std::mutex> lock(updateMutex_);
  float record[kNumParams];
  for (int32_t slot = 0; slot < kNumParams; ++slot) {
    record[slot] = values_[slot].load(std::memory_order_relaxed);
  }
  engine_->recompute(record);
  return engine_->preparedDelaySamples();
}

void EffectCore::setSampleRate(float rate) noexcept {
  if (engine_) engine_->setSampleRate(rate);
}

void EffectCore::invalidateKernelSelection() noexcept {
  if (engine_) engine_->invalidateKernelSelection();
}

void EffectCore::attachMeters(MeterSlots* slots) noexcept {
  if (engine_) engine_->attachMeters(slots);
}

void EffectCore::process(const float* const* inputs, float* const* outputs, uint64_t frames,
                         float rate) noexcept {
  if (!engine_) {
    for (int32_t channel = 0; channel < kNumChannels; ++channel) {
      std::memset(outputs[channel], 0, static_cast<size_t>(frames) * sizeof(float));
    }
    return;
  }
  for (uint64_t done = 0; done < frames;) {
    const uint64_t left = frames - done;
    const int32_t n = left < Engine::kMaxBlockFrames ? static_cast<int32_t>(left)
                                                     : Engine::kMaxBlockFrames;
    const size_t at = static_cast<size_t>(done);
    const float* in[kNumChannels] = {inputs[0] + at, inputs[1] + at};
    float* out[kNumChannels] = {outputs[0] + at, outputs[1] + at};
    engine_->processReplacing(in, out, n, rate);
    done += static_cast<uint64_t>(n);
  }
}

}  // namespace kestrane
