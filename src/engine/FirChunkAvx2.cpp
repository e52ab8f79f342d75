// The FIR chunk with 256-bit integer vectors (AVX2), chosen at run time (SimdLevel). Every
// header comes before engine/Avx2Begin.h, so only this file's own functions are compiled for
// AVX2.
#include <immintrin.h>

#include <cstdint>

#include "engine/FirChunk.h"
#include "engine/FirStage.h"
#include "engine/FixedPoint.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#include "engine/Avx2Begin.h"

namespace kestrane {
namespace {

// Eight consecutive outputs per vector. The products are 32 x 32 -> 64 bits, which AVX2 forms
// four at a time (vpmuldq: the signed low halves of the four 64-bit lanes). Eight history
// samples h[p - j L .. p - j L + 7] are one load; the even outputs multiply it as it stands,
// the odd ones after a 32-bit shift down of every lane, each against the tap broadcast.
//
// acc[0 .. 8 G) = the tap sums of the 8 G outputs whose newest inputs are h[0 .. 8 G). `h`
// points into the mirrored ring so that h[-54 L] and h[8 G - 1] both lie inside it. Two groups
// or four (16 or 32 outputs) share each tap's broadcast and the walk through the taps.
template <bool Folded, int Groups>
inline void tapSumsOf(const int32_t* h, const int32_t* taps, int32_t l, int64_t* acc) {
  __m256i even[Groups], odd[Groups];  // outputs 0, 2, 4, 6 and 1, 3, 5, 7 of each group
  for (int g = 0; g < Groups; ++g) even[g] = odd[g] = _mm256_setzero_si256();
  auto add = [&](int g, __m256i x, __m256i t) {
    even[g] = _mm256_add_epi64(even[g], _mm256_mul_epi32(x, t));
    odd[g] = _mm256_add_epi64(odd[g], _mm256_mul_epi32(_mm256_srli_epi64(x, 32), t));
  };
  if (Folded) {
    // Symmetric pairs summed in 32 bits (exact for calm samples, see FirChunk::folded), then
    // multiplied once per pair; `newer` walks back from h[0], `older` forward from h[-54 L].
    const int32_t* newer = h;
    const int32_t* older = h - (KernelTaps - 1) * l;
#pragma GCC unroll 3
    for (int32_t j = 0; j < KernelTaps / 2; ++j, newer -= l, older += l) {
      const __m256i t = _mm256_set1_epi32(taps[j]);
      for (int g = 0; g < Groups; ++g) {
        add(g, _mm256_add_epi32(load8(newer + 8 * g), load8(older + 8 * g)), t);
      }
    }
    const __m256i t = _mm256_set1_epi32(taps[KernelTaps / 2]);
    for (int g = 0; g < Groups; ++g) add(g, load8(newer + 8 * g), t);
  } else {
    const int32_t* p = h;
#pragma GCC unroll 5
    for (int32_t j = 0; j < KernelTaps; ++j, p -= l) {
      const __m256i t = _mm256_set1_epi32(taps[j]);
      for (int g = 0; g < Groups; ++g) add(g, load8(p + 8 * g), t);
    }
  }
  // Back into sample order: [e0 o0 e2 o2] and [e1 o1 e3 o3] by 64-bit interleave within the
  // 128-bit halves, then the halves regrouped into outputs 0..3 and 4..7.
  for (int g = 0; g < Groups; ++g) {
    const __m256i a = _mm256_unpacklo_epi64(even[g], odd[g]);
    const __m256i b = _mm256_unpackhi_epi64(even[g], odd[g]);
    int64_t* out = acc + 8 * g;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(a, b, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4),
                        _mm256_permute2x128_si256(a, b, 0x31));
  }
}

// The history pointer for outputs from ring slot `slot` on, `span` of them: the upper copy
// while the span fits below its end, the lower one beyond (there slot > FirHistoryLength - span
// >= 54 L, so the reach back stays inside the ring too).
inline const int32_t* historyAt(const int32_t* ring, int32_t slot, int32_t span) {
  return ring + slot + (slot + FirHistoryLength + span <= FirMirroredLength ? FirHistoryLength : 0);
}

template <bool Folded>
void tapSums(const FirChunk& k, int64_t* acc) {
  // Steps of 32 (then at most one of 16 and one of 8) may run past the chunk's last sample
  // into samples not yet stored; those lanes read stale history and their sums are never used.
  int32_t i = 0;
  for (; i + 24 < k.frames; i += 32) {
    const int32_t slot = (k.first + i) & FirHistoryMask;
    tapSumsOf<Folded, 4>(historyAt(k.ring, slot, 32), k.taps, k.spacing, acc + i);
  }
  if (i + 8 < k.frames) {
    const int32_t slot = (k.first + i) & FirHistoryMask;
    tapSumsOf<Folded, 2>(historyAt(k.ring, slot, 16), k.taps, k.spacing, acc + i);
    i += 16;
  }
  if (i < k.frames) {
    const int32_t slot = (k.first + i) & FirHistoryMask;
    tapSumsOf<Folded, 1>(historyAt(k.ring, slot, 8), k.taps, k.spacing, acc + i);
  }
}

// The high halves of eight consecutive 64-bit words, as eight int32 in order: the odd 32-bit
// elements of both loads, picked per 128-bit half (samples 0 1 4 5 | 2 3 6 7), then the
// 64-bit pieces put in order.
inline __m256i highHalves8(const int64_t* p) {
  const __m256 a = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
  const __m256 b =
      _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 4)));
  const __m256i mixed = _mm256_castps_si256(_mm256_shuffle_ps(a, b, 0xdd));
  return _mm256_permute4x64_epi64(mixed, 0xd8);
}

