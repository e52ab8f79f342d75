// The instruction-set levels a fast-path test runs on: every one this processor runs.
#pragma once

#include <vector>

#include "engine/SimdLevel.h"

namespace kestrane::test {

inline std::vector<SimdLevel> levelsHere() {
  std::vector<SimdLevel> levels = {SimdLevel::Portable};
  if (simdLevelSupported(SimdLevel::Avx2)) levels.push_back(SimdLevel::Avx2);
  return levels;
}

inline const char* levelName(SimdLevel level) {
  return level == SimdLevel::Avx2 ? "avx2" : "portable";
}

}  // namespace kestrane::test
