#include "shell/AudioEffect.h"

#include <cstring>

#include "params/TextTools.h"
#include "shell/AEffEditor.h"

namespace kestrane {

namespace {

// The trampolines stored in the record: each finds the effect object behind the record and
// calls its virtual operation with the remaining arguments unchanged. They are the boundary
// to the host, so nothing may escape them.

AudioEffect* effectOf(AEffect* effect) {
  return effect ? static_cast<AudioEffect*>(effect->object) : nullptr;
}

intptr_t KESTRANE_VSTCALLBACK dispatchEffect(AEffect* effect, int32_t opcode, int32_t index,
                                             intptr_t value, void* ptr, float opt) noexcept {
  AudioEffect* object = effectOf(effect);
  if (!object) return 0;
  const intptr_t answer = object->dispatcher(opcode, index, value, ptr, opt);
  if (opcode == effClose) {
    // The host is done with this instance: the record goes with the object.
    delete object;
    return 1;
  }
  return answer;
}

void KESTRANE_VSTCALLBACK processEffect(AEffect* effect, float** inputs, float** outputs,
                                        int32_t sampleFrames) noexcept {
  if (AudioEffect* object = effectOf(effect)) object->process(inputs, outputs, sampleFrames);
}

void KESTRANE_VSTCALLBACK processReplacingEffect(AEffect* effect, float** inputs,
                                                 float** outputs,
                                                 int32_t sampleFrames) noexcept {
  if (AudioEffect* object = effectOf(effect)) {
    object->processReplacing(inputs, outputs, sampleFrames);
  }
}

void KESTRANE_VSTCALLBACK setParameterEffect(AEffect* effect, int32_t index,
                                             float value) noexcept {
  if (AudioEffect* object = effectOf(effect)) object->setParameter(index, value);
}

float KESTRANE_VSTCALLBACK getParameterEffect(AEffect* effect, int32_t index) noexcept {
  AudioEffect* object = effectOf(effect);
  return object ? object->getParameter(index) : 0.0f;
}

// 'NoEf': the identity of an effect that has not set its own.
constexpr int32_t kDefaultUniqueId = 0x4e6f4566;

void writeEmpty(char* text) {
  if (text) text[0] = '\0';
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback host, int32_t programCount, int32_t paramCount)
    : audioMaster(host), numPrograms(programCount), numParams(paramCount) {
  std::memset(&cEffect, 0, sizeof cEffect);
  cEffect.magic = kEffectMagic;
  cEffect.dispatcher = dispatchEffect;
  cEffect.process = processEffect;
  cEffect.setParameter = setParameterEffect;
  cEffect.getParameter = getParameterEffect;
  cEffect.processReplacing = processReplacingEffect;
  cEffect.numPrograms = programCount;
  cEffect.numParams = paramCount;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.flags = 0;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.uniqueID = kDefaultUniqueId;
  cEffect.version = 1;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setParameter(int32_t, float) {}

float AudioEffect::getParameter(int32_t) { return 0.0f; }

void AudioEffect::setParameterAutomated(int32_t index, float value) {
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::processReplacing(float**, float**, int32_t) {}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) {
  char* const text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen:
      open();
      return 0;
    case effClose:
      close();
      return 0;
    case effSetProgram:
      if (value >= 0 && value < numPrograms) setProgram(static_cast<int32_t>(value));
      return 0;
    case effGetProgram:
      return getProgram();
    // The text requests write through ptr: without a buffer there is nothing to do.
    case effSetProgramName:
      if (text) setProgramName(text);
      return 0;
    case effGetProgramName:
      if (text) getProgramName(text);
      return 0;
    case effGetParamLabel:
      if (text) getParameterLabel(index, text);
      return 0;
    case effGetParamDisplay:
      if (text) getParameterDisplay(index, text);
      return 0;
    case effGetParamName:
      if (text) getParameterName(index, text);
      return 0;
    case effGetVu:
      return static_cast<intptr_t>(getVu() * 32767.0f);
    case effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      setBlockSize(static_cast<int32_t>(value));
      return 0;
    case effMainsChanged:
      if (value == 0) {
        suspend();
      } else {
        resume();
      }
      return 0;
    case effEditGetRect:
      return editor && ptr ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
    case effEditOpen:
      return editor ? editor->open(ptr) : 0;
    case effEditClose:
      if (editor) editor->close();
      return 0;
    case effEditIdle:
      if (editor) editor->idle();
      return 0;
    case effIdentify:
      return 0x4E764566;  // 'NvEf'
    case effGetChunk:
      return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
      return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default:
      return 0;
  }
}

void AudioEffect::open() {}
void AudioEffect::close() {}

int32_t AudioEffect::getProgram() { return curProgram; }
void AudioEffect::setProgram(int32_t program) { curProgram = program; }
void AudioEffect::setProgramName(char* name) { writeEmpty(name); }
void AudioEffect::getProgramName(char* name) { writeEmpty(name); }

void AudioEffect::getParameterLabel(int32_t, char* label) { writeEmpty(label); }
void AudioEffect::getParameterDisplay(int32_t, char* text) { writeEmpty(text); }
void AudioEffect::getParameterName(int32_t, char* text) { writeEmpty(text); }

float AudioEffect::getVu() { return 0.0f; }
int32_t AudioEffect::getChunk(void**, bool) { return 0; }
int32_t AudioEffect::setChunk(void*, int32_t, bool) { return 0; }

void AudioEffect::setSampleRate(float rate) { sampleRate = rate; }
void AudioEffect::setBlockSize(int32_t size) { blockSize = size; }
void AudioEffect::suspend() {}
void AudioEffect::resume() {}

void AudioEffect::setUniqueID(int32_t id) { cEffect.uniqueID = id; }
void AudioEffect::setNumInputs(int32_t inputs) { cEffect.numInputs = inputs; }
void AudioEffect::setNumOutputs(int32_t outputs) { cEffect.numOutputs = outputs; }
void AudioEffect::hasVu(bool state) { setFlag(effFlagsHasVu, state); }
void AudioEffect::hasClip(bool state) { setFlag(effFlagsHasClip, state); }
void AudioEffect::canMono(bool state) { setFlag(effFlagsCanMono, state); }
void AudioEffect::canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
void AudioEffect::programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
void AudioEffect::setRealtimeQualities(int32_t qualities) { cEffect.realQualities = qualities; }
void AudioEffect::setOfflineQualities(int32_t qualities) { cEffect.offQualities = qualities; }
void AudioEffect::setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }

float AudioEffect::getSampleRate() { return sampleRate; }
int32_t AudioEffect::getBlockSize() { return blockSize; }

int32_t AudioEffect::getMasterVersion() {
  const auto version = static_cast<int32_t>(callHost(audioMasterVersion));
  return version != 0 ? version : 1;
}

int32_t AudioEffect::getCurrentUniqueId() {
  return static_cast<int32_t>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

bool AudioEffect::isInputConnected(int32_t input) {
  return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(int32_t output) {
  return callHost(audioMasterPinConnected, output, 1) == 0;
}

void AudioEffect::dB2string(float value, char* text) { kestrane::dB2string(value, text); }

void AudioEffect::Hz2string(float samples, char* text) {
  kestrane::Hz2string(samples, sampleRate, text);
}

void AudioEffect::ms2string(float samples, char* text) {
  kestrane::ms2string(samples, sampleRate, text);
}

void AudioEffect::float2string(float value, char* text) { kestrane::float2string(value, text); }

void AudioEffect::long2string(int32_t value, char* text) { kestrane::long2string(value, text); }

void AudioEffect::setEditor(AEffEditor* newEditor) {
  editor = newEditor;
  setFlag(effFlagsHasEditor, newEditor != nullptr);
}

bool AudioEffect::beginEdit(int32_t index) { return callHost(audioMasterBeginEdit, index) != 0; }

bool AudioEffect::endEdit(int32_t index) { return callHost(audioMasterEndEdit, index) != 0; }

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt) {
  return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setFlag(int32_t flag, bool state) {
  if (state) {
    cEffect.flags |= flag;
  } else {
    cEffect.flags &= ~flag;
  }
}

}  // namespace kestrane
