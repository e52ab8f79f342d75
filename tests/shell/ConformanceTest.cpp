// The plug-in as a host sees it: loaded from its library file, reached only through `main`
// and the AEffect record. The same program runs natively and, under wine, on the Windows
// builds (KESTRANE_PLUGIN selects another library file).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "golden/ProgramMaterial.h"
#include "SampleRates.h"
#include "host/TestHost.h"
#include "params/ParamId.h"

namespace kestrane {
namespace {

using testhost::Instance;
using testhost::TestHost;

constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

class Plugin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.library().loaded()) << host.library().error();
    fx = host.openInstance();
    ASSERT_NE(fx, nullptr);
  }

  bool hasEditor() const { return (fx->effect()->flags & effFlagsHasEditor) != 0; }

  TestHost host;
  std::unique_ptr<Instance> fx;
};

// --- Entry point and record ---------------------------------------------------------------

TEST(Entry, AsksTheHostVersionFirstAndRefusesAHostAnsweringZero) {
  TestHost host;
  ASSERT_TRUE(host.library().loaded()) << host.library().error();
  host.setVersionAnswer(0);
  EXPECT_EQ(host.openEffect(), nullptr);
  ASSERT_EQ(host.calls().size(), 1u);
  const testhost::HostCall& call = host.calls()[0];
  EXPECT_EQ(call.effect, nullptr);
  EXPECT_EQ(call.opcode, audioMasterVersion);
  EXPECT_EQ(call.index, 0);
  EXPECT_EQ(call.value, 0);
  EXPECT_EQ(call.ptr, nullptr);
  EXPECT_EQ(call.opt, 0.0f);
}

TEST(Entry, ExportsVSTPluginMainOnlyOffWindows) {
  TestHost host;
  ASSERT_NE(host.library().entry("main"), nullptr);
#ifdef _WIN32
  EXPECT_EQ(host.library().entry("VSTPluginMain"), nullptr);
#endif
}

TEST_F(Plugin, RecordFields) {
  const AEffect& e = *fx->effect();
  EXPECT_EQ(e.magic, 0x56737450);
  EXPECT_EQ(e.numPrograms, 16);
  EXPECT_EQ(e.numParams, 49);
  EXPECT_EQ(e.numInputs, 2);
  EXPECT_EQ(e.numOutputs, 2);
  EXPECT_EQ(e.flags & ~effFlagsHasEditor, effFlagsCanReplacing);
  EXPECT_EQ(e.resvd1, 0);
  EXPECT_EQ(e.resvd2, 0);
  // Mastering at 44100 Hz: 375 samples of crossover and 441 of lookahead.
  EXPECT_EQ(e.initialDelay, 816);
  EXPECT_EQ(e.realQualities, 0);
  EXPECT_EQ(e.offQualities, 0);
  EXPECT_EQ(e.ioRatio, 1.0f);
  EXPECT_NE(e.object, nullptr);
  EXPECT_EQ(e.user, nullptr);
  EXPECT_EQ(e.uniqueID, 0x33313263);
  EXPECT_EQ(e.version, 1);
  EXPECT_NE(e.dispatcher, nullptr);
  EXPECT_NE(e.process, nullptr);
  EXPECT_NE(e.processReplacing, nullptr);
  EXPECT_NE(e.setParameter, nullptr);
  EXPECT_NE(e.getParameter, nullptr);
  for (char byte : e.future) EXPECT_EQ(byte, 0);
  EXPECT_EQ(fx->program(), 0);
}

TEST_F(Plugin, InstancesAreIndependent) {
  std::unique_ptr<Instance> other = host.openInstance();
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other->effect(), fx->effect());
  other->setProgram(3);
  other->setParameter(0, 0.25f);
  EXPECT_EQ(fx->program(), 0);
  EXPECT_EQ(fx->getParameter(0), 0.33333334f);
}

TEST_F(Plugin, CloseAnswersOne) { EXPECT_EQ(fx->close(), 1); }

// --- Dispatcher answers ------------------------------------------------------------------

struct OpcodeAnswer {
  int32_t opcode;
  int32_t index;
  intptr_t value;
  intptr_t answer;
};

