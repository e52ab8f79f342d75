// A minimal LV2 host for the tests: loads the bundle's library with dlopen, makes an instance
// at a rate and connects every port to buffers of its own. Control inputs start at the first
// factory program, as the bundle's defaults do.
#pragma once

#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lv2/Lv2Ports.h"
#include "params/Programs.h"

namespace kestrane::lv2::test {

class Library {
 public:
  Library() : handle_(dlopen(KESTRANE_LV2_BUNDLE "/Kestrane.so", RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) return;
    using Entry = const LV2_Descriptor* (*)(uint32_t);
    if (auto entry = reinterpret_cast<Entry>(dlsym(handle_, "lv2_descriptor"))) {
      descriptor_ = entry(0);
      second_ = entry(1);
    }
  }
  ~Library() {
    if (handle_) dlclose(handle_);
  }
  const LV2_Descriptor* descriptor() const { return descriptor_; }
  const LV2_Descriptor* second() const { return second_; }

 private:
  void* handle_;
  const LV2_Descriptor* descriptor_ = nullptr;
  const LV2_Descriptor* second_ = nullptr;
};

class Plugin {
 public:
  Plugin(const Library& library, double rate, uint32_t capacity = 4096)
      : d_(library.descriptor()) {
    for (auto& buffer : audio_) buffer.assign(capacity, 0.0f);
    controls_.assign(kNumPorts, 0.0f);
    if (!d_) return;
    handle_ = d_->instantiate(d_, rate, KESTRANE_LV2_BUNDLE "/", nullptr);
    if (!handle_) return;
    for (uint32_t port = 0; port < kNumPorts; ++port) {
      if (port < kFirstParameterPort) {
        d_->connect_port(handle_, port, audio_[port].data());
      } else {
        d_->connect_port(handle_, port, &controls_[port]);
      }
    }
    setProgram(0);
    d_->activate(handle_);
  }
  ~Plugin() {
    if (handle_) {
      d_->deactivate(handle_);
      d_->cleanup(handle_);
    }
  }
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  bool ok() const { return handle_ != nullptr; }
  // The control values of a factory program, as its preset holds them.
  void setProgram(int32_t program) {
    for (int32_t index = 0; index < kNumParams; ++index) {
      set(index, portValueForNormalised(
                     index, FactoryPrograms[program].value(static_cast<ParamId>(index))));
    }
  }
  void set(int32_t index, float portValue) { controls_[parameterPort(index)] = portValue; }
  float latency() const { return controls_[kLatencyPort]; }
  float meter(uint32_t i) const { return controls_[kFirstMeterPort + i]; }

  // Runs `frames` frames from the input buffers (at most their capacity).
  void run(uint32_t frames) { d_->run(handle_, frames); }
  std::vector<float>& in(int channel) { return audio_[channel]; }
  std::vector<float>& out(int channel) { return audio_[2 + channel]; }
  // Reconnects the audio ports to other buffers (for blocks longer than the capacity).
  void connectAudio(uint32_t port, float* data) { d_->connect_port(handle_, port, data); }
  LV2_Handle handle() const { return handle_; }

 private:
  const LV2_Descriptor* d_;
  LV2_Handle handle_ = nullptr;
  std::vector<float> audio_[4];
  std::vector<float> controls_;
};

}  // namespace kestrane::lv2::test
