#include "engine/SimdLevel.h"

namespace kestrane {
namespace {

SimdLevel detect() noexcept {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  // libgcc reads cpuid and, for the AVX family, also asks the operating system (xgetbv)
  // whether it saves the 256-bit registers; avx2 is reported only when both agree.
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
#endif
  return SimdLevel::Portable;
}

}  // namespace

SimdLevel detectedSimdLevel() noexcept {
  static const SimdLevel level = detect();
  return level;
}

bool simdLevelSupported(SimdLevel level) noexcept {
  return level == SimdLevel::Portable || detectedSimdLevel() == SimdLevel::Avx2;
}

SimdLevel usableSimdLevel(SimdLevel wanted) noexcept {
  return simdLevelSupported(wanted) ? wanted : SimdLevel::Portable;
}

}  // namespace kestrane
