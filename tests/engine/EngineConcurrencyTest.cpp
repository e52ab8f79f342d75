// Automation from a second thread and the editor's meter reads against the audio thread: no
// data race (run under ThreadSanitizer: the engine-tsan build), and the last update arrives.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "EngineTestSupport.h"

namespace kestrane {
namespace {

using test::Params;
using test::StereoBuffer;

TEST(HandOver, ConcurrentAutomationAndMetering) {
  auto engine = std::make_unique<Engine>();
  MeterSlots meters;
  engine->attachMeters(&meters);
  engine->recompute(Params{FactoryPrograms[0]}.data());

  std::atomic<bool> running{true};
  std::thread automation([&] {
    test::Noise gen(5);
    while (running.load()) {
      if (gen.next() % 16 == 0) engine->invalidateKernelSelection();
      engine->recompute(test::randomParams(gen).data());
      (void)engine->coefficients();
      std::this_thread::yield();
    }
  });
  std::thread editor([&] {
    // The editor's idle: read, decay and clear the slots.
    while (running.load()) {
      for (int32_t s = 0; s < kNumLevelSlots; ++s) {
        const float v = meters.level[s].load(std::memory_order_relaxed);
        meters.level[s].store(v - 0.016129032f, std::memory_order_relaxed);
        meters.levelFresh[s].store(0, std::memory_order_relaxed);
      }
      for (int32_t s = 0; s < kNumGainReductionSlots; ++s) {
        (void)meters.gainReductionMode[s].load(std::memory_order_relaxed);
        meters.gainReductionFresh[s].store(0, std::memory_order_relaxed);
      }
      std::this_thread::yield();
    }
  });

  test::Noise gen(8);
  StereoBuffer in(512), out(512);
  for (int block = 0; block < 200; ++block) {
    for (std::size_t i = 0; i < 512; ++i) in.left[i] = in.right[i] = gen.sample(0.9f);
    const float* inputs[2] = {in.left.data(), in.right.data()};
    float* outputs[2] = {out.left.data(), out.right.data()};
    engine->processReplacing(inputs, outputs, 512, block % 50 < 25 ? 44100.0f : 48000.0f);
    for (float v : out.left) ASSERT_TRUE(std::isfinite(v));
  }
  running.store(false);
  automation.join();
  editor.join();

  // The last update reaches the audio thread at its next block.
  const Params last{FactoryPrograms[6]};
  engine->recompute(last.data());
  const float* inputs[2] = {in.left.data(), in.right.data()};
  float* outputs[2] = {out.left.data(), out.right.data()};
  engine->processReplacing(inputs, outputs, 512, 48000.0f);
  EXPECT_TRUE(engine->loadedKernels() == engine->coefficients().kernels);
}

}  // namespace
}  // namespace kestrane
