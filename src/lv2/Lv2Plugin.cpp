// The LV2 plug-in: one descriptor, whose instances run the engine through EffectCore with the
// values of their control ports.
//
// Threads, as the LV2 core defines them: instantiate, activate, deactivate and cleanup never run
// at the same time as run() on one instance; connect_port may. run() is the audio thread and the
// only place where control values are read, so the engine's update happens there too: it
// allocates nothing, and the core's update lock is never taken by another thread of this
// adapter, so run() never waits on it.
#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdint>
#include <new>

#include "core/EffectCore.h"
#include "lv2/Lv2Ports.h"

namespace kestrane::lv2 {
namespace {

class Instance {
 public:
  explicit Instance(double rate) : rate_(static_cast<float>(rate)) {
    core_.setSampleRate(rate_);
    core_.attachMeters(&meters_);
    // Until the host connects a port, its parameter holds the first factory program's value,
    // the default the bundle declares.
    for (int32_t index = 0; index < kNumParams; ++index) {
      core_.setValue(index, normalisedForPortValue(index, defaultPortValue(index)));
    }
  }
  ~Instance() { core_.attachMeters(nullptr); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool usable() const { return core_.hasEngine(); }

  void connect(uint32_t port, void* data) {
    if (port == kAudioInLeft || port == kAudioInRight) {
      audioIn_[port - kAudioInLeft] = static_cast<const float*>(data);
    } else if (port == kAudioOutLeft || port == kAudioOutRight) {
      audioOut_[port - kAudioOutLeft] = static_cast<float*>(data);
    } else if (port >= kFirstParameterPort && port < kLatencyPort) {
      controls_[port - kFirstParameterPort] = static_cast<const float*>(data);
    } else if (port == kLatencyPort) {
      latency_ = static_cast<float*>(data);
    } else if (port >= kFirstMeterPort && port < kNumPorts) {
      meterPorts_[port - kFirstMeterPort] = static_cast<float*>(data);
    }
  }

  // A new run of audio: the filters and alignment start from silence, and every control value
  // is read afresh at the next run().
  void activate() {
    core_.invalidateKernelSelection();
    forgetControls();
  }

  void run(uint32_t frames) noexcept {
    takeControls();
    if (frames > 0 && audioIn_[0] && audioIn_[1] && audioOut_[0] && audioOut_[1]) {
      core_.process(audioIn_, audioOut_, frames, rate_);
    }
    // The latency port names the delay the output has arrived at: after a change of crossover
    // the previous delay until the engine has moved the output to the new one, so a host
    // re-aligns once, when the audio is where the port says.
    if (!core_.crossoverChanging()) reportedLatency_ = latencySamples_;
    if (latency_) *latency_ = static_cast<float>(reportedLatency_);
    for (uint32_t i = 0; i < kNumMeterPorts; ++i) {
      if (meterPorts_[i]) *meterPorts_[i] = meterPortValue(meters_, i);
    }
  }

 private:
  // Every port value is taken as new at the next run(), which updates the engine whatever
  // the ports hold.
  void forgetControls() { forgotten_ = true; }

  // Reads the control ports; when any changed, hands their normalised values to the engine.
  void takeControls() noexcept {
    bool changed = forgotten_;
    for (int32_t index = 0; index < kNumParams; ++index) {
      const float* port = controls_[index];
      if (port == nullptr) continue;
      const float v = *port;
      const bool same = v == seen_[index] || (std::isnan(v) && std::isnan(seen_[index]));
      if (same && !forgotten_) continue;
      seen_[index] = v;
      core_.setValue(index, normalisedForPortValue(index, v));
      changed = true;
    }
    forgotten_ = false;
    if (changed) latencySamples_ = core_.update();
  }

  float rate_;
  EffectCore core_;
  MeterSlots meters_;
  const float* audioIn_[kNumChannels] = {};
  float* audioOut_[kNumChannels] = {};
  const float* controls_[kNumParams] = {};
  float seen_[kNumParams] = {};  // the port values last read
  bool forgotten_ = true;
  float* latency_ = nullptr;
  float* meterPorts_[kNumMeterPorts] = {};
  int32_t latencySamples_ = 0;   // the delay of the values last taken (EffectCore::update)
  int32_t reportedLatency_ = 0;  // what the latency port says
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const*) {
  if (!(rate >= 1.0)) return nullptr;
  auto* instance = new (std::nothrow) Instance(rate);
  if (instance && !instance->usable()) {
    delete instance;
    return nullptr;
  }
  return instance;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
  static_cast<Instance*>(handle)->connect(port, data);
}

void activate(LV2_Handle handle) { static_cast<Instance*>(handle)->activate(); }

void run(LV2_Handle handle, uint32_t frames) { static_cast<Instance*>(handle)->run(frames); }

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) { delete static_cast<Instance*>(handle); }

const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {kPluginUri, instantiate, connectPort, activate,
                                    run,        deactivate,  cleanup,     extensionData};

}  // namespace
}  // namespace kestrane::lv2

// The library's one entry point: the host asks for descriptors by index until it gets null.
LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kestrane::lv2::kDescriptor : nullptr;
}