TEST_F(Plugin, FixedAnswers) {
  const OpcodeAnswer table[] = {
      {effOpen, 0, 0, 0},
      {effGetVu, 0, 0, 0},
      {effSetBlockSize, 0, 256, 0},
      {effMainsChanged, 0, 0, 0},
      {effMainsChanged, 0, 1, 0},
      {effIdentify, 0, 0, 0x4E764566},
      {effCanBeAutomated, 0, 0, 1},
      {effCanBeAutomated, 48, 0, 1},
      {effCanBeAutomated, 60, 0, 1},
      {effCanBeAutomated, -1, 0, 1},
      {effGetNumProgramCategories, 0, 0, 1},
      {effConnectInput, 0, 1, 1},
      {effConnectOutput, 1, 0, 1},
      {effGetPlugCategory, 0, 0, 0},
      {effSetBlockSizeAndSampleRate, 0, 512, 1},
      {effGetVendorVersion, 0, 0, 1},
      {effKeysRequired, 0, 0, 1},
      {effGetVstVersion, 0, 0, 2200},
      {effGetCurrentMidiProgram, 0, 0, -1},
      // Passed to operations that answer 0, false or null.
      {effProcessEvents, 0, 0, 0},
      {effGetCurrentPosition, 0, 0, 0},
      {effGetDestinationBuffer, 0, 0, 0},
      {effOfflineNotify, 0, 0, 0},
      {effOfflinePrepare, 0, 0, 0},
      {effOfflineRun, 0, 0, 0},
      {effProcessVarIo, 0, 0, 0},
      {effSetSpeakerArrangement, 0, 0, 0},
      {effSetBypass, 0, 1, 0},
      {effVendorSpecific, 0, 0, 0},
      {effGetTailSize, 0, 0, 0},
      {effIdle, 0, 0, 0},
      {effGetIcon, 0, 0, 0},
      {effSetViewPosition, 10, 10, 0},
      {effHasMidiProgramsChanged, 0, 0, 0},
      {effBeginSetProgram, 0, 0, 0},
      {effEndSetProgram, 0, 0, 0},
      // Reach no operation at all.
      {effEditDraw, 0, 0, 0},
      {effEditMouse, 0, 0, 0},
      {effEditKey, 0, 0, 0},
      {effEditTop, 0, 0, 0},
      {effEditSleep, 0, 0, 0},
      {69, 0, 0, 0},
      {-1, 0, 0, 0},
      {kIntMin, 0, 0, 0},
  };
  for (const OpcodeAnswer& row : table) {
    EXPECT_EQ(fx->dispatch(row.opcode, row.index, row.value, nullptr, 96000.0f), row.answer)
        << "opcode " << row.opcode;
  }
  EXPECT_EQ(fx->program(), 0);
  EXPECT_EQ(fx->dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
}

TEST_F(Plugin, EditorRequestsAnswerZeroWithoutAnEditor) {
  if (hasEditor()) GTEST_SKIP() << "this build carries an editor";
  ERect* rect = reinterpret_cast<ERect*>(&rect);
  EXPECT_EQ(fx->dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, reinterpret_cast<ERect*>(&rect));
  EXPECT_EQ(fx->dispatch(effEditOpen, 0, 0, &rect), 0);
  EXPECT_EQ(fx->dispatch(effEditIdle), 0);
  EXPECT_EQ(fx->dispatch(effEditClose), 0);
  EXPECT_EQ(fx->dispatch(effEditKeyDown, 'a', 0x41, nullptr, 1.0f), 0);
  EXPECT_EQ(fx->dispatch(effEditKeyUp, 'a', 0x41, nullptr, 1.0f), 0);
  EXPECT_EQ(fx->dispatch(effSetEditKnobMode, 0, 2), 0);
}

TEST_F(Plugin, CanDoAnswersNoToEverything) {
  for (const char* query : {"receiveVstEvents", "sendVstMidiEvent", "bypass", ""}) {
    std::string text = query;
    EXPECT_EQ(fx->dispatch(effCanDo, 0, 0, text.data()), -1) << query;
  }
  EXPECT_EQ(fx->dispatch(effCanDo, 0, 0, nullptr), -1);
}

TEST_F(Plugin, IdentityStrings) {
  EXPECT_EQ(fx->effectName(), "Kestrane");
  EXPECT_EQ(fx->vendorString(), "Halvorn");
  EXPECT_EQ(fx->productString(), "Kestrane");
  char text[64];
  EXPECT_EQ(fx->dispatch(effGetEffectName, 0, 0, text), 1);
  EXPECT_EQ(fx->dispatch(effGetVendorString, 0, 0, text), 1);
  EXPECT_EQ(fx->dispatch(effGetProductString, 0, 0, text), 1);
}

VstPinProperties filledPin() {
  VstPinProperties pin;
  std::memset(&pin, 0x5A, sizeof pin);
  return pin;
}

TEST_F(Plugin, PinPropertiesForTheTwoPinsOnly) {
  const VstPinProperties untouched = filledPin();
  for (int32_t index : {0, 1}) {
    VstPinProperties in = filledPin();
    VstPinProperties out = filledPin();
    EXPECT_EQ(fx->dispatch(effGetInputProperties, index, 0, &in), 1);
    EXPECT_EQ(fx->dispatch(effGetOutputProperties, index, 0, &out), 1);
    EXPECT_EQ(std::string(in.label), "Kestrane " + std::to_string(index + 1) + " In");
    EXPECT_EQ(std::string(out.label), "Kestrane " + std::to_string(index + 1) + " Out");
    EXPECT_EQ(in.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_EQ(out.flags, 3);
    // The host's other fields stay as the host filled them.
    EXPECT_EQ(in.arrangementType, untouched.arrangementType);
    EXPECT_EQ(std::memcmp(in.shortLabel, untouched.shortLabel, sizeof in.shortLabel), 0);
    EXPECT_EQ(std::memcmp(in.future, untouched.future, sizeof in.future), 0);
  }
  for (int32_t index : {2, 3, -1, kIntMin}) {
    VstPinProperties pin = filledPin();
    EXPECT_EQ(fx->dispatch(effGetInputProperties, index, 0, &pin), 0) << index;
    EXPECT_EQ(fx->dispatch(effGetOutputProperties, index, 0, &pin), 0) << index;
    EXPECT_EQ(std::memcmp(&pin, &untouched, sizeof pin), 0) << index;
  }
}

TEST_F(Plugin, NullBufferIsNeverDereferenced) {
  const int32_t writers[] = {effSetProgramName, effGetProgramName, effGetParamLabel,
                             effGetParamDisplay, effGetParamName, effEditGetRect,
                             effGetChunk, effString2Parameter, effGetProgramNameIndexed,
                             effGetInputProperties, effGetOutputProperties, effGetEffectName,
                             effGetErrorText, effGetVendorString, effGetProductString,
                             effGetParameterProperties, effGetMidiProgramName,
                             effGetMidiProgramCategory, effGetMidiKeyName};
  for (int32_t opcode : writers) {
    EXPECT_EQ(fx->dispatch(opcode, 0, 0, nullptr), 0) << "opcode " << opcode;
  }
  // Every request with no buffer, none of them closing the instance.
  for (int32_t opcode = effOpen; opcode <= effEndSetProgram; ++opcode) {
    if (opcode != effClose && opcode != effSetProgram) fx->dispatch(opcode, 0, 0, nullptr);
  }
  EXPECT_EQ(fx->effectName(), "Kestrane");
}

// --- Parameters ---------------------------------------------------------------------------

TEST_F(Plugin, ParameterNamesAndLabels) {
  EXPECT_EQ(fx->parameterName(0), "FIR1 Slope ");
  EXPECT_EQ(fx->parameterName(6), "C.Thr.LF   ");
  EXPECT_EQ(fx->parameterName(37), "E.Rel.HF   ");
  EXPECT_EQ(fx->parameterName(43), "Enable Lkhd");
  EXPECT_EQ(fx->parameterName(48), "Disp.mode  ");
  EXPECT_EQ(fx->parameterLabel(10), " 10*x:1 ");
  EXPECT_EQ(fx->parameterLabel(26), " 1:x/10 ");
  EXPECT_EQ(fx->parameterLabel(30), " 0.1*ms ");
  EXPECT_EQ(fx->parameterLabel(42), "   ms   ");
  EXPECT_EQ(fx->parameterLabel(47), "        ");
  for (int32_t i = 0; i < 49; ++i) {
    EXPECT_EQ(fx->parameterName(i).size(), 11u) << i;
    EXPECT_EQ(fx->parameterLabel(i).size(), 8u) << i;
  }
}

// Display texts at v = 0 and v = 1, by index.
const char* const kTextsAtZero[49] = {
    "      6", "      6", "      6", "     50", "     80", "    125",
    "    -40", "    -40", "    -40", "    -40", "     10", "     10", "     10", "     10",
    "      5", "      5", "      5", "      5", "      5", "      5", "      5", "      5",
    "-inf", "-inf", "-inf", "-inf", "     10", "     10", "     10", "     10",
    "      5", "      5", "      5", "      5", "      5", "      5", "      5", "      5",
    "-inf", "-inf", "-inf", "-inf", "      0",
    "      0", "      0", "      0", "      0", "      0", "      0"};
const char* const kTextsAtOne[49] = {
    "     24", "     24", "     24", "   5000", "   8000", "  12500",
    "      0", "      0", "      0", "      0", "    500", "    500", "    500", "    500",
    "   1000", "   1000", "   1000", "   1000", "    500", "    500", "    500", "    500",
    "      0", "      0", "      0", "      0", "    500", "    500", "    500", "    500",
    "   1000", "   1000", "   1000", "   1000", "    500", "    500", "    500", "    500",
    "   25.0", "   25.0", "   25.0", "   25.0", "    100",
    "      1", "      1", "      1", "      1", "      1", "      1"};

TEST_F(Plugin, DisplayTextsAtTheRangeEnds) {
  for (int32_t i = 0; i < 49; ++i) {
    fx->setParameter(i, 0.0f);
    EXPECT_EQ(fx->parameterDisplay(i), kTextsAtZero[i]) << "parameter " << i;
    fx->setParameter(i, 1.0f);
    EXPECT_EQ(fx->parameterDisplay(i), kTextsAtOne[i]) << "parameter " << i;
  }
}

TEST_F(Plugin, DisplayTextsAtListedValues) {
  const struct {
    int32_t index;
    float value;
    const char* text;
  } rows[] = {
      {0, 0.33333334f, "     12"}, {2, 0.6666666f, "     18"}, {5, 0.7f, "   3200"},
      {38, 0.001996008f, "  -25.0"}, {41, 0.5808383f, "    4.0"}, {42, 0.01f, "      0"},
      {39, 0.0009979f, "-inf"}, {40, 0.49f, "   -0.6"}, {44, 0.00005f, "      1"},
      {22, 0.019607844f, "    -50"}, {25, std::nextafter(0.019607844f, 0.0f), "-inf"},
  };
  for (const auto& row : rows) {
    fx->setParameter(row.index, row.value);
    EXPECT_EQ(fx->parameterDisplay(row.index), row.text) << row.index << " at " << row.value;
  }
}

TEST_F(Plugin, ValuesAreStoredExactlyAsSent) {
  fx->setParameter(6, 0.25f);
  EXPECT_EQ(fx->getParameter(6), 0.25f);
  fx->setParameter(10, 0.123456789f);
  EXPECT_EQ(fx->getParameter(10), 0.123456789f);
  fx->setParameter(11, 1.5f);
  EXPECT_EQ(fx->getParameter(11), 1.5f);
  fx->setParameter(12, -0.5f);
  EXPECT_EQ(fx->getParameter(12), -0.5f);
}

TEST_F(Plugin, UnknownParameterIndexStoresNothingAndWritesNothing) {
  for (int32_t index : {49, 60, -1, kIntMin}) {
    fx->setParameter(index, 0.5f);
    EXPECT_EQ(fx->getParameter(index), 0.0f);
    for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
      char text[16] = "untouched";
      EXPECT_EQ(fx->dispatch(opcode, index, 0, text), 0);
      EXPECT_STREQ(text, "untouched") << "opcode " << opcode << " index " << index;
    }
  }
}

TEST_F(Plugin, OutOfRangeValuesShowTheNearestEnd) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (int32_t i = 0; i < 49; ++i) {
    for (float v : {1.5f, 1e30f, inf}) {
      fx->setParameter(i, v);
      EXPECT_EQ(fx->parameterDisplay(i), kTextsAtOne[i]) << i << " at " << v;
    }
    // A switch acts for every value but 0, so it reads 1 below the range as well.
    const bool isSwitch = i >= 43 && i <= 47;
    for (float v : {-0.5f, -inf, nan}) {
      fx->setParameter(i, v);
      EXPECT_EQ(fx->parameterDisplay(i), isSwitch ? kTextsAtOne[i] : kTextsAtZero[i])
          << i << " at " << v;
    }
  }
  fx->setParameter(3, nan);
  EXPECT_TRUE(std::isnan(fx->getParameter(3)));
}

