#include "host/TestHost.h"

#include <cassert>
#include <cstring>

#include "platform/Library.h"

namespace kestrane::testhost {

namespace {

TestHost* activeHost = nullptr;
// Open audio calls (processReplacing, process) of any Instance.
int32_t audioCallsOpen = 0;

// Counts an audio call open for its lifetime.
struct AudioCall {
  AudioCall() { ++audioCallsOpen; }
  ~AudioCall() { --audioCallsOpen; }
  AudioCall(const AudioCall&) = delete;
  AudioCall& operator=(const AudioCall&) = delete;
};

}  // namespace

// --- PluginLibrary -------------------------------------------------------------------------

PluginLibrary::PluginLibrary(const std::string& path) {
  handle = platform::loadLibrary(path, loadError);
}

PluginLibrary::~PluginLibrary() {
  if (handle) platform::unloadLibrary(handle);
}

PluginEntryProc PluginLibrary::entry(const char* name) const {
  if (!handle) return nullptr;
  return reinterpret_cast<PluginEntryProc>(platform::librarySymbol(handle, name));
}

// --- TestHost ------------------------------------------------------------------------------

TestHost::TestHost(const std::string& pluginPath) : plugin(pluginPath) {
  assert(!activeHost && "one TestHost at a time");
  activeHost = this;
}

TestHost::~TestHost() { activeHost = nullptr; }

AEffect* TestHost::openEffect() {
  const PluginEntryProc entry = plugin.entry();
  return entry ? entry(&TestHost::callback) : nullptr;
}

std::unique_ptr<Instance> TestHost::openInstance() {
  AEffect* effect = openEffect();
  return effect ? std::make_unique<Instance>(effect) : nullptr;
}

size_t TestHost::countCalls(int32_t opcode) const {
  size_t count = 0;
  for (const HostCall& call : recorded) count += call.opcode == opcode ? 1 : 0;
  return count;
}

intptr_t TestHost::callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                            void* ptr, float opt) {
  TestHost* host = activeHost;
  if (!host) return 0;
  host->recorded.push_back(HostCall{effect, opcode, index, value, ptr, opt,
                                    effect ? effect->initialDelay : 0, audioCallsOpen > 0});
  return opcode == audioMasterVersion ? host->versionAnswer : 0;
}

// --- Instance ------------------------------------------------------------------------------

Instance::~Instance() {
  if (record) close();
}

intptr_t Instance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                            float opt) {
  return record->dispatcher(record, opcode, index, value, ptr, opt);
}

intptr_t Instance::close() {
  const intptr_t answer = dispatch(effClose);
  record = nullptr;
  return answer;
}

void Instance::setParameter(int32_t index, float value) {
  record->setParameter(record, index, value);
}

float Instance::getParameter(int32_t index) { return record->getParameter(record, index); }

std::string Instance::readText(int32_t opcode, int32_t index, intptr_t value) {
  char buffer[256] = {};
  dispatch(opcode, index, value, buffer);
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::string Instance::parameterName(int32_t index) { return readText(effGetParamName, index); }
std::string Instance::parameterLabel(int32_t index) {
  return readText(effGetParamLabel, index);
}
std::string Instance::parameterDisplay(int32_t index) {
  return readText(effGetParamDisplay, index);
}
std::string Instance::programName() { return readText(effGetProgramName); }
std::string Instance::programNameIndexed(int32_t index) {
  return readText(effGetProgramNameIndexed, index);
}
std::string Instance::effectName() { return readText(effGetEffectName); }
std::string Instance::vendorString() { return readText(effGetVendorString); }
std::string Instance::productString() { return readText(effGetProductString); }

int32_t Instance::program() { return static_cast<int32_t>(dispatch(effGetProgram)); }
void Instance::setProgram(int32_t program) { dispatch(effSetProgram, 0, program); }

void Instance::processReplacing(std::vector<float>* inputs, std::vector<float>* outputs,
                                int32_t frames) {
  float* in[2] = {inputs[0].data(), inputs[1].data()};
  float* out[2] = {outputs[0].data(), outputs[1].data()};
  const AudioCall audio;
  record->processReplacing(record, in, out, frames);
}

void Instance::process(std::vector<float>* inputs, std::vector<float>* outputs,
                       int32_t frames) {
  float* in[2] = {inputs[0].data(), inputs[1].data()};
  float* out[2] = {outputs[0].data(), outputs[1].data()};
  const AudioCall audio;
  record->process(record, in, out, frames);
}

}  // namespace kestrane::testhost
