// Many instances and a busy editor: a thousand instances made and closed through the library's
// entry point, two at a time on two threads, and one instance's editor opened and closed two
// hundred times while its parameters change. Memory stays flat: after a first round that lets
// the allocator and the process-wide tables settle, neither the resident size nor its peak
// grows by more than a few instances' worth (figures that mean little under the sanitizers,
// whose own leak check runs instead).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "params/ParamId.h"
#include "robustness/RobustnessSupport.h"

namespace kestrane::robustness {
namespace {

constexpr uint64_t kMegabyte = 1024 * 1024;
// An instance with its editor is a few megabytes (delay lines, the editor's background); a leak
// of one a cycle would pass this after a handful of cycles.
constexpr uint64_t kAllowedGrowth = 8 * kMegabyte;

// Opens, plays a block and closes `count` instances; answers how many could not be made.
int32_t cycleInstances(int32_t count) {
  int32_t refused = 0;
  test::StereoSignal block = steadyMix(256, 0.5f);
  for (int32_t i = 0; i < count; ++i) {
    Effect fx(openFromLibrary());
    if (!fx.valid()) {
      ++refused;
      continue;
    }
    fx.setSampleRate(i % 2 ? 48000.0f : 44100.0f);
    fx.dispatch(effMainsChanged, 0, 1);
    fx.setProgram(i % 16);
    (void)fx.process(block, 256);
  }
  return refused;
}

// Two threads, `perThread` instances each.
int32_t cycleOnTwoThreads(int32_t perThread) {
  std::atomic<int32_t> refused{0};
  std::thread other([&] { refused += cycleInstances(perThread); });
  refused += cycleInstances(perThread);
  other.join();
  return refused.load();
}

void expectFlat(const MemoryUse& before, const MemoryUse& after) {
  std::printf("[ info ] resident %.1f -> %.1f MB, peak %.1f -> %.1f MB\n",
              static_cast<double>(before.current) / kMegabyte,
              static_cast<double>(after.current) / kMegabyte,
              static_cast<double>(before.peak) / kMegabyte,
              static_cast<double>(after.peak) / kMegabyte);
  if (sanitizedBuild() || before.peak == 0) return;
  EXPECT_LE(after.current, before.current + kAllowedGrowth);
  EXPECT_LE(after.peak, before.peak + kAllowedGrowth);
}

TEST(Stress, AThousandInstancesTwoAtATime) {
  ASSERT_EQ(cycleOnTwoThreads(25), 0);
  const MemoryUse before = memoryUse();
  EXPECT_EQ(cycleOnTwoThreads(500), 0);
  expectFlat(before, memoryUse());
}

TEST(Stress, EditorOpenedAndClosedTwoHundredTimesWhileParametersChange) {
  Effect fx(openLinked());
  ASSERT_TRUE(fx.valid());
  if (!fx.hasEditor()) GTEST_SKIP() << "this build carries no editor";
  HostWindow window;
  ASSERT_NE(window.handle(), nullptr);

  std::atomic<bool> running{true};
  std::thread automation([&] {
    test::Noise gen(99);
    while (running.load()) {
      fx.setParameter(static_cast<int32_t>(gen.next() % kNumParams),
                      static_cast<float>(gen.next() % 1001) / 1000.0f);
      std::this_thread::yield();
    }
  });

  auto openAndClose = [&](int32_t times) {
    int32_t failed = 0;
    for (int32_t i = 0; i < times; ++i) {
      if (fx.dispatch(effEditOpen, 0, 0, window.handle()) != 1) ++failed;
      fx.dispatch(effEditIdle);  // shows what the automation changed
      if (i % 20 == 0) window.pump();  // and now and then paints it (a whole picture is slow)
      fx.dispatch(effEditClose);
    }
    return failed;
  };
  EXPECT_EQ(openAndClose(10), 0);
  const MemoryUse before = memoryUse();
  EXPECT_EQ(openAndClose(200), 0);
  const MemoryUse after = memoryUse();
  running.store(false);
  automation.join();
  expectFlat(before, after);

  // The editor still opens on the values the automation left.
  EXPECT_EQ(fx.dispatch(effEditOpen, 0, 0, window.handle()), 1);
  fx.dispatch(effEditIdle);
  fx.dispatch(effEditClose);
}

}  // namespace
}  // namespace kestrane::robustness
