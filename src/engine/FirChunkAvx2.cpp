// The FIR chunk with 256-bit integer vectors (AVX2), chosen at run time (SimdLevel).
//
// Only this file's own functions are compiled for AVX2: every header is included before the
// target switch below, so no inline function shared with other files (whose one copy the linker
// keeps for the whole program) is ever compiled for it. The rest of the library stays SSE2.
#include <immintrin.h>

#include <cstdint>

#include "engine/FirChunk.h"
#include "engine/FirStage.h"
#include "engine/FixedPoint.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#pragma GCC push_options
#pragma GCC target("avx2")

namespace kestrane {
namespace {

// Eight consecutive outputs per step. The products are 32 x 32 -> 64 bits, which AVX2 forms
// four at a time (vpmuldq: the signed low halves of the four 64-bit lanes). Eight history
// samples h[p - j L .. p - j L + 7] are one load; the even outputs multiply it as it stands,
// the odd ones after a 32-bit shift down of every lane, each against the tap broadcast.
inline __m256i load8(const int32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// acc[0..7] = the tap sums of the 8 outputs whose newest inputs are h[0..7]. `h` points into
// the mirrored ring so that h[-54 L] and h[7] both lie inside it.
template <bool Folded>
inline void tapSums8(const int32_t* h, const int32_t* taps, int32_t l, int64_t* acc) {
  __m256i even = _mm256_setzero_si256();  // outputs 0, 2, 4, 6
  __m256i odd = _mm256_setzero_si256();   // outputs 1, 3, 5, 7
  auto add = [&](__m256i x, int32_t tap) {
    const __m256i t = _mm256_set1_epi32(tap);
    even = _mm256_add_epi64(even, _mm256_mul_epi32(x, t));
    odd = _mm256_add_epi64(odd, _mm256_mul_epi32(_mm256_srli_epi64(x, 32), t));
  };
  if (Folded) {
    // Symmetric pairs summed in 32 bits (exact for calm samples, see FirChunk::folded), then
    // multiplied once per pair; `newer` walks back from h[0], `older` forward from h[-54 L].
    const int32_t* newer = h;
    const int32_t* older = h - (KernelTaps - 1) * l;
#pragma GCC unroll 3
    for (int32_t j = 0; j < KernelTaps / 2; ++j, newer -= l, older += l) {
      add(_mm256_add_epi32(load8(newer), load8(older)), taps[j]);
    }
    add(load8(newer), taps[KernelTaps / 2]);
  } else {
    const int32_t* p = h;
#pragma GCC unroll 5
    for (int32_t j = 0; j < KernelTaps; ++j, p -= l) add(load8(p), taps[j]);
  }
  // Back into sample order: [e0 o0 e2 o2] and [e1 o1 e3 o3] by 64-bit interleave within the
  // 128-bit halves, then the halves regrouped into outputs 0..3 and 4..7.
  const __m256i a = _mm256_unpacklo_epi64(even, odd);
  const __m256i b = _mm256_unpackhi_epi64(even, odd);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc), _mm256_permute2x128_si256(a, b, 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + 4), _mm256_permute2x128_si256(a, b, 0x31));
}

template <bool Folded>
void tapSums(const FirChunk& k, int64_t* acc) {
  // Steps of 8 may run past the chunk's last sample into samples not yet stored; those lanes
  // read stale history and their sums are never used. The pointer stays inside the mirrored
  // ring: the upper copy up to slot 4088, the lower one beyond (where p >= 4089 > 54 L).
  for (int32_t i = 0; i < k.frames; i += 8) {
    const int32_t slot = (k.first + i) & FirHistoryMask;
    const bool upper = slot + FirHistoryLength + 8 <= FirMirroredLength;
    const int32_t* h = k.ring + slot + (upper ? FirHistoryLength : 0);
    tapSums8<Folded>(h, k.taps, k.spacing, acc + i);
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

// The double integrator and the outputs, four samples at a time: the running sums become
// prefix sums within the vector plus the carry of the samples before (the last lane of the
// previous step, broadcast). Then, per lane, the kept slices of the scale and gain products:
// bits 28..59 and 31..62 are the low halves of the 64-bit products shifted right by 28 and 31
// (a logical shift leaves the same low 32 bits as the reference's arithmetic one).
void integrate(const FirChunk& k, const int64_t* acc) {
  __m256i carry1 = _mm256_set1_epi64x(*k.integ1);
  __m256i carry2 = _mm256_set1_epi64x(*k.integ2);
  const __m256i scale = _mm256_set1_epi32(k.scale);
  const __m256i gain = _mm256_set1_epi32(k.gain);
  const __m256i lowHalves = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
  int32_t i = 0;
  for (; i + 4 <= k.frames; i += 4) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + i));
    const __m256i i1 = _mm256_add_epi64(prefixSum4(a), carry1);
    carry1 = _mm256_permute4x64_epi64(i1, _MM_SHUFFLE(3, 3, 3, 3));
    const __m256i i2 = _mm256_add_epi64(prefixSum4(i1), carry2);
    carry2 = _mm256_permute4x64_epi64(i2, _MM_SHUFFLE(3, 3, 3, 3));

    const __m256i t = _mm256_srli_epi64(_mm256_mul_epi32(_mm256_srli_epi64(i2, 32), scale), 28);
    const __m256i low = _mm256_srli_epi64(_mm256_mul_epi32(t, gain), 31);
    const __m128i low4 =
        _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(low, lowHalves));
    const int32_t slot = (k.first + i) & FirHistoryMask;
    const __m128i delayed = _mm_loadu_si128(
        reinterpret_cast<const __m128i*>(k.ring + slot + FirHistoryLength - k.delay));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(k.low + i), low4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(k.high + i), _mm_sub_epi32(delayed, low4));
  }
  int64_t carries[4];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(carries), carry1);
  uint64_t s1 = static_cast<uint64_t>(carries[0]);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(carries), carry2);
  uint64_t s2 = static_cast<uint64_t>(carries[0]);
  for (; i < k.frames; ++i) {
    s1 += static_cast<uint64_t>(acc[i]);
    s2 += s1;
    const int32_t low = mulQ31(mulQ28(static_cast<int32_t>(s2 >> 32), k.scale), k.gain);
    const int32_t slot = (k.first + i) & FirHistoryMask;
    k.low[i] = low;
    k.high[i] = wrapSub(k.ring[slot + FirHistoryLength - k.delay], low);
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

#pragma GCC pop_options

#else

namespace kestrane {
void runFirChunkAvx2(const FirChunk& chunk) noexcept { runFirChunkPortable(chunk); }
}  // namespace kestrane

#endif
