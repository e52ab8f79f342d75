// AudioEffect: the base of every effect object. It owns the AEffect record the host holds,
// routes the 1.x dispatcher opcodes (0..24) to its virtual operations, and wraps the host's
// basic services. The virtual operations stand in a fixed slot order; a derived layer
// overrides them, it never reorders them.
//
// Threads: the host calls processReplacing/process on its audio thread and everything else
// on its user-interface or automation threads. Nothing here locks.
#pragma once

#include <atomic>
#include <cstdint>

#include "shell/VstAbi.h"

namespace kestrane {

class AEffEditor;

class AudioEffect {
 public:
  // Fills the record: magic, the five trampolines, the two counts, one input, two outputs,
  // no flags, ioRatio 1, object = this, uniqueID 'NoEf', version 1. sampleRate starts at
  // 44100 Hz, blockSize at 1024 frames, curProgram at 0.
  AudioEffect(audioMasterCallback host, int32_t programCount, int32_t paramCount);
  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  // --- Virtual operations, in slot order ----------------------------------------------------

  // Deletes the editor, if any.
  virtual ~AudioEffect();

  // Parameters: index 0..numParams-1, value normalised (nominally 0..1).
  virtual void setParameter(int32_t index, float value);
  virtual float getParameter(int32_t index);
  // A user edit: setParameter, then tells the host through audioMasterAutomate.
  virtual void setParameterAutomated(int32_t index, float value);

  // Audio, on the host's audio thread. inputs/outputs: one buffer per channel, sampleFrames
  // frames each. process adds to the outputs, processReplacing overwrites them.
  virtual void process(float** inputs, float** outputs, int32_t sampleFrames) = 0;
  virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames);

  // The host's requests, opcodes 0..24; anything else answers 0.
  virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                              float opt);

  virtual void open();
  virtual void close();

  // Programs. Names are zero-terminated texts in buffers the host supplies.
  virtual int32_t getProgram();
  virtual void setProgram(int32_t program);
  virtual void setProgramName(char* name);
  virtual void getProgramName(char* name);

  // Parameter texts for the host: unit label, value text, name.
  virtual void getParameterLabel(int32_t index, char* label);
  virtual void getParameterDisplay(int32_t index, char* text);
  virtual void getParameterName(int32_t index, char* text);

  virtual float getVu();
  // Chunks: answer the chunk size in bytes; this effect has none (0).
  virtual int32_t getChunk(void** data, bool isPreset);
  virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset);

  // rate in Hz, size in frames. Both only store the value.
  virtual void setSampleRate(float rate);
  virtual void setBlockSize(int32_t size);
  // Audio stops (suspend) and restarts (resume).
  virtual void suspend();
  virtual void resume();

  // Record contents.
  virtual void setUniqueID(int32_t id);
  virtual void setNumInputs(int32_t inputs);
  virtual void setNumOutputs(int32_t outputs);
  virtual void hasVu(bool state);
  virtual void hasClip(bool state);
  virtual void canMono(bool state);
  virtual void canProcessReplacing(bool state);
  virtual void programsAreChunks(bool state);
  virtual void setRealtimeQualities(int32_t qualities);
  virtual void setOfflineQualities(int32_t qualities);
  virtual void setInitialDelay(int32_t delay);

  virtual float getSampleRate();  // Hz
  virtual int32_t getBlockSize();  // frames

  // Host services (without a host callback they do nothing and answer as noted).
  virtual int32_t getMasterVersion();  // the host's interface version; 1 when unknown
  virtual int32_t getCurrentUniqueId();  // 0 without a host
  virtual void masterIdle();
  virtual bool isInputConnected(int32_t input);  // true when the host says nothing
  virtual bool isOutputConnected(int32_t output);

  // Text tools, each writing at most 8 visible characters and a terminating zero.
  // value in dB as an amplitude ratio; samples converted with sampleRate.
  virtual void dB2string(float value, char* text);
  virtual void Hz2string(float samples, char* text);
  virtual void ms2string(float samples, char* text);
  virtual void float2string(float value, char* text);
  virtual void long2string(int32_t value, char* text);

  // --- Non-virtual ------------------------------------------------------------------------

  // The record handed to the host.
  AEffect* getAeffect() { return &cEffect; }

  // Called by an editor's constructor: the effect now owns it (deletes it on destruction)
  // and the record announces an editor (effFlagsHasEditor).
  void setEditor(AEffEditor* newEditor);

  // The edit bracket of a user gesture on parameter index (audioMasterBeginEdit /
  // audioMasterEndEdit). They live here rather than in AudioEffectX so that an editor,
  // which holds its effect as an AudioEffect, can reach them. True when the host answers
  // nonzero.
  bool beginEdit(int32_t index);
  bool endEdit(int32_t index);

 protected:
  // Calls the host with this instance's record; 0 without a callback.
  intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                    void* ptr = nullptr, float opt = 0.0f);
  void setFlag(int32_t flag, bool state);

  float sampleRate = 44100.0f;  // Hz
  AEffEditor* editor = nullptr;  // owned; null when there is none
  audioMasterCallback audioMaster;
  int32_t numPrograms;
  int32_t numParams;
  // The current program. A host may change it on one thread and ask for it (or its name) on
  // another, so it is read and written whole, as an atomic.
  std::atomic<int32_t> curProgram{0};
  int32_t blockSize = 1024;  // frames
  AEffect cEffect;
};

}  // namespace kestrane
