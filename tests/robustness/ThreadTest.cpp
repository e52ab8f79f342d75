// A host that uses every thread it has: audio on one, automation of random parameters and
// program changes on a second, display texts (and the editor, opened in a host window, with
// its idle) on a third, all on one instance for a few seconds. Meant for the ThreadSanitizer
// build (label tsan), where any data race fails the test; every build checks that the audio
// stays finite and within the gain the settings allow, and that the parameters end as the
// automation left them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "params/Programs.h"
#include "robustness/RobustnessSupport.h"

namespace kestrane::robustness {
namespace {

using Clock = std::chrono::steady_clock;

// What the automation thread has asked for: the programs' values as it changed them (ParamId
// order) and the current program.
struct AutomationRecord {
  float values[kNumPrograms][kNumParams];
  int32_t current = 0;

  AutomationRecord() {
    for (int32_t p = 0; p < kNumPrograms; ++p) {
      for (int32_t id = 0; id < kNumParams; ++id) {
        values[p][id] = FactoryPrograms[p].values[recordSlot(id)];
      }
    }
  }
};

// The loudest a band can be made: +25 dB of makeup; the dynamics only ever lower the gain.
constexpr float kLargestMakeup = 17.7827941f;
// At unit gain the output is at most the input's peak times the summed magnitudes of the four
// bands' impulse responses: at most 6.3 over the crossover choices of all four rate groups
// (measured through the engine), 8 with room to spare.
constexpr float kBandsImpulseSum = 8.0f;

TEST(Threads, AudioAutomationTextsAndEditorAtOnce) {
  Effect fx(openLinked());
  ASSERT_TRUE(fx.valid());
  fx.setSampleRate(44100.0f);
  fx.dispatch(effSetBlockSize, 0, 256);
  fx.dispatch(effMainsChanged, 0, 1);

  std::atomic<bool> running{true};
  std::atomic<int64_t> automationSteps{0}, uiSteps{0}, editorIdles{0};
  AutomationRecord record;

  std::thread automation([&] {
    test::Noise gen(11);
    while (running.load(std::memory_order_relaxed)) {
      if (gen.next() % 64 == 0) {
        record.current = static_cast<int32_t>(gen.next() % kNumPrograms);
        fx.setProgram(record.current);
      } else {
        const auto id = static_cast<int32_t>(gen.next() % kNumParams);
        const float value = static_cast<float>(gen.next() % 1001) / 1000.0f;
        record.values[record.current][id] = value;
        fx.setParameter(id, value);
      }
      // A host sends automation in bursts, not in one unbroken stream.
      if (automationSteps.fetch_add(1, std::memory_order_relaxed) % 16 == 15) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
  });

  std::atomic<int> editorOpened{-1};  // -1 until the interface thread has tried
  std::thread userInterface([&] {
    HostWindow window;
    const bool open = fx.hasEditor() && window.handle() &&
                      fx.dispatch(effEditOpen, 0, 0, window.handle()) != 0;
    editorOpened.store(open ? 1 : 0);
    for (int64_t step = 0; running.load(std::memory_order_relaxed); ++step) {
      // The host's parameter list, one row at a time, and now and then the editor's idle.
      const auto id = static_cast<int32_t>(step % kNumParams);
      (void)fx.text(effGetParamDisplay, id);
      (void)fx.text(effGetParamName, id);
      (void)fx.getParameter(id);
      (void)fx.text(effGetProgramNameIndexed, static_cast<int32_t>(step % kNumPrograms));
      (void)fx.text(effGetProgramName);
      (void)fx.dispatch(effGetProgram);
      if (open && step % 64 == 0) {
        fx.dispatch(effEditIdle);
        window.pump();
        editorIdles.fetch_add(1, std::memory_order_relaxed);
      }
      uiSteps.fetch_add(1, std::memory_order_relaxed);
    }
    if (open) fx.dispatch(effEditClose);
  });

  // Audio on this thread: a steady mix at -12 dB, checked block by block.
  const float inputPeak = 0.25f;
  const test::StereoSignal in = steadyMix(256 * 64, inputPeak);
  const float bound = kLargestMakeup * kBandsImpulseSum * inputPeak;
  const auto start = Clock::now();
  int64_t blocks = 0;
  float loudest = 0.0f;
  bool finite = true;
  test::StereoSignal block{std::vector<float>(256), std::vector<float>(256)};
  // At least two seconds, and enough of every thread's work (an idle that redraws the whole
  // editor takes a while under ThreadSanitizer).
  auto enough = [&] {
    return Clock::now() - start >= std::chrono::seconds(2) && automationSteps.load() >= 100 &&
           uiSteps.load() >= 100 && editorOpened.load() >= 0 &&
           (editorOpened.load() == 0 || editorIdles.load() >= 3);
  };
  while (!enough()) {
    const std::size_t offset = static_cast<std::size_t>(blocks % 64) * 256;
    std::copy_n(in.left.begin() + static_cast<std::ptrdiff_t>(offset), 256, block.left.begin());
    std::copy_n(in.right.begin() + static_cast<std::ptrdiff_t>(offset), 256, block.right.begin());
    const test::StereoSignal out = fx.process(block, 256);
    finite = finite && allFinite(out);
    loudest = std::fmax(loudest, peakOf(out));
    ++blocks;
  }
  running.store(false);
  automation.join();
  userInterface.join();

  EXPECT_TRUE(finite);
  EXPECT_LE(loudest, bound) << "after " << blocks << " blocks";
  if (!fx.hasEditor()) std::printf("[ note ] this build has no editor: no editor idle ran\n");
  EXPECT_EQ(editorOpened.load(), fx.hasEditor() ? 1 : 0);

  // The parameters are where the automation left them.
  EXPECT_EQ(fx.dispatch(effGetProgram), record.current);
  for (int32_t id = 0; id < kNumParams; ++id) {
    EXPECT_EQ(fx.getParameter(id), record.values[record.current][id]) << "parameter " << id;
  }
  std::printf("[ info ] %lld blocks, %lld automation steps, %lld interface steps, %lld editor "
              "idles, loudest %.3f\n",
              static_cast<long long>(blocks), static_cast<long long>(automationSteps.load()),
              static_cast<long long>(uiSteps.load()), static_cast<long long>(editorIdles.load()),
              static_cast<double>(loudest));
}

}  // namespace
}  // namespace kestrane::robustness
