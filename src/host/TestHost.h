// A minimal host for tests and tools: loads a plug-in library, finds its entry point `main`
// exactly as a host does, creates instances through it, records every callback the plug-in
// makes, and drives the instances through their AEffect records only.
//
// One TestHost at a time per process (the host callback carries no user pointer, so the
// callback reaches the host through a process-wide pointer). Single-threaded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shell/VstAbi.h"

namespace kestrane::testhost {

// The plug-in to load when none is named: $KESTRANE_PLUGIN when set, else the program's own
// choice. Defined by the program, not by this library: the tests (kestrane_testhost) take the
// library this build produced, the command-line tool looks where a user installs the plug-in.
std::string defaultPluginPath();

// A loaded plug-in library. Unloads on destruction.
class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return handle != nullptr; }
  // The exported entry point under name; null when missing.
  PluginEntryProc entry(const char* name = "main") const;
  // Why loading failed, empty when it did not.
  const std::string& error() const { return loadError; }

 private:
  void* handle = nullptr;
  std::string loadError;
};

// One call from the plug-in to the host.
struct HostCall {
  AEffect* effect;
  int32_t opcode;
  int32_t index;
  intptr_t value;
  void* ptr;
  float opt;
  int32_t initialDelay;  // the record's initialDelay as the call arrived (0 without a record)
  bool fromAudio;        // made inside an Instance's processReplacing or process
};

class Instance;

class TestHost {
 public:
  explicit TestHost(const std::string& pluginPath = defaultPluginPath());
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  const PluginLibrary& library() const { return plugin; }

  // What the host answers to audioMasterVersion (2400 unless changed; 0 refuses plug-ins).
  void setVersionAnswer(intptr_t answer) { versionAnswer = answer; }

  // Calls the plug-in's `main` with this host's callback; null when the plug-in refuses.
  AEffect* openEffect();
  // openEffect wrapped for driving; null when the plug-in refuses.
  std::unique_ptr<Instance> openInstance();

  // Every callback since construction or the last clearCalls, in order.
  const std::vector<HostCall>& calls() const { return recorded; }
  void clearCalls() { recorded.clear(); }
  // How many recorded calls had opcode.
  size_t countCalls(int32_t opcode) const;

 private:
  static intptr_t KESTRANE_VSTCALLBACK callback(AEffect* effect, int32_t opcode, int32_t index,
                                                intptr_t value, void* ptr, float opt);

  PluginLibrary plugin;
  intptr_t versionAnswer = 2400;
  std::vector<HostCall> recorded;
};

// An open plug-in instance, closed (effClose) on destruction unless already closed.
class Instance {
 public:
  explicit Instance(AEffect* effect) : record(effect) {}
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  AEffect* effect() const { return record; }

  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);
  // effClose; the record is gone afterwards. Answers the dispatcher's answer.
  intptr_t close();

  void setParameter(int32_t index, float value);
  float getParameter(int32_t index);

  // The text answers, each read into a zeroed buffer large enough for any host.
  std::string parameterName(int32_t index);
  std::string parameterLabel(int32_t index);
  std::string parameterDisplay(int32_t index);
  std::string programName();
  std::string programNameIndexed(int32_t index);
  std::string effectName();
  std::string vendorString();
  std::string productString();

  int32_t program();
  void setProgram(int32_t program);

  // Audio through the record's entries, two channels of frames samples each.
  void processReplacing(std::vector<float>* inputs, std::vector<float>* outputs,
                        int32_t frames);
  void process(std::vector<float>* inputs, std::vector<float>* outputs, int32_t frames);

 private:
  std::string readText(int32_t opcode, int32_t index = 0, intptr_t value = 0);

  AEffect* record;
};

}  // namespace kestrane::testhost
