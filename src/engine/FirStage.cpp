#include "engine/FirStage.h"

#include <algorithm>

#include "engine/FirChunk.h"
#include "engine/FixedPoint.h"
#include "engine/LookupTables.h"

namespace kestrane {
namespace {

// -2^30 <= x < 2^30, i.e. bit 31 of x + 2^30 (taken modulo 2^32) is clear.
inline uint32_t restlessBit(int32_t x) noexcept {
  return (static_cast<uint32_t>(x) + static_cast<uint32_t>(FirCalmLimit)) >> 31;
}

}  // namespace

uint32_t storeMirroredPortable(int32_t* at, const int32_t* x, int32_t count) noexcept {
  uint32_t restless = 0;
  for (int32_t i = 0; i < count; ++i) {
    at[i] = x[i];
    at[i + FirHistoryLength] = x[i];
    restless |= restlessBit(x[i]);
  }
  return restless;
}

void FirStage::load(const KernelRecord& record) noexcept {
  kernel = record;
  spacing = record[KernelSpacingWord];
  scale = KernelScaleTable[static_cast<std::size_t>(record[KernelScaleWord] + KernelScaleOffset)];
  gain = record[KernelGainWord];
  delay = kernelDelay(record);
  clear();
}

void FirStage::clear() noexcept {
  for (auto& ring : history) ring.fill(0);
  integ1 = {};
  integ2 = {};
  calmRun = {FirHistoryLength, FirHistoryLength};
  writePos = 0;
}

void FirStage::store(int32_t channel, int32_t slot, int32_t x) noexcept {
  const std::size_t c = static_cast<std::size_t>(channel);
  history[c][static_cast<std::size_t>(slot)] = x;
  history[c][static_cast<std::size_t>(slot + FirHistoryLength)] = x;
  calmRun[c] = restlessBit(x) != 0 ? 0 : std::min(calmRun[c] + 1, FirHistoryLength);
}

FirOutput FirStage::step(int32_t channel, int32_t x) noexcept {
  store(channel, writePos, x);
  const std::array<int32_t, FirMirroredLength>& ring = history[static_cast<std::size_t>(channel)];

  // Sparse tap sum: 55 products of 32 x 32 bits summed in 64 bits (wrapping, like the adder).
  uint64_t acc = 0;
  for (int32_t j = 0; j < KernelTaps; ++j) {
    const int32_t h = ring[static_cast<std::size_t>((writePos - j * spacing) & FirHistoryMask)];
    acc += static_cast<uint64_t>(static_cast<int64_t>(h) *
                                 kernel[static_cast<std::size_t>(KernelFirstTapWord + j)]);
  }

  // Double integrator, two's-complement: the taps' zero sum and zero first moment bring both
  // sums back after any finite input, so the wrap never shows at the output.
  const std::size_t c = static_cast<std::size_t>(channel);
  integ1[c] = wrapAdd64(integ1[c], static_cast<int64_t>(acc));
  integ2[c] = wrapAdd64(integ2[c], integ1[c]);

  // Only the high 32 bits of the second sum reach the output: times 2^(1 + s), then times G.
  const int32_t t = mulQ28(static_cast<int32_t>(integ2[c] >> 32), scale);
  const int32_t low = mulQ31(t, gain);
  const int32_t delayed = ring[static_cast<std::size_t>((writePos - delay) & FirHistoryMask)];
  return {low, wrapSub(delayed, low)};
}

void FirStage::runPassReference(const FirPassBuffers& buffers, int32_t frames) noexcept {
  // The channels share only the write position, so each channel runs through the whole block
  // from the same start; the position moves on once at the end.
  const int32_t start = writePos;
  for (std::size_t c = 0; c < 2; ++c) {
    writePos = start;
    for (int32_t i = 0; i < frames; ++i) {
      const FirOutput out = step(static_cast<int32_t>(c), buffers.input[c][i]);
      buffers.low[c][i] = out.low;
      buffers.high[c][i] = out.high;
      advance();
    }
  }
  writePos = (start + (frames > 0 ? frames : 0)) & FirHistoryMask;
}

void FirStage::runPass(const FirPassBuffers& buffers, int32_t frames) noexcept {
  if (frames <= 0) return;
  const bool avx2 = usableSimdLevel(simd) == SimdLevel::Avx2;
  void (*const runChunk)(const FirChunk&) noexcept = avx2 ? runFirChunkAvx2 : runFirChunkPortable;
  uint32_t (*const storeMirrored)(int32_t*, const int32_t*, int32_t) noexcept =
      avx2 ? storeMirroredAvx2 : storeMirroredPortable;

  // A chunk stores all its inputs before any of its outputs is formed, so it must not run so
  // far ahead that it overwrites the oldest sample its first output reaches back to.
  const int32_t reach = (KernelTaps - 1) * spacing;
  const int32_t limit = std::max(1, std::min(FirChunkLimit, FirHistoryLength - reach));

  for (std::size_t c = 0; c < 2; ++c) {
    int32_t* ring = history[c].data();
    for (int32_t done = 0; done < frames;) {
      const int32_t n = std::min(limit, frames - done);
      const int32_t first = (writePos + done) & FirHistoryMask;
      const int32_t* x = buffers.input[c] + done;

      // Both copies of the ring, in at most two pieces, and whether any input is restless, in
      // one pass over the inputs.
      const int32_t beforeEnd = std::min(n, FirHistoryLength - first);
      const uint32_t restless = storeMirrored(ring + first, x, beforeEnd) |
                                storeMirrored(ring, x + beforeEnd, n - beforeEnd);

      // Calm bookkeeping: the chunk folds when its own inputs and the reach behind it are calm.
      const bool folded = restless == 0 && calmRun[c] >= reach;
      if (restless == 0) {
        calmRun[c] = std::min(calmRun[c] + n, FirHistoryLength);
      } else {
        int32_t last = n - 1;
        while (restlessBit(x[last]) == 0) --last;
        calmRun[c] = n - 1 - last;
      }

      runChunk({ring, first, n, kernel.data() + KernelFirstTapWord, spacing, delay, scale, gain,
                folded, &integ1[c], &integ2[c], buffers.low[c] + done, buffers.high[c] + done});
      done += n;
    }
  }
  writePos = (writePos + frames) & FirHistoryMask;
}

// --- The portable chunk ------------------------------------------------------------------------

namespace {

// The tap sum of the sample whose newest input is h[0] (in the upper copy of the mirrored ring,
// so that h[-j L] is never before the ring's start).
//
// Folded: tap j equals tap 54 - j, so tap j * a + tap (54 - j) * b = tap j * (a + b). Calm
// samples lie in [-2^30, 2^30), so a + b lies in [-2^31, 2^31 - 2]: the int32 sum is exact and
// each pair costs one 32 x 32 -> 64-bit product. Products are below 2^62 in magnitude; their
// sum wraps modulo 2^64 like the reference's.
template <bool Folded>
inline uint64_t tapSum(const int32_t* h, const int32_t* taps, int32_t l) noexcept {
  uint64_t acc = 0;
  if (Folded) {
#pragma GCC unroll 27
    for (int32_t j = 0; j < KernelTaps / 2; ++j) {
      const int32_t pair = h[-j * l] + h[-(KernelTaps - 1 - j) * l];
      acc += static_cast<uint64_t>(static_cast<int64_t>(pair) * taps[j]);
    }
    const int32_t centre = KernelTaps / 2;
    acc += static_cast<uint64_t>(static_cast<int64_t>(h[-centre * l]) * taps[centre]);
  } else {
#pragma GCC unroll 55
    for (int32_t j = 0; j < KernelTaps; ++j) {
      acc += static_cast<uint64_t>(static_cast<int64_t>(h[-j * l]) * taps[j]);
    }
  }
  return acc;
}

template <bool Folded>
void runChunkPortable(const FirChunk& k) noexcept {
  uint64_t i1 = static_cast<uint64_t>(*k.integ1);
  uint64_t i2 = static_cast<uint64_t>(*k.integ2);
  for (int32_t i = 0; i < k.frames; ++i) {
    const int32_t* h = k.ring + ((k.first + i) & FirHistoryMask) + FirHistoryLength;
    i1 += tapSum<Folded>(h, k.taps, k.spacing);
    i2 += i1;
    const int32_t low = mulQ31(mulQ28(static_cast<int32_t>(i2 >> 32), k.scale), k.gain);
    k.low[i] = low;
    k.high[i] = wrapSub(h[-k.delay], low);
  }
  *k.integ1 = static_cast<int64_t>(i1);
  *k.integ2 = static_cast<int64_t>(i2);
}

}  // namespace

void runFirChunkPortable(const FirChunk& chunk) noexcept {
  if (chunk.folded) {
    runChunkPortable<true>(chunk);
  } else {
    runChunkPortable<false>(chunk);
  }
}

}  // namespace kestrane
