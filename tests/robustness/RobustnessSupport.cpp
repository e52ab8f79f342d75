#include "robustness/RobustnessSupport.h"

#include <cmath>
#include <cstring>
#include <fstream>

#include "host/TestHost.h"
#include "platform/TestHost.h"
#include "shell/KestraneProcessorWithEditor.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: psapi.h builds on its types.
#include <psapi.h>
#endif

namespace kestrane::robustness {

intptr_t KESTRANE_VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*,
                                        float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

AEffect* openFromLibrary() {
  static const testhost::PluginLibrary library(testhost::defaultPluginPath());
  const PluginEntryProc entry = library.entry("main");
  return entry ? entry(quietHost) : nullptr;
}

AEffect* openLinked() { return createKestraneInstance(quietHost); }

// --- Effect ----------------------------------------------------------------------------------

std::string Effect::text(int32_t opcode, int32_t index) {
  char buffer[256] = {};
  dispatch(opcode, index, 0, buffer);
  return std::string(buffer, strnlen(buffer, sizeof buffer - 1));
}

test::StereoSignal Effect::process(const test::StereoSignal& in, int32_t block) {
  test::StereoSignal out{std::vector<float>(in.frames()), std::vector<float>(in.frames())};
  for (std::size_t done = 0; done < in.frames();) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(block), in.frames() - done);
    float* inputs[2] = {const_cast<float*>(in.left.data() + done),
                        const_cast<float*>(in.right.data() + done)};
    float* outputs[2] = {out.left.data() + done, out.right.data() + done};
    fx->processReplacing(fx, inputs, outputs, static_cast<int32_t>(n));
    done += n;
  }
  return out;
}

void Effect::close() {
  if (fx) dispatch(effClose);
  fx = nullptr;
}

// --- HostWindow ------------------------------------------------------------------------------

HostWindow::HostWindow() : window(platform::testhost::createHostWindow(40, 40, 640, 489)) {}

HostWindow::~HostWindow() {
  if (window) platform::testhost::destroyHostWindow(window);
}

void HostWindow::pump() { platform::testhost::processMessages(); }

// --- Signals ---------------------------------------------------------------------------------

test::StereoSignal constant(std::size_t frames, float value) {
  return {std::vector<float>(frames, value), std::vector<float>(frames, value)};
}

test::StereoSignal steadyMix(std::size_t frames, float peak, uint32_t seed) {
  test::StereoSignal s{std::vector<float>(frames), std::vector<float>(frames)};
  test::Oscillator low(100.0, 44100.0), mid(1000.0, 44100.0), high(6000.0, 44100.0);
  test::Noise noise(seed);
  for (std::size_t i = 0; i < frames; ++i) {
    const double tones = 0.3 * low.next() + 0.3 * mid.next() + 0.2 * high.next();
    s.left[i] = static_cast<float>(peak * (tones + noise.sample(0.2f)));
    s.right[i] = static_cast<float>(peak * (tones - noise.sample(0.2f)));
  }
  return s;
}

float peakOf(const test::StereoSignal& s) {
  float peak = 0.0f;
  for (const std::vector<float>* ch : {&s.left, &s.right}) {
    for (float v : *ch) peak = std::fmax(peak, std::fabs(v));
  }
  return peak;
}

bool allFinite(const test::StereoSignal& s) {
  for (const std::vector<float>* ch : {&s.left, &s.right}) {
    for (float v : *ch) {
      if (!std::isfinite(v)) return false;
    }
  }
  return true;
}

float largestDifference(const test::StereoSignal& a, const test::StereoSignal& b,
                        std::size_t from) {
  float largest = 0.0f;
  for (std::size_t i = from; i < a.frames() && i < b.frames(); ++i) {
    largest = std::fmax(largest, std::fabs(a.left[i] - b.left[i]));
    largest = std::fmax(largest, std::fabs(a.right[i] - b.right[i]));
  }
  return largest;
}

// --- Memory ----------------------------------------------------------------------------------

MemoryUse memoryUse() {
  MemoryUse use;
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    use.current = counters.WorkingSetSize;
    use.peak = counters.PeakWorkingSetSize;
  }
#else
  std::ifstream status("/proc/self/status");
  std::string key;
  uint64_t kilobytes = 0;
  while (status >> key) {
    if (key == "VmRSS:" && status >> kilobytes) use.current = kilobytes * 1024;
    if (key == "VmHWM:" && status >> kilobytes) use.peak = kilobytes * 1024;
  }
#endif
  return use;
}

bool sanitizedBuild() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

}  // namespace kestrane::robustness
