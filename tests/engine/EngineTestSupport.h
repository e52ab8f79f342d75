// Helpers shared by the engine tests: parameter records, block processing and signals.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Engine.h"
#include "engine/SampleConversion.h"
#include "golden/ProgramMaterial.h"
#include "params/ParamId.h"
#include "params/Programs.h"

namespace kestrane::test {

// 49 parameter values in record order, set by ParamId.
struct Params {
  std::array<float, kNumParams> record{};

  Params() = default;
  explicit Params(const KestraneProgram& program) {
    for (int32_t s = 0; s < kNumParams; ++s) record[s] = program.values[s];
  }
  Params& set(int32_t id, float v) {
    record[recordSlot(id)] = v;
    return *this;
  }
  // The same value for the four bands of a per-band group starting at `first`.
  Params& setBands(int32_t first, float v) {
    for (int32_t b = 0; b < kNumBands; ++b) set(first + b, v);
    return *this;
  }
  const float* data() const { return record.data(); }
};

// Every band at unity: gains 0 dB, compressor thresholds 0 dB, expanders off, lookahead off.
inline Params unityParams() {
  Params p{KestraneProgram{}};
  return p.set(EnableLookahead, 0.0f);
}

// The value that selects RatioSteps entry `index`.
inline float ratioValue(int32_t index) { return static_cast<float>(index) / 36.0f; }

struct StereoBuffer {
  std::vector<float> left, right;
  explicit StereoBuffer(std::size_t n = 0, float fill = 0.0f) : left(n, fill), right(n, fill) {}
  std::size_t size() const { return left.size(); }
};

// n frames of independent uniform noise in each channel, peak `amplitude`.
inline StereoBuffer noise(std::size_t n, float amplitude, uint32_t seed = 7) {
  Noise gen(seed);
  StereoBuffer b(n);
  for (std::size_t i = 0; i < n; ++i) {
    b.left[i] = gen.sample(amplitude);
    b.right[i] = gen.sample(amplitude);
  }
  return b;
}

// Expects `out` to be `in` rounded to Q23 and delayed by delayAt(i) samples at sample i, from
// sample `from` on; silence where the delay reaches back before `in` began.
template <typename DelayAt>
void expectDelayedCopy(const StereoBuffer& in, const StereoBuffer& out, DelayAt delayAt,
                       std::size_t from) {
  for (std::size_t i = from; i < out.size(); ++i) {
    const int64_t at = static_cast<int64_t>(i) - delayAt(i);
    const std::size_t k = static_cast<std::size_t>(at < 0 ? 0 : at);
    const float l = at < 0 ? 0.0f : q23ToFloat(floatToQ23(in.left[k]));
    const float r = at < 0 ? 0.0f : q23ToFloat(floatToQ23(in.right[k]));
    ASSERT_EQ(out.left[i], l) << "sample " << i;
    ASSERT_EQ(out.right[i], r) << "sample " << i;
  }
}
// The same with one delay throughout.
inline void expectDelayedCopy(const StereoBuffer& in, const StereoBuffer& out, int32_t delay,
                              std::size_t from) {
  expectDelayedCopy(in, out, [delay](std::size_t) { return delay; }, from);
}

// Processes `in` through the engine in blocks of `block` frames (the last one shorter).
inline StereoBuffer processInBlocks(Engine& engine, const StereoBuffer& in, int32_t block,
                                    float rate = 44100.0f) {
  StereoBuffer out(in.size());
  for (std::size_t done = 0; done < in.size();) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(block), in.size() - done);
    const float* inputs[2] = {in.left.data() + done, in.right.data() + done};
    float* outputs[2] = {out.left.data() + done, out.right.data() + done};
    engine.processReplacing(inputs, outputs, static_cast<int32_t>(n), rate);
    done += n;
  }
  return out;
}

// An engine at `rate` with the given parameters applied, its kernels loaded at the next block.
inline std::unique_ptr<Engine> makeEngine(const Params& p, float rate = 44100.0f) {
  auto engine = std::make_unique<Engine>();
  engine->setSampleRate(rate);
  engine->recompute(p.data());
  return engine;
}

// A random parameter record: one of the factory programs with some values moved.
inline Params randomParams(Noise& gen) {
  Params p{FactoryPrograms[gen.next() % 8]};
  const int32_t moves = static_cast<int32_t>(gen.next() % 4);
  for (int32_t k = 0; k < moves; ++k) {
    const int32_t id = static_cast<int32_t>(gen.next() % kNumParams);
    p.set(id, static_cast<float>(gen.next() % 1001) / 1000.0f);
  }
  return p;
}

}  // namespace kestrane::test
