// The block's sample loops with 256-bit integer vectors (AVX2), chosen at run time (SimdLevel).
// Every header comes before engine/Avx2Begin.h, so only this file's own functions are compiled
// for AVX2.
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
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

// The four smoothers side by side, band b in 64-bit lane b with its value in the low 32 bits.
// Each smoother is a chain of a multiply, a shift and an add per sample, and the reference's
// choice of time constants at every step is a branch on that chain's latest value, one that
// music makes hard to predict. Here the choice is made with compares and blends: every
// candidate (the weights and the pull of each pair against the new target) is ready before
// the step's gain is, so the choice adds a few single-cycle operations to the chain.
//
// Lane arithmetic: vpmuldq multiplies the signed low 32 bits of each lane, and bits 23..54 of
// the product, the low half after a 64-bit shift by 23, are mulQ23. The high halves are never
// read, so 32-bit compares and adds may leave anything there.
namespace {

inline __m256i bandLanes(int32_t a, int32_t b, int32_t c, int32_t d) {
  return _mm256_setr_epi64x(a, b, c, d);
}
inline __m256i mulQ23Lanes(__m256i a, __m256i b) {
  return _mm256_srli_epi64(_mm256_mul_epi32(a, b), 23);
}
inline void storeLanes(__m256i v, int32_t* out /* [4] */) {
  alignas(32) int64_t lanes[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
  for (int32_t b = 0; b < 4; ++b) out[b] = static_cast<int32_t>(lanes[b]);
}

}  // namespace

void smoothGainsAvx2(std::array<BandDynamics, kNumBands>& d, const BandCoefficients* c,
                     const std::array<GainTarget, kNumBands>* targets, int32_t firstStep,
                     int32_t frames, const std::array<int32_t*, kNumBands>& gain) noexcept {
  static_assert(kNumBands == 4, "one band per 64-bit lane");
  static_assert(sizeof(GainTarget) == 8 && offsetof(GainTarget, gain) == 0 &&
                    static_cast<int32_t>(GainRegion::Compressor) == 0 &&
                    static_cast<int32_t>(GainRegion::Expander) == 1,
                "a step's targets load as four lanes of gain | region << 32");
  if (frames <= 0) return;
  // One value per band, band b's in lane b.
  auto lanesOf = [](auto value) { return bandLanes(value(0), value(1), value(2), value(3)); };
  // The pairs a step may choose: the gain falls by the compressor's attack or the expander's
  // release, and rises by the compressor's release or the expander's attack.
  const __m256i compFallKeep = lanesOf([c](int b) { return c[b].compAttack.keep; });
  const __m256i compFallTake = lanesOf([c](int b) { return c[b].compAttack.take; });
  const __m256i compRiseKeep = lanesOf([c](int b) { return c[b].compRelease.keep; });
  const __m256i compRiseTake = lanesOf([c](int b) { return c[b].compRelease.take; });
  const __m256i expFallKeep = lanesOf([c](int b) { return c[b].expRelease.keep; });
  const __m256i expFallTake = lanesOf([c](int b) { return c[b].expRelease.take; });
  const __m256i expRiseKeep = lanesOf([c](int b) { return c[b].expAttack.keep; });
  const __m256i expRiseTake = lanesOf([c](int b) { return c[b].expAttack.take; });

  __m256i g = lanesOf([&d](int b) { return d[b].smoothedGain; });
  __m256i keep = lanesOf([&d](int b) { return d[b].activeKeep; });
  __m256i take = lanesOf([&d](int b) { return d[b].activeTake; });
  __m256i target = lanesOf([&d](int b) { return d[b].targetGain; });
  __m256i mode = lanesOf([&d](int b) { return d[b].bandMode; });
  __m256i pull = mulQ23Lanes(take, target);
  const __m256i hysteresis = _mm256_set1_epi64x(kGainHysteresis);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi64x(1);

  // adoptTarget for all four bands, `current` being their currentGain.
  auto adopt = [&](const std::array<GainTarget, kNumBands>& step, __m256i current) {
    const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(step.data()));
    const __m256i region = _mm256_srli_epi64(t, 32);
    const __m256i isComp = _mm256_cmpeq_epi64(region, zero);
    const __m256i isExp = _mm256_cmpeq_epi64(region, one);
    const __m256i fallKeep = _mm256_blendv_epi8(expFallKeep, compFallKeep, isComp);
    const __m256i fallTake = _mm256_blendv_epi8(expFallTake, compFallTake, isComp);
    const __m256i riseKeep = _mm256_blendv_epi8(expRiseKeep, compRiseKeep, isComp);
    const __m256i riseTake = _mm256_blendv_epi8(expRiseTake, compRiseTake, isComp);
    const __m256i stayPull = mulQ23Lanes(take, t);
    const __m256i fallPull = mulQ23Lanes(fallTake, t);
    const __m256i risePull = mulQ23Lanes(riseTake, t);
    // Falls: t < current - hysteresis; else rises: t >= current + hysteresis. Between the
    // thresholds neither applies.
    const __m256i active = _mm256_or_si256(isComp, isExp);
    const __m256i falls =
        _mm256_and_si256(active, _mm256_cmpgt_epi32(_mm256_sub_epi32(current, hysteresis), t));
    const __m256i rises = _mm256_andnot_si256(
        _mm256_cmpgt_epi32(_mm256_add_epi32(current, hysteresis), t), active);
    keep = _mm256_blendv_epi8(_mm256_blendv_epi8(keep, riseKeep, rises), fallKeep, falls);
    take = _mm256_blendv_epi8(_mm256_blendv_epi8(take, riseTake, rises), fallTake, falls);
    pull = _mm256_blendv_epi8(_mm256_blendv_epi8(stayPull, risePull, rises), fallPull, falls);
    mode = _mm256_blendv_epi8(_mm256_blendv_epi8(mode, zero, isComp), one, isExp);
    target = t;
  };
  auto smooth = [&](int32_t i) {
    g = _mm256_add_epi32(mulQ23Lanes(keep, g), pull);
    alignas(16) int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes),
                    _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
                        g, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6))));
    for (int32_t b = 0; b < kNumBands; ++b) gain[b][i] = lanes[b];
  };

  int32_t i = 0;
  for (; i < std::min(firstStep, frames); ++i) smooth(i);
  for (int32_t step = 0; i < frames; ++step) {
    // At the stretch's first sample the gain to compare with is the stored currentGain.
    adopt(targets[step], i > 0 ? g : lanesOf([&d](int b) { return d[b].currentGain; }));
    for (const int32_t end = std::min(i + 4, frames); i < end; ++i) smooth(i);
  }

  int32_t smoothed[4], keeps[4], takes[4], targetGains[4], modes[4];
  storeLanes(g, smoothed);
  storeLanes(keep, keeps);
  storeLanes(take, takes);
  storeLanes(target, targetGains);
  storeLanes(mode, modes);
  for (int32_t b = 0; b < kNumBands; ++b) {
    d[b].smoothedGain = d[b].currentGain = smoothed[b];
    d[b].activeKeep = keeps[b];
    d[b].activeTake = takes[b];
    d[b].targetGain = targetGains[b];
    d[b].bandMode = modes[b];
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
void smoothGainsAvx2(std::array<BandDynamics, kNumBands>& dynamics, const BandCoefficients* bands,
                     const std::array<GainTarget, kNumBands>* targets, int32_t firstStep,
                     int32_t frames, const std::array<int32_t*, kNumBands>& gain) noexcept {
  smoothGainsPortable(dynamics, bands, targets, firstStep, frames, gain);
}
}  // namespace kestrane

#endif
