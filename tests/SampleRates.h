// The sample rates the tests run the plug-in at: the rate of every crossover kernel group the
// engine carries (so the list grows with the groups), and the common recording rates besides,
// whether a group of their own serves them or not.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/CrossoverKernels.h"

namespace kestrane::test {

inline std::vector<int32_t> testedSampleRates() {
  std::vector<int32_t> rates(KernelGroupRates.begin(), KernelGroupRates.end());
  for (int32_t common : {22050, 32000, 44100, 48000, 88200, 96000, 192000}) {
    if (std::find(rates.begin(), rates.end(), common) == rates.end()) rates.push_back(common);
  }
  std::sort(rates.begin(), rates.end());
  return rates;
}

}  // namespace kestrane::test
