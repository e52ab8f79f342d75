// The effect object from inside: the editor hand-over (with a stand-in editor bound in
// through the editor factory), the host-service wrappers, the stored program record and the
// state the record does not show.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "shell/AEffEditor.h"
#include "shell/EditorFactory.h"
#include "shell/KestraneProcessorWithEditor.h"

namespace kestrane {

// --- A stand-in editor and the factory the processor calls --------------------------------

enum class EditorMode { None, Fake, OutOfMemory };
EditorMode editorMode = EditorMode::None;

struct EditorLog {
  std::vector<std::pair<int32_t, float>> parameters;
  int postUpdates = 0;
  int32_t lastKeyCharacter = 0;
  int lastKeyVirt = -1;
  int lastKeyModifier = -1;
  void* openedWith = nullptr;
  bool destroyed = false;
};
EditorLog editorLog;

class FakeEditor : public AEffEditor, public EditorParameterSink {
 public:
  explicit FakeEditor(AudioEffect* owner) : AEffEditor(owner) { owner->setEditor(this); }
  ~FakeEditor() override { editorLog.destroyed = true; }

  int32_t getRect(ERect** rect) override {
    *rect = &area;
    return 1;
  }
  int32_t open(void* window) override {
    editorLog.openedWith = window;
    return 1;
  }
  void postUpdate() override { ++editorLog.postUpdates; }
  int32_t onKeyDown(VstKeyCode& key) override {
    editorLog.lastKeyCharacter = key.character;
    editorLog.lastKeyVirt = key.virt;
    editorLog.lastKeyModifier = key.modifier;
    return 1;
  }
  int32_t setKnobMode(int32_t mode) override { return mode + 10; }
  void setParameter(int32_t index, float value) override {
    editorLog.parameters.emplace_back(index, value);
  }

  ERect area{0, 0, 489, 640};
};

CreatedEditor createEditor(AudioEffect* effect) {
  switch (editorMode) {
    case EditorMode::Fake: return {new FakeEditor(effect), false};
    case EditorMode::OutOfMemory: return {nullptr, true};
    case EditorMode::None: break;
  }
  return {};
}

namespace {

// What the host-service tests see: every call, and a configurable answer.
std::vector<std::pair<int32_t, int32_t>> hostCalls;  // opcode, index
std::vector<intptr_t> hostValues;
std::vector<float> hostOpts;
intptr_t hostAnswer = 0;

intptr_t KESTRANE_VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t index,
                                            intptr_t value, void*, float opt) {
  hostCalls.emplace_back(opcode, index);
  hostValues.push_back(value);
  hostOpts.push_back(opt);
  return opcode == audioMasterVersion && hostAnswer == 0 ? 2400 : hostAnswer;
}

// Opens the protected state for inspection.
class Probe : public KestraneProcessorWithEditor {
 public:
  Probe() : KestraneProcessorWithEditor(recordingHost) {}
  using AudioEffectX::dispatcher;
  const KestraneProgram& program(int32_t index) const { return programs[index]; }
  float value(int32_t slot) const { return core.value(paramAtSlot(slot)); }
};

class Processor : public ::testing::Test {
 protected:
  void SetUp() override {
    editorMode = EditorMode::None;
    editorLog = EditorLog{};
    editorCreationFailed = false;
    hostCalls.clear();
    hostValues.clear();
    hostOpts.clear();
    hostAnswer = 0;
  }
  void TearDown() override { editorCreationFailed = false; }
};

// --- Construction and the entry point ----------------------------------------------------

TEST_F(Processor, ConstructionMakesNoHostCalls) {
  Probe fx;
  EXPECT_TRUE(hostCalls.empty());
  EXPECT_EQ(fx.getAeffect()->flags, effFlagsCanReplacing);
  EXPECT_EQ(fx.getSampleRate(), 44100.0f);
  EXPECT_EQ(fx.getBlockSize(), 1024);
}

TEST_F(Processor, AFailedEditorEndsEveryLaterInstance) {
  editorMode = EditorMode::OutOfMemory;
  EXPECT_EQ(createKestraneInstance(recordingHost), nullptr);
  EXPECT_TRUE(editorCreationFailed);
  editorMode = EditorMode::Fake;
  EXPECT_EQ(createKestraneInstance(recordingHost), nullptr);
  EXPECT_TRUE(editorLog.destroyed);  // the instance made meanwhile went with its editor
}

TEST_F(Processor, EntryWithoutHostMakesNothing) {
  EXPECT_EQ(createKestraneInstance(nullptr), nullptr);
}

// --- The editor hand-over ----------------------------------------------------------------

TEST_F(Processor, EditorRegistersAndReceivesEveryParameterChange) {
  editorMode = EditorMode::Fake;
  AEffect* e = createKestraneInstance(recordingHost);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->flags, effFlagsHasEditor | effFlagsCanReplacing);
  editorLog.parameters.clear();
  editorLog.postUpdates = 0;

