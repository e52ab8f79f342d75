// AudioEffectX: the 2.x layer. It adds no data: its dispatcher takes opcodes 25..68 and hands
// every other opcode to AudioEffect, and it appends the 2.x operations after AudioEffect's
// slots, in a fixed order. Operations marked "host" only wrap a host service.
//
// The 2.x edit bracket (beginEdit, endEdit) is provided by AudioEffect, see there.
#pragma once

#include <cstdint>

#include "shell/AudioEffect.h"

namespace kestrane {

class AudioEffectX : public AudioEffect {
 public:
  AudioEffectX(audioMasterCallback host, int32_t programCount, int32_t paramCount);
  ~AudioEffectX() override;

  intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) override;

  // --- Appended virtual operations, in slot order -------------------------------------------

  virtual AEffEditor* getEditor();
  virtual bool wantEvents(int32_t filter);  // host
  virtual VstTimeInfo* getTimeInfo(int32_t filter);  // host
  virtual int32_t tempoAt(int32_t pos);  // host

  virtual int32_t processEvents(VstEvents* events);
  virtual int32_t getNumAutomatableParameters();  // host
  virtual int32_t getParameterQuantization();  // host
  virtual bool canParameterBeAutomated(int32_t index);
  virtual bool string2parameter(int32_t index, char* text);
  virtual float getChannelParameter(int32_t channel, int32_t index);
  virtual int32_t getNumCategories();
  // Name of program index as stored; false (nothing written) when there is no such program.
  virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text);
  // Copies the current program over program destination; false when there is none.
  virtual bool copyProgram(int32_t destination);

  virtual bool ioChanged();  // host
  virtual bool needIdle();  // host
  virtual bool sizeWindow(int32_t width, int32_t height);  // host
  virtual float updateSampleRate();  // host; answers sampleRate afterwards
  virtual int32_t updateBlockSize();  // host; answers blockSize afterwards
  virtual int32_t getInputLatency();  // host
  virtual int32_t getOutputLatency();  // host
  virtual AEffect* getPreviousPlug(int32_t input);  // host
  virtual AEffect* getNextPlug(int32_t output);  // host

  virtual void inputConnected(int32_t index, bool state);
  virtual void outputConnected(int32_t index, bool state);
  // Fill the host's pin record for pin index; false (nothing written) for no such pin.
  virtual bool getInputProperties(int32_t index, VstPinProperties* properties);
  virtual bool getOutputProperties(int32_t index, VstPinProperties* properties);
  virtual int32_t getPlugCategory();

  virtual int32_t willProcessReplacing();  // host
  virtual int32_t getCurrentProcessLevel();  // host
  virtual int32_t getAutomationState();  // host
  virtual void wantAsyncOperation(bool state);
  virtual void hasExternalBuffer(bool state);
  virtual int32_t reportCurrentPosition();
  virtual float* reportDestinationBuffer();

  virtual bool offlineRead(VstOfflineTask* offline, int32_t option, bool readSource);  // host
  virtual bool offlineWrite(VstOfflineTask* offline, int32_t option);  // host
  virtual bool offlineStart(VstAudioFile* files, int32_t numAudioFiles,
                            int32_t numNewAudioFiles);  // host
  virtual bool offlineGetCurrentPass();  // host
  virtual bool offlineGetCurrentMetaPass();  // host
  virtual bool offlineNotify(VstAudioFile* files, int32_t numAudioFiles, bool start);
  virtual bool offlinePrepare(VstOfflineTask* offline, int32_t count);
  virtual bool offlineRun(VstOfflineTask* offline, int32_t count);
  virtual int32_t offlineGetNumPasses();
  virtual int32_t offlineGetNumMetaPasses();

  virtual void setOutputSamplerate(float rate);  // host
  virtual bool getSpeakerArrangement(VstSpeakerArrangement** input,
                                     VstSpeakerArrangement** output);  // host
  virtual bool getHostVendorString(char* text);  // host
  virtual bool getHostProductString(char* text);  // host
  virtual int32_t getHostVendorVersion();  // host
  virtual intptr_t hostVendorSpecific(int32_t arg1, intptr_t arg2, void* ptrArg,
                                      float floatArg);  // host
  virtual bool canHostDo(char* text);  // host
  virtual void isSynth(bool state);
  virtual void noTail(bool state);
  virtual int32_t getHostLanguage();  // host
  virtual void* openWindow(VstWindow* window);  // host
  virtual bool closeWindow(VstWindow* window);  // host
  virtual void* getDirectory();  // host
  virtual bool updateDisplay();  // host

  virtual bool processVariableIo(VstVariableIo* varIo);
  virtual bool setSpeakerArrangement(VstSpeakerArrangement* input,
                                     VstSpeakerArrangement* output);
  virtual void setBlockSizeAndSampleRate(int32_t size, float rate);
  virtual bool setBypass(bool onOff);
  // Identity strings, copied with their terminating zero; true when written.
  virtual bool getEffectName(char* name);
  virtual bool getErrorText(char* text);
  virtual bool getVendorString(char* text);
  virtual bool getProductString(char* text);
  virtual int32_t getVendorVersion();
  virtual intptr_t vendorSpecific(int32_t arg1, intptr_t arg2, void* ptrArg, float floatArg);
  // 1 yes, -1 no, 0 don't know.
  virtual int32_t canDo(char* text);
  virtual void* getIcon();
  virtual bool setViewPosition(int32_t x, int32_t y);
  virtual int32_t getGetTailSize();
  virtual int32_t fxIdle();
  virtual bool getParameterProperties(int32_t index, VstParameterProperties* properties);
  virtual bool keysRequired();
  virtual int32_t getVstVersion();

  virtual int32_t getMidiProgramName(int32_t channel, MidiProgramName* name);
  virtual int32_t getCurrentMidiProgram(int32_t channel, MidiProgramName* current);
  virtual int32_t getMidiProgramCategory(int32_t channel, MidiProgramCategory* category);
  virtual bool hasMidiProgramsChanged(int32_t channel);
  virtual bool getMidiKeyName(int32_t channel, MidiKeyName* keyName);
  virtual bool beginSetProgram();
  virtual bool endSetProgram();
  virtual bool openFileSelector(VstFileSelect* selection);  // host; false for null
};

}  // namespace kestrane
