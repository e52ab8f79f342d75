// Opens the part of a source file that is compiled for AVX2: the paths that SimdLevel chooses
// at run time. Include it after every other header and close the part with engine/Avx2End.h.
// Only the file's own functions are compiled for AVX2 that way: no inline function shared with
// other files (of which the linker keeps one copy for the whole program) is compiled inside,
// and the rest of the library stays SSE2. (No include guard: each AVX2 file opens once.)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace kestrane {
namespace {

// Eight int32 from or to memory of any alignment.
inline __m256i load8(const int32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
inline void store8(int32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Per lane, bits Shift .. Shift + 31 of the 32 x 32 -> 64-bit product x * factor: the fixed-point
// products mulQ23, mulQ28 and mulQ31 for eight lanes (factor per lane, or one value broadcast).
// vpmuldq multiplies the signed low halves of the 64-bit lanes: the even lanes' products are
// shifted down by Shift (a logical shift leaves the same low 32 bits as the reference's
// arithmetic one), the odd lanes' (after a 32-bit shift down of both operands) up by 32 - Shift
// into the high halves, where a blend merges them with the even ones.
template <int Shift>
inline __m256i keptSlice(__m256i x, __m256i factor) {
  const __m256i even = _mm256_srli_epi64(_mm256_mul_epi32(x, factor), Shift);
  const __m256i odd = _mm256_slli_epi64(
      _mm256_mul_epi32(_mm256_srli_epi64(x, 32), _mm256_srli_epi64(factor, 32)), 32 - Shift);
  return _mm256_blend_epi32(even, odd, 0xaa);
}

}  // namespace
}  // namespace kestrane