// --- Programs -----------------------------------------------------------------------------

TEST_F(Plugin, NewInstanceStartsOnMastering) {
  EXPECT_EQ(fx->program(), 0);
  EXPECT_EQ(fx->programName(), "Mastering");
  EXPECT_EQ(fx->getParameter(5), 0.7f);
  EXPECT_EQ(fx->getParameter(38), 0.5808383f);
  EXPECT_EQ(fx->getParameter(6), 0.8f);  // read back through the record order
  EXPECT_EQ(fx->getParameter(22), 0.0f);
}

TEST_F(Plugin, ProgramNamesByIndex) {
  const char* const names[] = {"Mastering", "Rock",  "Dance",     "Extreme",
                               "Instrumental", "Vocal", "Drum Loop", "Radio Voice"};
  for (int32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(fx->dispatch(effGetProgramNameIndexed, i, 0, std::string(64, '\0').data()), 1);
    EXPECT_EQ(fx->programNameIndexed(i), i < 8 ? names[i] : "Empty") << i;
  }
}

TEST_F(Plugin, SelectingRadioVoice) {
  fx->setProgram(7);
  EXPECT_EQ(fx->program(), 7);
  EXPECT_EQ(fx->programName(), "Radio Voice");
  EXPECT_EQ(fx->getParameter(41), 0.001996008f);
  EXPECT_EQ(fx->getParameter(1), 1.0f);
  EXPECT_EQ(fx->getParameter(11), 0.5682776f);
  // 1/501 lies just below the first gain step, but rounds onto it: -25 dB, as the engine runs.
  EXPECT_EQ(fx->parameterDisplay(41), "  -25.0");
}

