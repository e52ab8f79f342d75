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
// while the span fits below its end, the lower one beyond (there slot > 4096 - span >= 54 L,
// so the reach back stays inside the ring too).
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

// x0, x0 + x1, x0 + x1 + x2, x0 + ... + x3 across the four 64-bit lanes (modulo 2^64).
inline __m256i prefixSum4(__m256i x) {
  const __m256i up1 =
      _mm256_blend_epi32(_mm256_permute4x64_epi64(x, _MM_SHUFFLE(2, 1, 0, 0)),
                         _mm256_setzero_si256(), 0x03);  // [0 x0 x1 x2]
  x = _mm256_add_epi64(x, up1);
  return _mm256_add_epi64(x, _mm256_permute2x128_si256(x, x, 0x08));  // + [0 0 x0 x1]
}

// The double integrator and the outputs, eight samples at a time in two vectors of four: the
// running sums become prefix sums within a vector plus the carry of the samples before (the
// running sum so far, broadcast). The carry moves on by the vector's own total, which does not
// wait for the carry, so from one vector to the next each sum waits for one addition only.
// Then, per lane, the kept slices of the scale
// and gain products: bits 28..59 and 31..62 are the low halves of the 64-bit products shifted
// right by 28 and 31 (a logical shift leaves the same low 32 bits as the reference's
// arithmetic one).
void integrate(const FirChunk& k, const int64_t* acc) {
  const int32_t* const ring = k.ring;
  const int32_t first = k.first;
  const int32_t frames = k.frames;
  const int32_t delay = k.delay;
  int32_t* const lowOut = k.low;
  int32_t* const highOut = k.high;
  __m256i carry1 = _mm256_set1_epi64x(*k.integ1);
  __m256i carry2 = _mm256_set1_epi64x(*k.integ2);
  const __m256i scale = _mm256_set1_epi32(k.scale);
  const __m256i gain = _mm256_set1_epi32(k.gain);
  const __m256i inOrder = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);

  // The outputs of four samples, their kept 32 bits in the low half of each 64-bit lane.
  auto lowOf = [&](__m256i a) {
    const __m256i p1 = prefixSum4(a);
    const __m256i i1 = _mm256_add_epi64(p1, carry1);
    carry1 = _mm256_add_epi64(carry1, _mm256_permute4x64_epi64(p1, _MM_SHUFFLE(3, 3, 3, 3)));
    const __m256i p2 = prefixSum4(i1);
    const __m256i i2 = _mm256_add_epi64(p2, carry2);
    carry2 = _mm256_add_epi64(carry2, _mm256_permute4x64_epi64(p2, _MM_SHUFFLE(3, 3, 3, 3)));
    const __m256i t = _mm256_srli_epi64(_mm256_mul_epi32(_mm256_srli_epi64(i2, 32), scale), 28);
    return _mm256_srli_epi64(_mm256_mul_epi32(t, gain), 31);
  };

  int32_t i = 0;
  for (; i + 8 <= frames; i += 8) {
    const __m256i lowA = lowOf(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + i)));
    const __m256i lowB = lowOf(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + i + 4)));
    // Dwords a0 b0 a1 b1 a2 b2 a3 b3, then into sample order.
    const __m256i low = _mm256_permutevar8x32_epi32(
        _mm256_blend_epi32(lowA, _mm256_slli_epi64(lowB, 32), 0xaa), inOrder);
    const int32_t slot = (first + i) & FirHistoryMask;
    const __m256i delayed = _mm256_loadu_si256(
        reinterpret_cast<const __m256i*>(ring + slot + FirHistoryLength - delay));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lowOut + i), low);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(highOut + i), _mm256_sub_epi32(delayed, low));
  }
  int64_t carries[4];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(carries), carry1);
  uint64_t s1 = static_cast<uint64_t>(carries[0]);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(carries), carry2);
  uint64_t s2 = static_cast<uint64_t>(carries[0]);
  for (; i < frames; ++i) {
    s1 += static_cast<uint64_t>(acc[i]);
    s2 += s1;
    const int32_t low = mulQ31(mulQ28(static_cast<int32_t>(s2 >> 32), k.scale), k.gain);
    const int32_t slot = (first + i) & FirHistoryMask;
    lowOut[i] = low;
    highOut[i] = wrapSub(ring[slot + FirHistoryLength - delay], low);
  }
  *k.integ1 = static_cast<int64_t>(s1);
  *k.integ2 = static_cast<int64_t>(s2);
}

}  // namespace

void runFirChunkAvx2(const FirChunk& chunk) noexcept {
  // Tap sums for up to FirChunkLimit samples, rounded up to whole steps of 8.
  int64_t acc[FirChunkLimit];
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
}  // namespace kestrane

#endif
