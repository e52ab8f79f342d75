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

}  // namespace
}  // namespace kestrane