TEST_F(Plugin, SelectingAnEmptyProgram) {
  fx->setProgram(9);
  EXPECT_EQ(fx->programName(), "Empty");
  for (int32_t i = 0; i < 49; ++i) {
    float expected = 0.0f;
    if (i <= 9 || (i >= 43 && i <= 47)) expected = 1.0f;
    if (i >= 38 && i <= 41) expected = 0.500998f;
    EXPECT_EQ(fx->getParameter(i), expected) << i;
  }
}

TEST_F(Plugin, ProgramChangeKeepsEdits) {
  fx->setProgram(2);
  fx->setParameter(0, 1.0f);
  fx->setParameter(30, 0.75f);
  fx->setProgram(3);
  EXPECT_EQ(fx->getParameter(0), 0.6666667f);
  fx->setProgram(2);
  EXPECT_EQ(fx->getParameter(0), 1.0f);
  EXPECT_EQ(fx->getParameter(30), 0.75f);
}

TEST_F(Plugin, OutOfRangeProgramNumbersAreIgnored) {
  fx->setProgram(4);
  fx->setParameter(3, 0.9f);
  for (intptr_t program : {intptr_t{16}, intptr_t{-1}, intptr_t{kIntMin}, intptr_t{1} << 20}) {
    EXPECT_EQ(fx->dispatch(effSetProgram, 0, program), 0);
    EXPECT_EQ(fx->program(), 4);
  }
  EXPECT_EQ(fx->getParameter(3), 0.9f);
}