  e->setParameter(e, 6, 0.25f);
  e->setParameter(e, 60, 0.5f);  // stores nothing, but the editor still hears of it
  ASSERT_EQ(editorLog.parameters.size(), 2u);
  EXPECT_EQ(editorLog.parameters[0], std::make_pair(int32_t{6}, 0.25f));
  EXPECT_EQ(editorLog.parameters[1], std::make_pair(int32_t{60}, 0.5f));
  EXPECT_EQ(editorLog.postUpdates, 2);

  // A program change is 49 parameter changes, in record order.
  editorLog.parameters.clear();
  e->dispatcher(e, effSetProgram, 0, 1, nullptr, 0.0f);
  ASSERT_EQ(editorLog.parameters.size(), 49u);
  EXPECT_EQ(editorLog.parameters[5].first, 5);
  EXPECT_EQ(editorLog.parameters[6].first, 22);
  EXPECT_EQ(editorLog.parameters[22].first, 6);
  EXPECT_EQ(editorLog.parameters[38].first, 38);

  EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_TRUE(editorLog.destroyed);
}

TEST_F(Processor, EditorRequestsReachTheEditor) {
  editorMode = EditorMode::Fake;
  Probe fx;
  ERect* rect = nullptr;
  EXPECT_EQ(fx.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right, 640);
  int window = 0;
  EXPECT_EQ(fx.dispatcher(effEditOpen, 0, 0, &window, 0.0f), 1);
  EXPECT_EQ(editorLog.openedWith, &window);
  EXPECT_EQ(fx.dispatcher(effEditKeyDown, 'q', 0x1A7, nullptr, 3.9f), 1);
  EXPECT_EQ(editorLog.lastKeyCharacter, 'q');
  EXPECT_EQ(editorLog.lastKeyVirt, 0xA7);  // low byte of value
  EXPECT_EQ(editorLog.lastKeyModifier, 3);  // opt truncated
  EXPECT_EQ(fx.dispatcher(effEditKeyUp, 'q', 0, nullptr, 0.0f), -1);  // the base answer
  EXPECT_EQ(fx.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 12);
}

TEST_F(Processor, KeyModifierIsTheLowByteOfAnyFloat) {
  editorMode = EditorMode::Fake;
  Probe fx;
  const std::pair<float, int> cases[] = {
      {259.9f, 3}, {-1.5f, 0xFF}, {-256.0f, 0}, {3.0e9f, 0}, {-3.0e9f, 0},
      {std::numeric_limits<float>::quiet_NaN(), 0}, {std::numeric_limits<float>::infinity(), 0}};
  for (const auto& [opt, modifier] : cases) {
    editorLog.lastKeyModifier = -1;
    fx.dispatcher(effEditKeyDown, 'k', 0, nullptr, opt);
    EXPECT_EQ(editorLog.lastKeyModifier, modifier) << opt;
  }
}

TEST(AEffEditorBase, DefaultAnswers) {
  AEffEditor editor(nullptr);
  ERect* rect = reinterpret_cast<ERect*>(&editor);
  EXPECT_EQ(editor.getRect(&rect), 0);
  EXPECT_EQ(rect, nullptr);
  VstKeyCode key{};
  EXPECT_EQ(editor.onKeyDown(key), -1);
  EXPECT_EQ(editor.onKeyUp(key), -1);
  EXPECT_EQ(editor.setKnobMode(1), 0);
  EXPECT_FALSE(editor.onWheel(1.0f));
}

TEST(AEffEditorBase, IdleRunsOnePendingUpdate) {
  struct Counting : AEffEditor {
    Counting() : AEffEditor(nullptr) {}
    void update() override { ++updates; }
    int updates = 0;
  } editor;
  editor.idle();
  EXPECT_EQ(editor.updates, 0);
  editor.postUpdate();
  editor.postUpdate();
  editor.idle();
  editor.idle();
  EXPECT_EQ(editor.updates, 1);
}

// --- Stored state -------------------------------------------------------------------------

