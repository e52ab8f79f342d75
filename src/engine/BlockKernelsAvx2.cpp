// The block's sample loops with 256-bit integer vectors (AVX2), chosen at run time (SimdLevel).
// Every header comes before engine/Avx2Begin.h, so only this file's own functions are compiled
// for AVX2.
#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "engine/BandPath.h"
#include "engine/BlockKernels.h"
#include "engine/FixedPoint.h"
#include "engine/SampleConversion.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#include "engine/Avx2Begin.h"

namespace kestrane {
namespace {

// The largest of the eight lanes, unsigned.
inline uint32_t maxLane(__m256i v) {
  uint32_t lanes[8];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), v);
  return *std::max_element(lanes, lanes + 8);
}

// |x| as an unsigned 32-bit magnitude: vpabsd leaves INT32_MIN as 0x80000000, which read
// unsigned is 2^31, the same as magnitude().
inline __m256i magnitudes(__m256i x) { return _mm256_abs_epi32(x); }

}  // namespace

// floatToQ23 for eight samples at once where all eight lie strictly inside +-256.0 (and are
// not NaN): x * 2^23 is then exact in single precision (a power-of-two scale of a 24-bit
// significand, below 2^31 and, for the smallest denormal, still a normal number), and
// rounding it to the nearest integer with ties to even, as an explicit rounding that ignores
// the host's rounding mode, is the reference's integer rounding of the same exact value.
// Groups with a sample outside go through the scalar conversion.
void floatsToQ23Avx2(const float* in, int32_t* out, int32_t frames, uint32_t& peak) noexcept {
  const __m256 scale = _mm256_set1_ps(8388608.0f);
  const __m256 limit = _mm256_set1_ps(256.0f);
  const __m256 noSign = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
  __m256i top = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 8 <= frames; i += 8) {
    const __m256 x = _mm256_loadu_ps(in + i);
    const __m256 inside = _mm256_cmp_ps(_mm256_and_ps(x, noSign), limit, _CMP_LT_OQ);
    __m256i q;
    if (_mm256_movemask_ps(inside) == 0xff) {
      q = _mm256_cvttps_epi32(_mm256_round_ps(_mm256_mul_ps(x, scale),
                                              _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
      store8(out + i, q);
    } else {
      for (int32_t k = 0; k < 8; ++k) out[i + k] = floatToQ23(in[i + k]);
      q = load8(out + i);
    }
    top = _mm256_max_epu32(top, magnitudes(q));
  }
  uint32_t p = std::max(peak, maxLane(top));
  for (; i < frames; ++i) {
    out[i] = floatToQ23(in[i]);
    p = std::max(p, magnitude(out[i]));
  }
  peak = p;
}

void detectorInputsAvx2(const int32_t* left, const int32_t* right, int32_t* out, int32_t frames,
                        uint32_t& peak) noexcept {
  __m256i top = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 8 <= frames; i += 8) {
    const __m256i m = _mm256_max_epu32(magnitudes(load8(left + i)), magnitudes(load8(right + i)));
    store8(out + i, m);
    top = _mm256_max_epu32(top, m);
  }
  uint32_t p = std::max(peak, maxLane(top));
  for (; i < frames; ++i) {
    const uint32_t m = std::max(magnitude(left[i]), magnitude(right[i]));
    out[i] = static_cast<int32_t>(m);
    p = std::max(p, m);
  }
  peak = p;
}

