// The coefficient hand-over between the parameter side and the audio thread.
//
// On one thread the engine must behave exactly as if every update rewrote the coefficients in
// place and a kernel change (or restart) began at the next block; that behaviour is modelled
// here by an engine assembled directly from the same stages and the same crossover change, on
// the scalar reference passes, with whole-block scratch and no hand-over.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/CrossoverKernels.h"
#include "SampleRates.h"
#include "engine/SampleConversion.h"

namespace kestrane {
namespace {

using test::Params;
using test::StereoBuffer;
using test::noise;

class InPlaceEngine {
 public:
  void recompute(const float* values) {
    c_ = mapParameters(values, rate_);
    if (c_.kernels != selection_) {
      // As the engine: a selection made after an invalidation restarts the crossover, any
      // other starts a change; either takes place at the start of the next block.
      restart_ = restart_ || selection_.rateIndex < 0;
      selection_ = c_.kernels;
      fresh_ = true;
    }
  }
  void invalidateKernelSelection() { selection_ = KernelSelection{}; }

  void process(const StereoBuffer& in, std::size_t from, std::size_t n, StereoBuffer& out,
               int32_t rate) {
    rate_ = rate;
    if (fresh_) {
      if (restart_ || !started_) {
        crossovers_->restart(selection_, *path_);
      } else {
        crossovers_->begin(selection_, c_.sampleRate, *path_);
      }
      fresh_ = restart_ = false;
      started_ = true;
    }
    for (std::size_t done = 0; done < n;) {
      const std::size_t part = std::min<std::size_t>(n - done, BandPathStretch);
      processPart(in, from + done, part, out);
      done += part;
    }
  }

 private:
  void processPart(const StereoBuffer& in, std::size_t from, std::size_t n, StereoBuffer& out) {
    std::vector<int32_t> input[2] = {std::vector<int32_t>(n), std::vector<int32_t>(n)};
    for (std::size_t i = 0; i < n; ++i) {
      input[0][i] = floatToQ23(in.left[from + i]);
      input[1][i] = floatToQ23(in.right[from + i]);
    }
    std::vector<int32_t> low[3][2], high[3][2];
    for (int32_t k = 0; k < 3; ++k) {
      for (int ch = 0; ch < 2; ++ch) {
        low[k][ch].resize(n);
        high[k][ch].resize(n);
      }
    }
    BlockPeaks peaks;
    path_->silenceStaleLookahead(c_.lookaheadSamples, static_cast<int32_t>(n));
    if (crossovers_->changing()) {
      // The change hands over the four bands aligned: they go where the split would be.
      std::array<std::array<int32_t*, 2>, kNumBands> bands = {
          {{low[0][0].data(), low[0][1].data()}, {low[1][0].data(), low[1][1].data()},
           {low[2][0].data(), low[2][1].data()}, {high[2][0].data(), high[2][1].data()}}};
      crossovers_->run({input[0].data(), input[1].data()}, static_cast<int32_t>(n), bands, *path_,
                       true);
    } else {
      std::array<FirStage, 3>& fir = crossovers_->heardStages();
      const std::vector<int32_t>* src = input;
      for (int32_t k = 0; k < 3; ++k) {
        FirPassBuffers b{{src[0].data(), src[1].data()},
                         {low[k][0].data(), low[k][1].data()},
                         {high[k][0].data(), high[k][1].data()}};
        fir[k].runPassReference(b, static_cast<int32_t>(n));
        src = high[k];
      }
    }
    BandSplit split{{low[0][0].data(), low[0][1].data()},
                    {low[1][0].data(), low[1][1].data()},
                    {low[2][0].data(), low[2][1].data()},
                    {high[2][0].data(), high[2][1].data()}};
    runBandPathReference(*path_, c_, lookupTables(), split,
                         {out.left.data() + from, out.right.data() + from},
                         static_cast<int32_t>(n), peaks);
    crossovers_->afterStretch(*path_);
  }