TEST_F(Processor, ParameterChangesGoToTheCurrentProgramsRecordSlot) {
  Probe fx;
  fx.setProgram(3);
  fx.setParameter(CompThreshLF, 0.25f);
  EXPECT_EQ(fx.program(3).values[22], 0.25f);
  EXPECT_EQ(fx.value(22), 0.25f);
  fx.setParameter(ExpThreshLF, 0.5f);
  EXPECT_EQ(fx.program(3).values[6], 0.5f);
  EXPECT_EQ(fx.program(2).values[22], FactoryPrograms[2].values[22]);
}

TEST_F(Processor, RateAndBlockSizeFollowTheHostAtOnce) {
  Probe fx;
  EXPECT_EQ(fx.dispatcher(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
  EXPECT_EQ(fx.getSampleRate(), 48000.0f);
  EXPECT_EQ(fx.dispatcher(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 96000.0f), 1);
  EXPECT_EQ(fx.getBlockSize(), 512);
  EXPECT_EQ(fx.getSampleRate(), 96000.0f);
  EXPECT_EQ(fx.dispatcher(effSetBlockSize, 0, 64, nullptr, 0.0f), 0);
  EXPECT_EQ(fx.getBlockSize(), 64);
}

TEST_F(Processor, BaseTextToolsUseTheSampleRate) {
  Probe fx;
  fx.setSampleRate(48000.0f);
  char text[16];
  fx.Hz2string(480.0f, text);
  EXPECT_STREQ(text, "100.0000");
  fx.ms2string(4800.0f, text);
  EXPECT_STREQ(text, "100.0000");
  fx.long2string(42, text);
  EXPECT_STREQ(text, "     42");
}

// --- Host services ------------------------------------------------------------------------

TEST_F(Processor, UserEditsAreAnnouncedToTheHost) {
  Probe fx;
  fx.setParameterAutomated(7, 0.625f);
  EXPECT_EQ(fx.getParameter(7), 0.625f);
  ASSERT_EQ(hostCalls.size(), 1u);
  EXPECT_EQ(hostCalls[0], std::make_pair(int32_t{audioMasterAutomate}, int32_t{7}));
  EXPECT_EQ(hostValues[0], 0);
  EXPECT_EQ(hostOpts[0], 0.625f);

  EXPECT_FALSE(fx.beginEdit(7));
  EXPECT_FALSE(fx.endEdit(7));
  hostAnswer = 1;
  EXPECT_TRUE(fx.beginEdit(9));
  ASSERT_EQ(hostCalls.size(), 4u);
  EXPECT_EQ(hostCalls[1], std::make_pair(int32_t{audioMasterBeginEdit}, int32_t{7}));
  EXPECT_EQ(hostCalls[2], std::make_pair(int32_t{audioMasterEndEdit}, int32_t{7}));
  EXPECT_EQ(hostCalls[3], std::make_pair(int32_t{audioMasterBeginEdit}, int32_t{9}));
}

TEST_F(Processor, HostServiceAnswersMapToTheirMeanings) {
  Probe fx;
  hostAnswer = 0;
  EXPECT_EQ(fx.getMasterVersion(), 2400);
  EXPECT_TRUE(fx.isInputConnected(1));  // the host answers 0: connected
  hostAnswer = 1;
  EXPECT_FALSE(fx.isOutputConnected(0));
  EXPECT_EQ(hostValues.back(), 1);  // outputs ask with value 1
  EXPECT_TRUE(fx.sizeWindow(640, 489));
  EXPECT_EQ(hostCalls.back(), std::make_pair(int32_t{audioMasterSizeWindow}, int32_t{640}));
  EXPECT_EQ(hostValues.back(), 489);
  fx.setSampleRate(22050.0f);
  EXPECT_EQ(fx.updateSampleRate(), 22050.0f);
  const size_t before = hostCalls.size();
  EXPECT_FALSE(fx.openFileSelector(nullptr));
  EXPECT_EQ(hostCalls.size(), before);  // no call for a missing selection
}

TEST_F(Processor, WithoutAHostEveryServiceIsQuiet) {
  class Hostless : public KestraneProcessor {
   public:
    Hostless() : KestraneProcessor(nullptr) {}
  } fx;
  EXPECT_EQ(fx.getMasterVersion(), 1);
  EXPECT_EQ(fx.getCurrentUniqueId(), 0);
  EXPECT_TRUE(fx.isInputConnected(0));
  EXPECT_FALSE(fx.beginEdit(0));
  EXPECT_EQ(fx.getTimeInfo(0), nullptr);
  fx.setParameterAutomated(0, 0.5f);
  EXPECT_EQ(fx.getParameter(0), 0.5f);
}

}  // namespace
}  // namespace kestrane