// The double integrator and the outputs. The running sums go one sample at a time: each is
// one addition per sample, a chain the processor runs at about a sample per cycle, where
// prefix sums across vector lanes cost several shuffles per four samples. The second sum
// replaces each tap sum in `acc` (three instructions a sample); only its high half reaches the
// outputs, which vectors of eight then form: the kept slices of the scale product
// (bits 28..59) and of the gain product (bits 31..62).
void integrate(const FirChunk& k, int64_t* acc) {
  const int32_t frames = k.frames;
  uint64_t s1 = static_cast<uint64_t>(*k.integ1);
  uint64_t s2 = static_cast<uint64_t>(*k.integ2);
#pragma GCC unroll 4
  for (int32_t i = 0; i < frames; ++i) {
    s1 += static_cast<uint64_t>(acc[i]);
    s2 += s1;
    acc[i] = static_cast<int64_t>(s2);
  }
  *k.integ1 = static_cast<int64_t>(s1);
  *k.integ2 = static_cast<int64_t>(s2);

  const int32_t* const delayed = k.ring + FirHistoryLength - k.delay;  // slot p: delayed[p]
  const __m256i scale = _mm256_set1_epi32(k.scale);
  const __m256i gain = _mm256_set1_epi32(k.gain);
  int32_t i = 0;
  for (; i + 8 <= frames; i += 8) {
    const __m256i low = keptSlice<31>(keptSlice<28>(highHalves8(acc + i), scale), gain);
    const int32_t slot = (k.first + i) & FirHistoryMask;
    store8(k.low + i, low);
    store8(k.high + i, _mm256_sub_epi32(load8(delayed + slot), low));
  }
  for (; i < frames; ++i) {
    const int32_t low = mulQ31(mulQ28(static_cast<int32_t>(acc[i] >> 32), k.scale), k.gain);
    const int32_t slot = (k.first + i) & FirHistoryMask;
    k.low[i] = low;
    k.high[i] = wrapSub(delayed[slot], low);
  }
}

}  // namespace

uint32_t storeMirroredAvx2(int32_t* at, const int32_t* x, int32_t count) noexcept {
  // A sample is restless when bit 31 of x + 2^30 is set; the sums of all samples are or-ed
  // together and their sign bits read once at the end. The last few go the portable way.
  const __m256i bias = _mm256_set1_epi32(FirCalmLimit);
  __m256i signs = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i v = load8(x + i);
    store8(at + i, v);
    store8(at + i + FirHistoryLength, v);
    signs = _mm256_or_si256(signs, _mm256_add_epi32(v, bias));
  }
  const uint32_t restless = _mm256_movemask_ps(_mm256_castsi256_ps(signs)) != 0 ? 1u : 0u;
  return restless | storeMirroredPortable(at + i, x + i, count - i);
}

void runFirChunkAvx2(const FirChunk& chunk) noexcept {
  // Tap sums for up to FirChunkLimit samples, rounded up to whole steps of 8; then the second
  // sums in their place.
  alignas(32) int64_t acc[FirChunkLimit];
  if (chunk.folded) {
    tapSums<true>(chunk, acc);
  } else {
    tapSums<false>(chunk, acc);
  }
  integrate(chunk, acc);
}

}  // namespace kestrane

#include "engine/Avx2End.h"

#else

namespace kestrane {
void runFirChunkAvx2(const FirChunk& chunk) noexcept { runFirChunkPortable(chunk); }
uint32_t storeMirroredAvx2(int32_t* at, const int32_t* x, int32_t count) noexcept {
  return storeMirroredPortable(at, x, count);
}
}  // namespace kestrane

#endif