// The band mix, eight samples of one band and channel at a time. mulQ23(a, b) keeps bits
// 23..54 of the 64-bit product: vpmuldq forms the products of the even lanes (the odd ones
// after a 32-bit shift down), a logical shift right by 23 leaves the kept slice in the low half
// of each 64-bit lane (the low 32 bits are the same as after the reference's arithmetic
// shift). For the odd lanes the second product is shifted left by 9 instead, which puts the
// same slice in the high half, where a blend merges it with the even lanes.
void mixBandsAvx2(const BandMix& mix, BlockPeaks& peaks) noexcept {
  constexpr int32_t kPiece = 256;
  int32_t sum[2][kPiece];
  for (int32_t start = 0; start < mix.frames; start += kPiece) {
    const int32_t n = std::min(kPiece, mix.frames - start);
    const int32_t whole = n & ~7;
    for (int32_t b = 0; b < kNumBands; ++b) {
      const int32_t* gain = mix.gain[b] + start;
      const int32_t makeup = mix.makeup[b];
      const __m256i m = _mm256_set1_epi32(makeup);
      __m256i gainTop = _mm256_setzero_si256();
      __m256i outTop = _mm256_setzero_si256();
      for (std::size_t ch = 0; ch < 2; ++ch) {
        const int32_t* x = mix.band[b][ch] + start;
        int32_t* s = sum[ch];
        for (int32_t i = 0; i < whole; i += 8) {
          const __m256i v = load8(x + i);
          const __m256i g = load8(gain + i);
          const __m256i evenScaled = _mm256_srli_epi64(_mm256_mul_epi32(v, m), 23);
          const __m256i oddScaled =
              _mm256_srli_epi64(_mm256_mul_epi32(_mm256_srli_epi64(v, 32), m), 23);
          const __m256i even = _mm256_srli_epi64(_mm256_mul_epi32(evenScaled, g), 23);
          const __m256i odd =
              _mm256_slli_epi64(_mm256_mul_epi32(oddScaled, _mm256_srli_epi64(g, 32)), 9);
          const __m256i y = _mm256_blend_epi32(even, odd, 0xaa);
          store8(s + i, b == 0 ? y : _mm256_add_epi32(load8(s + i), y));
          outTop = _mm256_max_epu32(outTop, magnitudes(y));
          if (ch == 0) gainTop = _mm256_max_epu32(gainTop, g);
        }
        uint32_t outPeak = peaks.bandOutput[b];
        for (int32_t i = whole; i < n; ++i) {
          const int32_t y = mulQ23(mulQ23(x[i], makeup), gain[i]);
          s[i] = b == 0 ? y : wrapAdd(s[i], y);
          outPeak = std::max(outPeak, magnitude(y));
        }
        peaks.bandOutput[b] = std::max(outPeak, maxLane(outTop));
      }
      uint32_t gainPeak = std::max(peaks.bandGain[b], maxLane(gainTop));
      for (int32_t i = whole; i < n; ++i) {
        gainPeak = std::max(gainPeak, static_cast<uint32_t>(gain[i]));
      }
      peaks.bandGain[b] = gainPeak;
    }

    // n / 2^23 in single precision: the int32 rounded once to float (the host's rounding
    // mode, as in the reference's double-to-float step) and scaled by an exact power of two.
    const __m256 unit = _mm256_set1_ps(1.0f / 8388608.0f);
    for (std::size_t ch = 0; ch < 2; ++ch) {
      const int32_t* s = sum[ch];
      float* out = mix.output[ch] + start;
      __m256i top = _mm256_setzero_si256();
      int32_t i = 0;
      for (; i < whole; i += 8) {
        const __m256i v = load8(s + i);
        top = _mm256_max_epu32(top, magnitudes(v));
        _mm256_storeu_ps(out + i, _mm256_mul_ps(_mm256_cvtepi32_ps(v), unit));
      }
      uint32_t p = std::max(peaks.output[ch], maxLane(top));
      for (; i < n; ++i) {
        p = std::max(p, magnitude(s[i]));
        out[i] = q23ToFloat(s[i]);
      }
      peaks.output[ch] = p;
    }
  }
}

}  // namespace kestrane

#include "engine/Avx2End.h"

#else

namespace kestrane {
void floatsToQ23Avx2(const float* in, int32_t* out, int32_t frames, uint32_t& peak) noexcept {
  floatsToQ23Portable(in, out, frames, peak);
}
void detectorInputsAvx2(const int32_t* left, const int32_t* right, int32_t* out, int32_t frames,
                        uint32_t& peak) noexcept {
  detectorInputsPortable(left, right, out, frames, peak);
}
void mixBandsAvx2(const BandMix& mix, BlockPeaks& peaks) noexcept {
  mixBandsPortable(mix, peaks);
}
}  // namespace kestrane

#endif
