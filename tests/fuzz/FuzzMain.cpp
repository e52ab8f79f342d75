// The libFuzzer target: one input, one instance driven by DispatcherFuzzer. A failed check
// aborts, which libFuzzer reports as a finding and keeps as a crash file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/DispatcherFuzzer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string finding = kestrane::fuzz::runDispatcherInput(data, size);
  if (!finding.empty()) {
    std::fprintf(stderr, "dispatcher fuzzer: %s\n", finding.c_str());
    std::abort();
  }
  return 0;
}
