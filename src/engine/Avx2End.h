// Closes the AVX2 part of a source file opened by engine/Avx2Begin.h.
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