TEST_F(Plugin, InitNamesReadWithTheirNumber) {
  char init[] = "Init";
  fx->dispatch(effSetProgramName, 0, 0, init);
  EXPECT_EQ(fx->programName(), "Init 1");
  EXPECT_EQ(fx->programNameIndexed(0), "Init");
  fx->setProgram(15);
  fx->dispatch(effSetProgramName, 0, 0, init);
  EXPECT_EQ(fx->programName(), "Init 16");
  char initial[] = "Initial";
  fx->dispatch(effSetProgramName, 0, 0, initial);
  EXPECT_EQ(fx->programName(), "Initial");
}

TEST_F(Plugin, LongProgramNamesKeepThirtyOneCharacters) {
  std::string name(40, 'n');
  name[30] = 'x';
  fx->dispatch(effSetProgramName, 0, 0, name.data());
  EXPECT_EQ(fx->programName(), name.substr(0, 31));
  EXPECT_EQ(fx->programNameIndexed(0), name.substr(0, 31));
}

TEST_F(Plugin, CopyProgramCopiesValuesAndNameOnly) {
  fx->setProgram(2);
  fx->setParameter(48, 1.0f);
  EXPECT_EQ(fx->dispatch(effCopyProgram, 15), 1);
  EXPECT_EQ(fx->program(), 2);
  EXPECT_EQ(fx->programNameIndexed(15), "Dance");
  std::vector<float> dance;
  for (int32_t i = 0; i < 49; ++i) dance.push_back(fx->getParameter(i));
  fx->setProgram(15);
  for (int32_t i = 0; i < 49; ++i) EXPECT_EQ(fx->getParameter(i), dance[i]) << i;
}

