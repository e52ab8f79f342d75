#include "engine/CrossoverKernels.h"

#include <atomic>
#include <mutex>

namespace kestrane {
namespace {

CrossoverKernelSet convertedStorage;  // zero until converted
std::once_flag converted;
std::atomic<int32_t> conversions{0};

// The processor works with gain and taps 256 times their stored value (the gain word then reads
// as Q31). Tap count, spacing and scale exponent stay as stored.
void convert(CrossoverKernelSet& set) {
  for (int32_t i = 0; i < KernelHeaderLength; ++i) {
    set.header[static_cast<std::size_t>(i)] = StoredCrossoverKernels[static_cast<std::size_t>(i)];
  }
  for (int32_t r = 0; r < KernelRecordCount; ++r) {
    const std::size_t base = static_cast<std::size_t>(KernelHeaderLength + r * KernelRecordLength);
    KernelRecord& record = set.records[static_cast<std::size_t>(r)];
    for (int32_t w = 0; w < KernelRecordLength; ++w) {
      const int32_t stored = StoredCrossoverKernels[base + static_cast<std::size_t>(w)];
      record[static_cast<std::size_t>(w)] = w >= KernelGainWord ? stored * 256 : stored;
    }
  }
  conversions.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

const CrossoverKernelSet& crossoverKernels() {
  std::call_once(converted, [] { convert(convertedStorage); });
  return convertedStorage;
}

int32_t kernelConversionCount() { return conversions.load(std::memory_order_relaxed); }

}  // namespace kestrane