  int32_t rate_ = 44100;
  EngineCoefficients c_;
  KernelSelection selection_;
  bool fresh_ = false, restart_ = false, started_ = false;
  std::unique_ptr<CrossoverChange> crossovers_ =
      std::make_unique<CrossoverChange>(SimdLevel::Portable);
  std::unique_ptr<BandPathState> path_ = std::make_unique<BandPathState>();
};

// On one thread, with updates between blocks, the engine on `level` gives the bits of the
// in-place model built from the scalar definitions.
void expectEngineMatchesInPlaceModel(SimdLevel level) {
  test::Noise gen(2024);
  const std::size_t total = 150000;
  StereoBuffer in(total);
  for (std::size_t i = 0; i < total; ++i) {
    in.left[i] = gen.sample(0.8f);
    in.right[i] = gen.sample(0.8f);
  }
  StereoBuffer expected(total), actual(total);

  auto engine = std::make_unique<Engine>(level);
  auto referenceOwner = std::make_unique<InPlaceEngine>();  // too large for a thread's stack
  InPlaceEngine& reference = *referenceOwner;
  const Params first{FactoryPrograms[0]};
  engine->recompute(first.data());
  reference.recompute(first.data());
  engine->invalidateKernelSelection();
  reference.invalidateKernelSelection();

  int32_t rate = 44100;
  for (std::size_t done = 0; done < total;) {
    // Between blocks: up to three updates, sometimes a forgotten kernel selection, and now
    // and then a new host rate (which the coefficients follow only after the next block).
    const uint32_t updates = gen.next() % 4;
    for (uint32_t u = 0; u < updates; ++u) {
      if (gen.next() % 10 == 0) {
        engine->invalidateKernelSelection();
        reference.invalidateKernelSelection();
      }
      const Params p = test::randomParams(gen);
      engine->recompute(p.data());
      reference.recompute(p.data());
    }
    if (gen.next() % 8 == 0) rate = rate == 44100 ? 48000 : 44100;

    const std::size_t n = std::min<std::size_t>(1 + gen.next() % 3000, total - done);
    const float* inputs[2] = {in.left.data() + done, in.right.data() + done};
    float* outputs[2] = {actual.left.data() + done, actual.right.data() + done};
    engine->processReplacing(inputs, outputs, static_cast<int32_t>(n), static_cast<float>(rate));
    reference.process(in, done, n, expected, rate);
    done += n;
  }
  EXPECT_EQ(0, std::memcmp(actual.left.data(), expected.left.data(), total * sizeof(float)));
  EXPECT_EQ(0, std::memcmp(actual.right.data(), expected.right.data(), total * sizeof(float)));
}

TEST(HandOver, OneThreadMatchesUpdatingInPlace) {
  expectEngineMatchesInPlaceModel(SimdLevel::Portable);
  if (simdLevelSupported(SimdLevel::Avx2)) expectEngineMatchesInPlaceModel(SimdLevel::Avx2);
}

TEST(HandOver, RateChangeReachesTheKernelsAfterABlockAndAnUpdate) {
  const Params p{FactoryPrograms[0]};
  auto engine = test::makeEngine(p, 44100.0f);
  StereoBuffer in(256, 0.25f);
  test::processInBlocks(*engine, in, 256, 44100.0f);
  EXPECT_EQ(engine->loadedKernels().rateIndex, 1);

  // The host switches to 48 kHz. An update before the next block still sees 44100 Hz; the
  // block notes the new rate; the update after it selects the 48 kHz kernels, which the next
  // block changes to although no parameter changed.
  engine->recompute(p.data());
  test::processInBlocks(*engine, in, 256, 48000.0f);
  EXPECT_EQ(engine->loadedKernels().rateIndex, 1);
  EXPECT_EQ(engine->coefficients().sampleRate, 44100);
  engine->recompute(p.data());
  EXPECT_EQ(engine->coefficients().sampleRate, 48000);
  EXPECT_EQ(engine->coefficients().holdSteps, 180);
  test::processInBlocks(*engine, StereoBuffer(256, 0.0f), 256, 48000.0f);
  EXPECT_EQ(engine->loadedKernels().rateIndex, 2);
  EXPECT_TRUE(engine->crossoverChanging());
}

TEST(HandOver, MeaninglessHostRatesAreIgnored) {
  // A rate below 1 Hz or NaN would divide by zero in the detector constants: the engine keeps
  // the rate it had. Fractions are cut to whole Hz.
  auto engine = std::make_unique<Engine>();
  engine->setSampleRate(48000.0f);
  for (float rate : {0.0f, -44100.0f, 0.5f, std::numeric_limits<float>::quiet_NaN()}) {
    engine->setSampleRate(rate);
    EXPECT_EQ(engine->sampleRate(), 48000) << rate;
  }
  const StereoBuffer silence(64);
  test::processInBlocks(*engine, silence, 64, 0.0f);
  EXPECT_EQ(engine->sampleRate(), 48000);
  engine->setSampleRate(22050.9f);
  EXPECT_EQ(engine->sampleRate(), 22050);
}

TEST(HandOver, OnlyARestartClearsTheFilters) {
  Params p = test::unityParams();
  auto engine = test::makeEngine(p);
  const StereoBuffer in(4096, 0.5f);
  test::processInBlocks(*engine, in, 4096);

  // A band gain change: the delayed signal keeps flowing.
  engine->recompute(Params{p}.set(GainHF, 0.6f).data());
  StereoBuffer out = test::processInBlocks(*engine, in, 4096);
  EXPECT_NE(out.left[0], 0.0f);

  // A slope change (gains back at unity) while the input stays: the bands change over from
  // one crossover to the other and their sum, the delayed input, never drops.
  p.set(Fir2Slope, 0.0f);
  engine->recompute(p.data());
  for (int32_t block = 0; block < 4; ++block) {
    out = test::processInBlocks(*engine, in, 4096);
    for (float v : out.left) ASSERT_NEAR(v, 0.5f, 1e-6f);
  }

  // A restart (the selection forgotten, as a host's restart of the stream does): every filter
  // restarts from silence, so the bands sum to silence until the input has passed the whole
  // crossover again.
  engine->invalidateKernelSelection();
  engine->recompute(p.data());
  out = test::processInBlocks(*engine, in, 4096);
  for (int32_t i = 0; i < engine->latencySamples(); ++i) ASSERT_EQ(out.left[i], 0.0f) << i;
  EXPECT_NE(out.left[4095], 0.0f);
}

TEST(HandOver, AfterARestartTheLookaheadReplaysNothingFromBeforeIt) {
  // 100 ms of lookahead over a signal long enough to fill the rings several times; then the
  // stream restarts with a slope or a split point changed. The delayed bands start from
  // silence, like the filters.
  for (int32_t rate : test::testedSampleRates()) {
    const float hostRate = static_cast<float>(rate);
    for (int32_t changed : {Fir2Slope, Fir1Freq, Fir3Freq}) {
      Params p = test::unityParams().set(Lookahead, 1.0f).set(EnableLookahead, 1.0f);
      auto engine = test::makeEngine(p, hostRate);
      test::processInBlocks(*engine, noise(3 * LookaheadLength + 777, 0.5f, 1), 1000, hostRate);

      p.set(changed, 0.1f);
      engine->invalidateKernelSelection();
      engine->recompute(p.data());
      const int32_t lookahead = engine->coefficients().lookaheadSamples;
      ASSERT_GT(lookahead, 0);
      const int32_t crossover = engine->preparedDelaySamples() - lookahead;
      const StereoBuffer since = noise(static_cast<std::size_t>(crossover + lookahead) + 3000, 0.5f, 2);
      const StereoBuffer out = test::processInBlocks(*engine, since, 1000, hostRate);
      SCOPED_TRACE(testing::Message() << "parameter " << changed << " at " << rate << " Hz");
      // Bands at unity: exactly the signal since the change, delayed by the new crossover and
      // the lookahead, and silence where that reaches back before the change.
      test::expectDelayedCopy(since, out, crossover + lookahead, 0);
    }
  }
}

TEST(HandOver, ALongerLookaheadAfterARestartReachesNothingFromBeforeIt) {
  // 10 ms of lookahead, a restart with a slope change, 2000 samples later 100 ms: the longer
  // delay reaches back past the restart, where there is only the silence the bands started
  // from.
  Params p = test::unityParams().set(Lookahead, 0.1f).set(EnableLookahead, 1.0f);
  auto engine = test::makeEngine(p);
  test::processInBlocks(*engine, noise(2 * LookaheadLength + 123, 0.5f, 3), 512);

  engine->invalidateKernelSelection();
  engine->recompute(p.set(Fir1Slope, 0.0f).data());
  const int32_t shortDelay = engine->coefficients().lookaheadSamples;
  const int32_t crossover = engine->preparedDelaySamples() - shortDelay;
  const StereoBuffer since = noise(12000, 0.5f, 4);
  StereoBuffer out(since.size());
  const std::size_t grown = 2000;
  for (std::size_t done = 0; done < since.size(); done += 500) {
    if (done == grown) engine->recompute(p.set(Lookahead, 1.0f).data());
    const float* inputs[2] = {since.left.data() + done, since.right.data() + done};
    float* outputs[2] = {out.left.data() + done, out.right.data() + done};
    engine->processReplacing(inputs, outputs, 500, 44100.0f);
  }
  // Bands at unity: the signal since the change, delayed by the crossover and the lookahead of
  // each moment, and silence where that reaches back before the change.
  test::expectDelayedCopy(since, out, [&](std::size_t i) {
    return crossover + (i < grown ? shortDelay : 4410);
  }, 0);
}

}  // namespace
}  // namespace kestrane