TEST_F(Plugin, CopyAndNameRequestsRefuseUnknownPrograms) {
  for (int32_t index : {16, -1, kIntMin}) {
    EXPECT_EQ(fx->dispatch(effCopyProgram, index), 0) << index;
    char text[16] = "untouched";
    EXPECT_EQ(fx->dispatch(effGetProgramNameIndexed, index, 0, text), 0) << index;
    EXPECT_STREQ(text, "untouched");
  }
  EXPECT_EQ(fx->programNameIndexed(15), "Empty");
}

// --- Audio --------------------------------------------------------------------------------

struct Buffers {
  explicit Buffers(size_t frames, float in, float out)
      : inputs{std::vector<float>(frames, in), std::vector<float>(frames, in)},
        outputs{std::vector<float>(frames, out), std::vector<float>(frames, out)} {}
  bool outputsAll(float value) const {
    for (const auto& channel : outputs) {
      for (float sample : channel) {
        if (sample != value) return false;
      }
    }
    return true;
  }
  std::vector<float> inputs[2];
  std::vector<float> outputs[2];
};

TEST_F(Plugin, ProcessAccumulates) {
  Buffers buffers(64, 0.25f, 0.5f);
  fx->process(buffers.inputs, buffers.outputs, 64);
  EXPECT_TRUE(buffers.outputsAll(0.75f));
  for (int32_t frames : {0, -1, kIntMin}) {
    fx->process(buffers.inputs, buffers.outputs, frames);
    EXPECT_TRUE(buffers.outputsAll(0.75f)) << frames;
  }
}

TEST_F(Plugin, ProcessReplacingIgnoresBlocksItCannotTake) {
  Buffers buffers(65536, 0.25f, 0.5f);
  for (int32_t frames : {0, -1, 65536, kIntMin}) {
    fx->processReplacing(buffers.inputs, buffers.outputs, frames);
    EXPECT_TRUE(buffers.outputsAll(0.5f)) << frames;
  }
}

TEST_F(Plugin, ProcessReplacingTakesTheLongestBlockWhole) {
  // A sentinel no processed sample can equal: every frame of the block must be written.
  Buffers buffers(65536, 0.25f, 123.0f);
  fx->processReplacing(buffers.inputs, buffers.outputs, 65535);
  for (const auto& channel : buffers.outputs) {
    for (size_t i = 0; i < 65535; ++i) ASSERT_NE(channel[i], 123.0f) << "frame " << i;
    EXPECT_EQ(channel[65535], 123.0f);  // the frame past the block is left alone
  }
  // One frame more is refused whole (ProcessReplacingIgnoresBlocksItCannotTake).
}

// A block of noise, then silence: whether the crossover still rings with the noise shows
// whether its filters were cleared in between.
std::vector<float> silenceAfterNoise(Instance& fx, bool askForATextInBetween) {
  Buffers noise(256, 0.0f, 0.0f);
  uint32_t seed = 12345;
  for (auto& channel : noise.inputs) {
    for (float& sample : channel) {
      seed = seed * 1664525u + 1013904223u;
      sample = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
    }
  }
  fx.processReplacing(noise.inputs, noise.outputs, 256);
  if (askForATextInBetween) fx.parameterDisplay(0);
  Buffers silence(4096, 0.0f, 1.0f);
  fx.processReplacing(silence.inputs, silence.outputs, 4096);
  return silence.outputs[0];
}

TEST_F(Plugin, FirstDisplayRequestAfterConstructionReloadsAndClearsTheCrossover) {
  // A new instance reloads its kernels at its first update after construction, so that the
  // host's rate reaches them; a display request is such an update.
  const std::vector<float> cleared = silenceAfterNoise(*fx, true);
  for (size_t i = 0; i < cleared.size(); ++i) ASSERT_EQ(cleared[i], 0.0f) << "frame " << i;
  // Without the request the noise still comes out of the crossover and lookahead delay.
  std::unique_ptr<Instance> other = host.openInstance();
  ASSERT_NE(other, nullptr);
  const std::vector<float> ringing = silenceAfterNoise(*other, false);
  size_t nonzero = 0;
  for (float sample : ringing) nonzero += sample != 0.0f ? 1 : 0;
  EXPECT_GT(nonzero, 100u);
}

TEST_F(Plugin, MissingAudioBuffersAreIgnored) {
  AEffect* e = fx->effect();
  e->process(e, nullptr, nullptr, 16);
  e->processReplacing(e, nullptr, nullptr, 16);
  float samples[16] = {};
  float* partial[2] = {samples, nullptr};
  e->process(e, partial, partial, 16);
  e->processReplacing(e, partial, partial, 16);
  for (float sample : samples) EXPECT_EQ(sample, 0.0f);
}

