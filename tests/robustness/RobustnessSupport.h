// What the robustness tests share: a host callback that any thread may reach, two ways of making
// instances, a handle that drives one through its AEffect record, the instance's own editor
// window, audio helpers and the process's memory figures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "golden/ProgramMaterial.h"
#include "shell/VstAbi.h"

namespace kestrane::robustness {

// The host's callback: 2400 to the version query, 0 to everything else. Keeps no state, so
// instances on any number of threads may call it.
intptr_t KESTRANE_VSTCALLBACK quietHost(AEffect* effect, int32_t opcode, int32_t index,
                                        intptr_t value, void* ptr, float opt);

// An instance made through the plug-in library's exported `main`, the file a host loads (the
// library is loaded once per process and stays). Null when the library or the instance
// cannot be made.
AEffect* openFromLibrary();
// An instance made by the same entry code linked into the test program: one process, one
// platform backend, so that the editor's windows and the test's host window meet natively too.
AEffect* openLinked();

// One instance, driven only through its record; closed (effClose) on destruction.
class Effect {
 public:
  explicit Effect(AEffect* record) : fx(record) {}
  ~Effect() { close(); }
  Effect(const Effect&) = delete;
  Effect& operator=(const Effect&) = delete;

  bool valid() const { return fx != nullptr; }
  AEffect* record() const { return fx; }
  bool hasEditor() const { return (fx->flags & effFlagsHasEditor) != 0; }

  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) {
    return fx->dispatcher(fx, opcode, index, value, ptr, opt);
  }
  void setParameter(int32_t index, float value) { fx->setParameter(fx, index, value); }
  float getParameter(int32_t index) { return fx->getParameter(fx, index); }
  void setProgram(int32_t program) { dispatch(effSetProgram, 0, program); }
  std::string text(int32_t opcode, int32_t index = 0);  // read into a large zeroed buffer
  void setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
  // processReplacing over the whole signal, in blocks of `block` frames (the last shorter).
  test::StereoSignal process(const test::StereoSignal& in, int32_t block = 512);
  void close();

 private:
  AEffect* fx;
};

// The host's window for an editor: a top-level window of the editor's size, made on the calling
// thread (which must then run the editor's idle and close it).
class HostWindow {
 public:
  HostWindow();
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  void* handle() const { return window; }
  // Delivers the messages waiting for this thread's windows (paint among them).
  void pump();

 private:
  void* window;
};

// Frames of a constant value on both channels.
test::StereoSignal constant(std::size_t frames, float value);
// A stereo mix of three tones and soft noise at `peak`: steady programme that every band hears.
test::StereoSignal steadyMix(std::size_t frames, float peak, uint32_t seed = 7);
// Largest magnitude and whether every sample is finite.
float peakOf(const test::StereoSignal& s);
bool allFinite(const test::StereoSignal& s);
// Largest sample difference over frames [from, end).
float largestDifference(const test::StereoSignal& a, const test::StereoSignal& b,
                        std::size_t from);

// The process's memory in bytes: resident now and its peak so far (Linux: VmRSS and VmHWM;
// Windows: the working set and its peak). Zero when unknown.
struct MemoryUse {
  uint64_t current = 0;
  uint64_t peak = 0;
};
MemoryUse memoryUse();

// True in builds whose allocator keeps freed memory back on purpose (AddressSanitizer's
// quarantine) or slows everything down (ThreadSanitizer): memory and timing figures mean little.
bool sanitizedBuild();

}  // namespace kestrane::robustness
