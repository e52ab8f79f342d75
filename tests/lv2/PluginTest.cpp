// The LV2 plug-in through its descriptor, as a host drives it: the reported latency is the delay
// the engine adds, block lengths (0, and beyond what the engine takes at once) change nothing,
// run() allocates nothing, hostile control values are harmless, and the meters move.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "Lv2TestHost.h"
#include "SampleRates.h"

// Counts the heap allocations of this process while `counting` is set: the plug-in's C++
// runtime, linked into it, still takes its memory from the C library's malloc, which this
// program replaces. Sanitizers replace malloc themselves; there the count is not taken.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KESTRANE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(KESTRANE_SANITIZED)
#define KESTRANE_COUNTS_ALLOCATIONS 0
#else
#define KESTRANE_COUNTS_ALLOCATIONS 1
namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
}  // namespace
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* malloc(size_t n) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  return __libc_realloc(p, n);
}
}
#endif

namespace kestrane::lv2 {
namespace {

using test::Library;
using test::Plugin;

class Lv2Plugin : public ::testing::Test {
 protected:
  Library library;
};

// A reproducible test signal: two tones, one of them in bursts, and a little noise.
void fillSignal(std::vector<float>& left, std::vector<float>& right, uint32_t from, double rate) {
  uint32_t seed = 12345u + from;
  for (std::size_t i = 0; i < left.size(); ++i) {
    const double t = static_cast<double>(from + i) / rate;
    seed = seed * 1664525u + 1013904223u;
    const double noise = ((seed >> 9) / 8388608.0 - 1.0) * 0.02;
    const double burst = std::fmod(t, 0.25) < 0.08 ? 0.7 : 0.05;
    left[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * 90 * t) +
                                 burst * std::sin(2 * M_PI * 2500 * t) + noise);
    right[i] = static_cast<float>(0.5 * left[i] + 0.2 * std::sin(2 * M_PI * 700 * t));
  }
}

TEST_F(Lv2Plugin, OneDescriptorWithTheProjectsUri) {
  ASSERT_NE(library.descriptor(), nullptr);
  EXPECT_STREQ(library.descriptor()->URI, kPluginUri);
  EXPECT_EQ(library.second(), nullptr);
  EXPECT_EQ(library.descriptor()->extension_data("urn:nothing"), nullptr);
}

// With every band switched off the plug-in is a pure delay: an impulse comes out exactly
// `latency` frames later, for every preset at every rate the tests run the plug-in at.
TEST_F(Lv2Plugin, ReportedLatencyIsTheDelayTheEngineAdds) {
  for (int32_t rate : kestrane::test::testedSampleRates()) {
    for (int32_t program = 0; program < kNumPresets; ++program) {
      Plugin fx(library, rate);
      ASSERT_TRUE(fx.ok());
      fx.setProgram(program);
      for (int32_t b = 0; b < kNumBands; ++b) fx.set(EnableLF + b, 0.0f);
      fx.in(0)[0] = fx.in(1)[0] = 0.5f;
      int64_t seen = -1;
      for (int64_t done = 0; done < 40000 && seen < 0; done += 4096) {
        fx.run(4096);
        fx.in(0)[0] = fx.in(1)[0] = 0.0f;
        for (int64_t i = 0; i < 4096 && seen < 0; ++i) {
          if (fx.out(0)[i] != 0.0f) seen = done + i;
        }
      }
      EXPECT_EQ(fx.latency(), static_cast<float>(seen)) << "program " << program << " at " << rate;
      EXPECT_GT(seen, 0);
    }
  }
}

// The latency port follows a change of the lookahead at once, even before a frame is run.
TEST_F(Lv2Plugin, LatencyFollowsTheLookahead) {
  Plugin fx(library, 48000.0);
  fx.set(Lookahead, 0.0f);
  fx.run(0);
  const float base = fx.latency();
  fx.set(Lookahead, 10.0f);
  fx.run(0);
  EXPECT_EQ(fx.latency(), base + 480.0f);
  fx.set(EnableLookahead, 0.0f);
  fx.run(0);
  EXPECT_EQ(fx.latency(), base);
}

// A change of crossover moves the output's delay over the change; the latency port keeps the
// old delay until the output has arrived, then names the new one, which is the delay a fresh
// instance with the new settings reports. Both ways: to a longer crossover and back.
TEST_F(Lv2Plugin, LatencyFollowsACrossoverChangeWhenItEnds) {
  const double rate = 48000.0;
  const uint32_t block = 64;
  auto delayOf = [&](float split) {
    Plugin fresh(library, rate);
    fresh.set(Fir1Freq, split);
    fresh.run(0);
    return fresh.latency();
  };
  Plugin fx(library, rate, block);
  for (uint32_t i = 0; i < block; ++i) fx.in(0)[i] = fx.in(1)[i] = 0.1f * std::sin(0.05f * static_cast<float>(i));
  for (int i = 0; i < 100; ++i) fx.run(block);
  const float before = fx.latency();
  const float programSplit = portValueForNormalised(Fir1Freq, FactoryPrograms[0].value(Fir1Freq));
  for (const float split : {50.0f, programSplit}) {
    const float from = fx.latency(), to = delayOf(split);
    ASSERT_NE(from, to) << split;
    fx.set(Fir1Freq, split);
    uint32_t frames = 0;
    while (fx.latency() == from && frames < 5 * rate) {
      fx.run(block);
      frames += block;
    }
    EXPECT_EQ(fx.latency(), to) << split;
    // Not before the fade (15 ms) is over.
    EXPECT_GT(frames, 0.015 * rate) << split;
  }
  EXPECT_EQ(fx.latency(), before);
}

// One block of 70000 frames, the same signal in blocks of 1 to 4096 frames with empty runs and
// unchanged control writes between them: the same output, sample for sample.
TEST_F(Lv2Plugin, BlockLengthDoesNotChangeTheOutput) {
  const uint32_t total = 70000;
  std::vector<float> in[2] = {std::vector<float>(total), std::vector<float>(total)};
  fillSignal(in[0], in[1], 0, 44100.0);
  std::vector<float> whole[2] = {std::vector<float>(total), std::vector<float>(total)};
  {
    Plugin fx(library, 44100.0);
    for (uint32_t p = 0; p < 2; ++p) {
      fx.connectAudio(kAudioInLeft + p, in[p].data());
      fx.connectAudio(kAudioOutLeft + p, whole[p].data());
    }
    fx.run(total);
  }
  Plugin fx(library, 44100.0);
  const uint32_t lengths[] = {1, 0, 17, 4096, 0, 511, 3000, 64};
  std::size_t k = 0;
  for (uint32_t done = 0; done < total;) {
    const uint32_t n = std::min(lengths[k++ % 8], total - done);
    for (int c = 0; c < 2; ++c) std::copy_n(in[c].begin() + done, n, fx.in(c).begin());
    fx.set(GainLF, 4.0f);  // the preset's own value: no change
    fx.run(n);
    for (int c = 0; c < 2; ++c) {
      for (uint32_t i = 0; i < n; ++i) {
        ASSERT_EQ(fx.out(c)[i], whole[c][done + i]) << "frame " << done + i;
      }
    }
    done += n;
  }
}

// Processing in place (output buffers the same as the inputs), as LV2 allows.
TEST_F(Lv2Plugin, ProcessesInPlace) {
  std::vector<float> in[2] = {std::vector<float>(4096), std::vector<float>(4096)};
  fillSignal(in[0], in[1], 0, 44100.0);
  Plugin apart(library, 44100.0);
  std::copy(in[0].begin(), in[0].end(), apart.in(0).begin());
  std::copy(in[1].begin(), in[1].end(), apart.in(1).begin());
  apart.run(4096);
  Plugin shared(library, 44100.0);
  for (uint32_t c = 0; c < 2; ++c) {
    shared.connectAudio(kAudioInLeft + c, in[c].data());
    shared.connectAudio(kAudioOutLeft + c, in[c].data());
  }
  shared.run(4096);
  EXPECT_EQ(in[0], apart.out(0));
  EXPECT_EQ(in[1], apart.out(1));
}

TEST_F(Lv2Plugin, RunAllocatesNothingEvenWhenControlsChange) {
#if KESTRANE_COUNTS_ALLOCATIONS
  // The count works: an allocation made while counting is seen.
  counting = true;
  void* probe = std::malloc(24);
  counting = false;
  std::free(probe);
  ASSERT_EQ(allocations.exchange(0), 1);

  Plugin fx(library, 96000.0);
  fillSignal(fx.in(0), fx.in(1), 0, 96000.0);
  fx.run(4096);  // the first kernels are loaded
  counting = true;
  for (int32_t round = 0; round < 20; ++round) {
    fx.setProgram(round % 8);  // new kernels, thresholds, times, lookahead
    fx.set(Fir1Freq, round % 2 ? 80.0f : 500.0f);
    fx.run(round % 3 == 0 ? 0 : 4096);
  }
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
#else
  GTEST_SKIP() << "the sanitizer owns malloc here";
#endif
}

// NaN, infinities and values far outside the ranges take the nearest step: the output stays
// finite and the latency a whole number in its range.
TEST_F(Lv2Plugin, HostileControlValuesAreHarmless) {
  Plugin fx(library, 44100.0);
  const float hostile[] = {std::nanf(""), INFINITY, -INFINITY, 1e30f, -1e30f, -0.0f};
  for (std::size_t k = 0; k < std::size(hostile); ++k) {
    for (int32_t index = 0; index < kNumParams; ++index) fx.set(index, hostile[(k + index) % 6]);
    fillSignal(fx.in(0), fx.in(1), static_cast<uint32_t>(4096 * k), 44100.0);
    fx.run(4096);
    for (int c = 0; c < 2; ++c) {
      for (float v : fx.out(c)) ASSERT_TRUE(std::isfinite(v));
    }
    EXPECT_GE(fx.latency(), 0.0f);
    EXPECT_LE(fx.latency(), 22212.0f);
    EXPECT_EQ(fx.latency(), std::floor(fx.latency()));
  }
}

// A rate the host cannot mean is refused at instantiation.
TEST_F(Lv2Plugin, RefusesMeaninglessRates) {
  const LV2_Descriptor* d = library.descriptor();
  for (double rate : {0.0, -44100.0, std::nan("")}) {
    EXPECT_EQ(d->instantiate(d, rate, KESTRANE_LV2_BUNDLE "/", nullptr), nullptr) << rate;
  }
}

// After a block of signal the level meters show it and the gain-reduction meters lie in range.
TEST_F(Lv2Plugin, MetersShowTheSignal) {
  Plugin fx(library, 44100.0);
  fillSignal(fx.in(0), fx.in(1), 0, 44100.0);
  fx.run(4096);
  EXPECT_GT(fx.meter(LevelInputLeft), 0.0f);
  EXPECT_GT(fx.meter(LevelOutputRight), 0.0f);
  for (uint32_t b = 0; b < 2 * kNumBands; ++b) {
    const float v = fx.meter(kNumLevelSlots + b);
    EXPECT_GE(v, b % 2 ? 0.0f : -0.1f);
    EXPECT_LE(v, 1.0f);
  }
}

}  // namespace
}  // namespace kestrane::lv2