// --- Latency ------------------------------------------------------------------------------

// The delay of the output behind the input, measured: with every band switched off the plug-in
// is a pure delay, so an impulse comes out once, unchanged, that many samples later. -1 when
// nothing, or anything besides the impulse, comes out within 65536 samples.
int32_t measuredDelay(Instance& fx) {
  for (int32_t b = 0; b < kNumBands; ++b) fx.setParameter(EnableLF + b, 0.0f);
  constexpr int32_t kBlock = 4096;
  Buffers buffers(kBlock, 0.0f, 0.0f);
  buffers.inputs[0][0] = buffers.inputs[1][0] = 0.5f;
  int32_t found = -1;
  for (int32_t done = 0; done < 65536 && found < 0; done += kBlock) {
    fx.processReplacing(buffers.inputs, buffers.outputs, kBlock);
    buffers.inputs[0][0] = buffers.inputs[1][0] = 0.0f;
    for (int32_t i = 0; i < kBlock; ++i) {
      const float left = buffers.outputs[0][i], right = buffers.outputs[1][i];
      if (left == 0.0f && right == 0.0f) continue;
      if (found >= 0 || left != 0.5f || right != 0.5f) return -1;
      found = done + i;
    }
  }
  return found;
}

TEST(Latency, TheReportedDelayIsTheMeasuredOneForEveryProgramAtEveryRate) {
  TestHost host;
  ASSERT_TRUE(host.library().loaded()) << host.library().error();
  for (int32_t rate : test::testedSampleRates()) {
    for (int32_t program = 0; program < 16; ++program) {
      std::unique_ptr<Instance> fx = host.openInstance();
      ASSERT_NE(fx, nullptr);
      fx->dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
      fx->dispatch(effSetBlockSize, 0, 4096);
      fx->setProgram(program);
      fx->dispatch(effMainsChanged, 0, 1);
      // As a host reads it before the audio starts; switching the bands off must not move it.
      const int32_t reported = fx->effect()->initialDelay;
      EXPECT_EQ(measuredDelay(*fx), reported) << "program " << program << " at " << rate << " Hz";
      EXPECT_EQ(fx->effect()->initialDelay, reported);
    }
  }
}

// A host that compensates delays: after every request it compares initialDelay with the value
// it read before, and counts the ioChanged calls it got meanwhile.
class LatencyReports : public Plugin {
 protected:
  // Runs request, then expects one ioChanged exactly when initialDelay moved, carrying the
  // new value already, and then, with audio running, the delay a measurement finds.
  template <typename Request>
  void expectReportAfter(const char* what, Request request) {
    SCOPED_TRACE(what);
    const int32_t before = fx->effect()->initialDelay;
    host.clearCalls();
    request();
    const int32_t after = fx->effect()->initialDelay;
    std::vector<testhost::HostCall> reports;
    for (const testhost::HostCall& call : host.calls()) {
      if (call.opcode == audioMasterIOChanged) reports.push_back(call);
    }
    ASSERT_EQ(reports.size(), after != before ? 1u : 0u) << before << " -> " << after;
    for (const testhost::HostCall& call : reports) {
      EXPECT_EQ(call.effect, fx->effect());
      EXPECT_EQ(call.initialDelay, after);
      EXPECT_FALSE(call.fromAudio);
    }
    changes += after != before ? 1 : 0;
  }

  // Audio after the requests: the host restarts it and finds the delay the record holds; the
  // audio itself never reports a change. 65536 samples of silence first carry off the earlier
  // measurement's impulse, which a longer delay would otherwise bring back.
  void expectAudioAgrees() {
    fx->dispatch(effMainsChanged, 0, 0);
    fx->dispatch(effMainsChanged, 0, 1);
    const int32_t reported = fx->effect()->initialDelay;
    host.clearCalls();
    Buffers silence(4096, 0.0f, 0.0f);
    for (int32_t done = 0; done < 65536; done += 4096) {
      fx->processReplacing(silence.inputs, silence.outputs, 4096);
    }
    std::vector<float> enabled;
    for (int32_t b = 0; b < kNumBands; ++b) enabled.push_back(fx->getParameter(EnableLF + b));
    EXPECT_EQ(measuredDelay(*fx), reported);
    for (int32_t b = 0; b < kNumBands; ++b) fx->setParameter(EnableLF + b, enabled[b]);
    EXPECT_EQ(host.countCalls(audioMasterIOChanged), 0u);
  }

