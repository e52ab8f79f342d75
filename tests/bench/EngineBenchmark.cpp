// processReplacing with the "Mastering" program at 44100 Hz, by block size. The counter
// "realtime" is seconds of stereo audio processed per second of processor time (the realtime
// factor of one core). processReplacing runs on the widest instruction set this processor has;
// processReplacingPortable on the plain C++ paths that any processor runs (the same bits).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/Engine.h"
#include "golden/ProgramMaterial.h"
#include "params/Programs.h"

namespace kestrane {
namespace {

constexpr float kRate = 44100.0f;

void run(benchmark::State& state, SimdLevel level) {
  const int32_t block = static_cast<int32_t>(state.range(0));
  const test::StereoSignal material = test::programMaterial(kRate, 3.0);
  const std::size_t step = static_cast<std::size_t>(block);
  const std::size_t length = material.frames() - material.frames() % step;
  std::vector<float> left(static_cast<std::size_t>(block)), right(static_cast<std::size_t>(block));

  auto engine = std::make_unique<Engine>(level);
  engine->setSampleRate(kRate);
  engine->recompute(FactoryPrograms[0].values);

  std::size_t position = 0;
  for (auto _ : state) {
    const float* inputs[2] = {material.left.data() + position, material.right.data() + position};
    float* outputs[2] = {left.data(), right.data()};
    engine->processReplacing(inputs, outputs, block, kRate);
    benchmark::DoNotOptimize(left.data());
    benchmark::ClobberMemory();
    position += static_cast<std::size_t>(block);
    if (position >= length) position = 0;
  }
  state.counters["realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * block / kRate, benchmark::Counter::kIsRate);
  state.SetItemsProcessed(state.iterations() * block);
}
void processReplacing(benchmark::State& state) { run(state, detectedSimdLevel()); }
void processReplacingPortable(benchmark::State& state) { run(state, SimdLevel::Portable); }
BENCHMARK(processReplacing)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(processReplacingPortable)->Arg(64)->Arg(512)->Arg(4096);

}  // namespace
}  // namespace kestrane

BENCHMARK_MAIN();
