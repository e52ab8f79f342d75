// KestraneProcessor: the effect proper, without its editor. It holds the 49 current parameter
// values, the 16 programs and the engine, answers the host's questions about parameters,
// programs, pins and identity, and runs the audio.
//
// Threads: processReplacing and process run on the host's audio thread; everything else on
// the host's user-interface or automation threads (or the editor's, which is the
// user-interface thread). setParameter and getParameterDisplay update the engine in the
// calling thread; the host must not overlap them with processReplacing on one instance.
//
// Latency. The record's initialDelay always holds the delay the engine will run with
// (crossover plus lookahead, Engine::preparedDelaySamples), from construction on. Whenever an
// update of the engine changes it, the new value is stored and the host is told with ioChanged,
// on the thread that made the change, never on the audio thread; a program change tells it
// once, at its end, and only when the delay differs from before.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/EffectCore.h"
#include "params/Identity.h"
#include "params/ParamId.h"
#include "params/Programs.h"
#include "shell/AudioEffectX.h"

namespace kestrane {

// Identity as the host sees it: the names (params/Identity.h) and these numbers.
inline constexpr int32_t kVendorVersion = 1;
inline constexpr int32_t kKestraneUniqueId = 0x33313263;  // '312c'
inline constexpr int32_t kMaxBlockFrames = 65535;  // most frames one audio call may carry

class KestraneProcessor : public AudioEffectX {
 public:
  // Builds the engine, fills the 16 programs from FactoryPrograms, selects program 0
  // ("Mastering"), takes the sample rate, marks the engine ready and updates it once.
  explicit KestraneProcessor(audioMasterCallback host);
  ~KestraneProcessor() override;

  // False when the program array could not be allocated; such an instance is unusable and
  // the entry point discards it.
  bool hasPrograms() const { return programs != nullptr; }

  // --- AudioEffect operations ---------------------------------------------------------------

  // Stores value (exactly as sent) for index 0..48 in parameterValues and the current
  // program; then, for any index, asks the editor to refresh and updates the engine.
  void setParameter(int32_t index, float value) override;
  // The stored value for 0..48, 0 for any other index.
  float getParameter(int32_t index) override;
  // Accumulates: output += input on both channels. Runs no signal processing.
  void process(float** inputs, float** outputs, int32_t sampleFrames) override;
  // The signal path, 1..kMaxBlockFrames frames per call.
  void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
  // Makes program current and sends its 49 values through setParameter, in record order.
  // Programs outside 0..15 are ignored. A changed delay reaches the host once, at the end.
  void setProgram(int32_t program) override;
  // Renames the current program (at most 31 characters are kept).
  void setProgramName(char* name) override;
  // The current program's name; a program named "Init" reads as "Init <number>", one-based.
  void getProgramName(char* name) override;
  // Texts for index 0..48 (label 9 bytes, display at most 9, name 12); other indices leave
  // the buffer untouched. getParameterDisplay first updates the engine, whatever the index.
  void getParameterLabel(int32_t index, char* label) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterName(int32_t index, char* text) override;
  // Stores the host's rate (Hz) and brings the engine and its coefficients to it at once, so
  // that the first block at a new rate runs with them. A rate below 1 Hz, or NaN, is stored
  // but leaves the engine at the rate it had.
  void setSampleRate(float rate) override;

  // --- AudioEffectX operations --------------------------------------------------------------

  // Stores both; the rate as setSampleRate.
  void setBlockSizeAndSampleRate(int32_t size, float rate) override;
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
  bool copyProgram(int32_t destination) override;
  bool getInputProperties(int32_t index, VstPinProperties* properties) override;
  bool getOutputProperties(int32_t index, VstPinProperties* properties) override;
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  int32_t getVendorVersion() override;
  // Answers -1 (no) to every capability query; the text is never read.
  int32_t canDo(char* text) override;

 protected:
  // The current values and the dynamics engine. Automation, display texts and the editor read
  // and write the values from different threads; the core keeps each whole, with its exact bits.
  // Without an engine (it could not be allocated) the effect is silent.
  EffectCore core;
  KestraneProgram* programs = nullptr;  // kNumPrograms, owned
  bool engineReady = false;  // false only during construction

 private:
  // The engine's full update: every coefficient from all 49 values and the sample rate (of two
  // threads' updates the engine keeps the one that read later: the last change reaches it).
  // When the engine's delay changes, initialDelay follows and the host hears of it (unless
  // reports are held).
  void recomputeEngine();
  // holdDelayReports answers initialDelay and opens a hold: while any hold is open (during
  // construction and a program change) a changed delay is stored but the host is not told.
  // releaseDelayReports closes one; when the last closes on a delay other than delayAtHold,
  // the host is told once.
  int32_t holdDelayReports();
  void releaseDelayReports(int32_t delayAtHold);
  // The stored value of parameter index, 0..48.
  float storedValue(int32_t index) const;
  // Makes the next recomputeEngine reload the crossover kernels and clear the filters.
  void invalidateKernelSelection();
  // Hands the engine the sample rate it computes its coefficients for, in whole Hz.
  void setEngineSampleRate(int32_t rate);
  // The engine takes the host's current rate and, once ready, updates its coefficients.
  void followSampleRate();
  bool fillPinProperties(int32_t index, VstPinProperties* properties, const char* format);

  // Guards the record's initialDelay, so that it always holds the delay of the newest update.
  // Taken only by threads that change parameters or ask for display texts, never by audio.
  std::mutex recomputeMutex;
  // How many holds of the delay reports are open; one during construction.
  std::atomic<int32_t> delayReportHolds{1};
};

}  // namespace kestrane