  int32_t changes = 0;
};

TEST_F(LatencyReports, ConstructionTellsNothingAndTheRecordAlreadyHoldsTheDelay) {
  // The construction of SetUp made no call besides the version query and whatever the editor
  // asks; no change was reported for a value the host has not read yet.
  EXPECT_EQ(host.countCalls(audioMasterIOChanged), 0u);
  expectAudioAgrees();
}

TEST_F(LatencyReports, EveryChangeOfTheDelayIsReportedOnceAndNothingElseIs) {
  for (int32_t id : {Fir1Slope, Fir2Slope, Fir3Slope, Fir1Freq, Fir2Freq, Fir3Freq}) {
    for (float v : {0.0f, 0.1f, 0.34f, 0.34f, 0.7f, 1.0f}) {
      expectReportAfter("crossover", [&] { fx->setParameter(id, v); });
    }
  }
  expectAudioAgrees();
  for (float v : {0.5f, 0.5f, 0.001f, 0.0f, 1.0f}) {
    expectReportAfter("lookahead time", [&] { fx->setParameter(Lookahead, v); });
  }
  for (float v : {0.0f, 0.0f, 1.0f, 0.5f}) {
    expectReportAfter("lookahead switch", [&] { fx->setParameter(EnableLookahead, v); });
  }
  expectAudioAgrees();
  for (int32_t id : {GainLF, CompThreshHF, ExpRatioLMF, EnableHMF, DisplayMode}) {
    expectReportAfter("no delay", [&] { fx->setParameter(id, 0.25f); });
  }
  for (float rate : {48000.0f, 48000.0f, 96000.0f, 22050.0f, 192000.0f, 44100.0f}) {
    expectReportAfter("rate", [&] { fx->dispatch(effSetSampleRate, 0, 0, nullptr, rate); });
    expectAudioAgrees();
  }
  expectReportAfter("rate and block size",
                    [&] { fx->dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 32000.0f); });
  expectAudioAgrees();
  // A program change passes through mixtures of two programs' values; the host hears once.
  for (int32_t program : {1, 2, 2, 7, 9, 0}) {
    expectReportAfter("program", [&] { fx->dispatch(effSetProgram, 0, program); });
    expectAudioAgrees();
  }
  for (int32_t index : {0, 5, 43}) {
    expectReportAfter("display text", [&] { fx->parameterDisplay(index); });
  }
  EXPECT_GT(changes, 20);
}

// --- A crossover change ---------------------------------------------------------------------

TEST_F(Plugin, ASlopeChangeWithLookaheadLetsTheAudioInFlightEndThenReplaysNothing) {
  // 100 ms of lookahead on a running signal (noise), then a slope change and silence: the
  // audio already in flight plays on (no drop-out), the bands cross over to the new crossover
  // on the silence, and once the change and the lookahead have passed (the new filters' length,
  // the 15 ms fade and the 100 ms: well under 12000 samples at any rate the host may have set
  // here) not one sample may sound.
  fx->setParameter(Lookahead, 1.0f);
  fx->setParameter(EnableLookahead, 1.0f);
  constexpr int32_t kBlock = 1000;
  Buffers buffers(kBlock, 0.0f, 0.0f);
  test::Noise gen(1);
  for (int32_t block = 0; block < 40; ++block) {
    for (auto& channel : buffers.inputs) {
      for (float& sample : channel) sample = gen.sample(0.5f);
    }
    fx->processReplacing(buffers.inputs, buffers.outputs, kBlock);
  }
  ASSERT_FALSE(buffers.outputsAll(0.0f));
  fx->setParameter(Fir2Slope, fx->getParameter(Fir2Slope) < 0.5f ? 1.0f : 0.0f);
  for (auto& channel : buffers.inputs) std::fill(channel.begin(), channel.end(), 0.0f);
  for (int32_t block = 0; block < 30; ++block) {
    fx->processReplacing(buffers.inputs, buffers.outputs, kBlock);
    if (block == 0) {
      EXPECT_FALSE(buffers.outputsAll(0.0f)) << "the audio in flight was cut";
    }
    if (block >= 12) {
      ASSERT_TRUE(buffers.outputsAll(0.0f)) << "block " << block << " after the change";
    }
  }
}

}  // namespace
}  // namespace kestrane
