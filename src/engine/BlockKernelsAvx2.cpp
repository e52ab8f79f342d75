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

// The band mix, eight frames at a time through all four bands and both channels, the sums in
// registers: mulQ23(mulQ23(x, makeup), gain) per lane. The sums wrap like the reference's
// (modulo 2^32, in any order).
void mixBandsAvx2(const BandMix& mix, BlockPeaks& peaks) noexcept {
  const int32_t whole = mix.frames & ~7;
  __m256i makeup[kNumBands], bandTop[kNumBands], gainTop[kNumBands], outTop[2];
  for (int32_t b = 0; b < kNumBands; ++b) {
    makeup[b] = _mm256_set1_epi32(mix.makeup[b]);
    bandTop[b] = gainTop[b] = _mm256_setzero_si256();
  }
  outTop[0] = outTop[1] = _mm256_setzero_si256();
  // n / 2^23 in single precision: the int32 rounded once to float (the host's rounding mode,
  // as in the reference's double-to-float step) and scaled by an exact power of two.
  const __m256 unit = _mm256_set1_ps(1.0f / 8388608.0f);
  for (int32_t i = 0; i < whole; i += 8) {
    __m256i sum[2] = {_mm256_setzero_si256(), _mm256_setzero_si256()};
    for (int32_t b = 0; b < kNumBands; ++b) {
      const __m256i g = load8(mix.gain[b] + i);
      gainTop[b] = _mm256_max_epu32(gainTop[b], g);
      for (std::size_t ch = 0; ch < 2; ++ch) {
        const __m256i v = load8(mix.band[b][ch] + i);
        const __m256i y = keptSlice<23>(keptSlice<23>(v, makeup[b]), g);
        sum[ch] = _mm256_add_epi32(sum[ch], y);
        bandTop[b] = _mm256_max_epu32(bandTop[b], magnitudes(y));
      }
    }
    for (std::size_t ch = 0; ch < 2; ++ch) {
      outTop[ch] = _mm256_max_epu32(outTop[ch], magnitudes(sum[ch]));
      _mm256_storeu_ps(mix.output[ch] + i, _mm256_mul_ps(_mm256_cvtepi32_ps(sum[ch]), unit));
    }
  }
  for (int32_t b = 0; b < kNumBands; ++b) {
    peaks.bandOutput[b] = std::max(peaks.bandOutput[b], maxLane(bandTop[b]));
    peaks.bandGain[b] = std::max(peaks.bandGain[b], maxLane(gainTop[b]));
  }
  for (std::size_t ch = 0; ch < 2; ++ch) {
    peaks.output[ch] = std::max(peaks.output[ch], maxLane(outTop[ch]));
  }
  // The last few frames as the portable mix does them.
  if (whole < mix.frames) {
    BandMix rest = mix;
    for (int32_t b = 0; b < kNumBands; ++b) {
      for (std::size_t ch = 0; ch < 2; ++ch) rest.band[b][ch] += whole;
      rest.gain[b] += whole;
    }
    rest.output = {mix.output[0] + whole, mix.output[1] + whole};
    rest.frames = mix.frames - whole;
    mixBandsPortable(rest, peaks);
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
