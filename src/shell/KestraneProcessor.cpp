#include "shell/KestraneProcessor.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "params/ParameterTable.h"
#include "params/ParameterText.h"
#include "shell/AEffEditor.h"

namespace kestrane {

namespace {

void copyText(char* destination, const char* source) {
  std::memcpy(destination, source, std::strlen(source) + 1);
}

bool hasStereoBuffers(float** buffers) { return buffers && buffers[0] && buffers[1]; }

}  // namespace

KestraneProcessor::KestraneProcessor(audioMasterCallback host)
    : AudioEffectX(host, kNumPrograms, kNumParams) {
  // The engine's tables and buffers are built with the object; the engine is not ready
  // until the programs and the sample rate are in place.
  engineReady = false;

  programs = new (std::nothrow) KestraneProgram[kNumPrograms];
  if (programs) {
    for (int32_t i = 0; i < kNumPrograms; ++i) programs[i] = FactoryPrograms[i];
    setProgram(0);
  }

  setEngineSampleRate(static_cast<int32_t>(getSampleRate()));
  engineReady = true;
  recomputeEngine();  // also sets initialDelay; the host hears nothing of it (reports held)
  invalidateKernelSelection();
  delayReportHolds.store(0, std::memory_order_relaxed);

  setNumInputs(kNumChannels);
  setNumOutputs(kNumChannels);
  canProcessReplacing(true);
  setUniqueID(kKestraneUniqueId);
}

KestraneProcessor::~KestraneProcessor() { delete[] programs; }

void KestraneProcessor::setParameter(int32_t index, float value) {
  if (isParamIndex(index)) {
    const int32_t slot = recordSlot(index);
    if (programs) programs[curProgram].values[slot] = value;
    core.setValue(index, value);
  }
  if (editor) editor->postUpdate();
  if (engineReady) recomputeEngine();
}

float KestraneProcessor::storedValue(int32_t index) const { return core.value(index); }

float KestraneProcessor::getParameter(int32_t index) {
  return isParamIndex(index) ? storedValue(index) : 0.0f;
}

void KestraneProcessor::process(float** inputs, float** outputs, int32_t sampleFrames) {
  if (sampleFrames <= 0 || !hasStereoBuffers(inputs) || !hasStereoBuffers(outputs)) return;
  for (int32_t channel = 0; channel < kNumChannels; ++channel) {
    const float* in = inputs[channel];
    float* out = outputs[channel];
    for (int32_t i = 0; i < sampleFrames; ++i) out[i] += in[i];
  }
}

void KestraneProcessor::setProgram(int32_t program) {
  if (!programs || !isProgramIndex(program)) return;
  curProgram = program;
  // Every value goes the one road of a parameter change; the calls write the values back
  // into the now current program unchanged. The delay passes through the mixtures of old and
  // new values on the way; the host hears only of where it ends.
  const int32_t delayBefore = holdDelayReports();
  for (int32_t slot = 0; slot < kNumParams; ++slot) {
    setParameter(paramAtSlot(slot), programs[program].values[slot]);
  }
  releaseDelayReports(delayBefore);
}

void KestraneProcessor::setProgramName(char* name) {
  if (programs) programs[curProgram].setName(name);
}

void KestraneProcessor::getProgramName(char* name) {
  if (!programs) {
    name[0] = '\0';
    return;
  }
  const int32_t current = curProgram;
  const char* stored = programs[current].name;
  if (std::strcmp(stored, "Init") == 0) {
    // An unnamed program reads with its one-based number: "Init 3".
    char numbered[kProgramNameSize + 16];
    std::snprintf(numbered, sizeof numbered, "%s %d", stored, static_cast<int>(current + 1));
    copyText(name, numbered);
  } else {
    copyText(name, stored);
  }
}

void KestraneProcessor::getParameterLabel(int32_t index, char* label) {
  if (isParamIndex(index)) copyText(label, ParameterTable[index].label);
}

void KestraneProcessor::getParameterDisplay(int32_t index, char* text) {
  recomputeEngine();
  if (isParamIndex(index)) formatParameterText(index, storedValue(index), text);
}

void KestraneProcessor::getParameterName(int32_t index, char* text) {
  if (isParamIndex(index)) copyText(text, ParameterTable[index].name);
}

void KestraneProcessor::setSampleRate(float rate) {
  AudioEffectX::setSampleRate(rate);
  followSampleRate();
}

void KestraneProcessor::setBlockSizeAndSampleRate(int32_t size, float rate) {
  AudioEffectX::setBlockSizeAndSampleRate(size, rate);
  followSampleRate();
}

bool KestraneProcessor::getProgramNameIndexed(int32_t, int32_t index, char* text) {
  if (!programs || !isProgramIndex(index)) return false;
  copyText(text, programs[index].name);
  return true;
}

bool KestraneProcessor::copyProgram(int32_t destination) {
  if (!programs || !isProgramIndex(destination)) return false;
  programs[destination] = programs[curProgram];
  return true;
}

bool KestraneProcessor::fillPinProperties(int32_t index, VstPinProperties* properties,
                                          const char* format) {
  if (index < 0 || index >= kNumChannels) return false;
  std::snprintf(properties->label, sizeof properties->label, format,
                static_cast<int>(index + 1));
  properties->flags = kVstPinIsActive | kVstPinIsStereo;
  return true;
}

bool KestraneProcessor::getInputProperties(int32_t index, VstPinProperties* properties) {
  return fillPinProperties(index, properties, "Kestrane %1d In");
}

bool KestraneProcessor::getOutputProperties(int32_t index, VstPinProperties* properties) {
  return fillPinProperties(index, properties, "Kestrane %1d Out");
}

bool KestraneProcessor::getEffectName(char* name) {
  copyText(name, kEffectName);
  return true;
}

bool KestraneProcessor::getVendorString(char* text) {
  copyText(text, kVendorName);
  return true;
}

bool KestraneProcessor::getProductString(char* text) {
  copyText(text, kProductName);
  return true;
}

int32_t KestraneProcessor::getVendorVersion() { return kVendorVersion; }

int32_t KestraneProcessor::canDo(char*) { return -1; }

// --- The engine ---------------------------------------------------------------------------
// The dynamics engine attaches here: these four functions are the whole seam between the
// effect and the engine.

void KestraneProcessor::processReplacing(float** inputs, float** outputs,
                                         int32_t sampleFrames) {
  if (sampleFrames <= 0 || sampleFrames > kMaxBlockFrames) return;
  if (!hasStereoBuffers(inputs) || !hasStereoBuffers(outputs)) return;
  core.process(inputs, outputs, static_cast<uint64_t>(sampleFrames), getSampleRate());
}

void KestraneProcessor::recomputeEngine() {
  if (!core.hasEngine()) return;
  bool delayChanged = false;
  {
    std::lock_guard<std::mutex> lock(recomputeMutex);
    const int32_t delay = core.update();
    if (delay != cEffect.initialDelay) {
      setInitialDelay(delay);
      delayChanged = true;
    }
  }
  // Outside the lock: a host may well ask for texts or set parameters from inside ioChanged.
  if (delayChanged && delayReportHolds.load(std::memory_order_relaxed) == 0) ioChanged();
}

int32_t KestraneProcessor::holdDelayReports() {
  delayReportHolds.fetch_add(1, std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(recomputeMutex);
  return cEffect.initialDelay;
}

void KestraneProcessor::releaseDelayReports(int32_t delayAtHold) {
  int32_t delayNow = 0;
  {
    std::lock_guard<std::mutex> lock(recomputeMutex);
    delayNow = cEffect.initialDelay;
  }
  if (delayReportHolds.fetch_sub(1, std::memory_order_relaxed) == 1 && delayNow != delayAtHold) {
    ioChanged();
  }
}

void KestraneProcessor::invalidateKernelSelection() { core.invalidateKernelSelection(); }

void KestraneProcessor::setEngineSampleRate(int32_t rate) {
  core.setSampleRate(static_cast<float>(rate));
}

void KestraneProcessor::followSampleRate() {
  // Left to the next block, the new rate would reach the coefficients only at some later
  // parameter change or display request: a host that sets the rate, restores its parameters
  // and starts the audio would hear the old rate's crossover, lookahead and time constants.
  core.setSampleRate(getSampleRate());
  if (engineReady) recomputeEngine();
}

}  // namespace kestrane
