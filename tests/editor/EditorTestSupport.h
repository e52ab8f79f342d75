// Helpers of the editor tests, the same on both backends: the complete effect with its editor
// (KestraneProcessorWithEditor and the real editor factory) behind a host that records what it
// is told, opened into a host window, and the scripted user's gestures on the editor's controls
// found by their place in the layout table.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "PluginHost.h"
#include "editor/KestraneEditor.h"
#include "editor/Layout.h"
#include "gui/Bitmap.h"
#include "gui/Frame.h"
#include "gui/TextEdit.h"
#include "params/ParamId.h"
#include "platform/Platform.h"
#include "platform/TestHost.h"
#include "platform/TestUser.h"
#include "shell/KestraneProcessorWithEditor.h"
#include "shell/VstEditor.h"

namespace kestrane {
namespace testuser = platform::testuser;
}  // namespace kestrane

namespace kestrane::testing {

// What the host was told, in order. Cleared by every fixture.
struct EditorHostLog {
  static inline std::vector<Call>& calls = hostCalls;
  static void clear() { calls.clear(); }
  // The automation calls (audioMasterAutomate), in order.
  static std::vector<Call> automations() { return of(audioMasterAutomate); }
  // The edit bracket calls (begin and end), in order.
  static std::vector<Call> edits() {
    std::vector<Call> out;
    for (const Call& call : calls) {
      if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit) {
        out.push_back(call);
      }
    }
    return out;
  }
  static std::vector<Call> of(int32_t opcode) {
    std::vector<Call> out;
    for (const Call& call : calls) {
      if (call.opcode == opcode) out.push_back(call);
    }
    return out;
  }
};

inline intptr_t KESTRANE_VSTCALLBACK editorHost(AEffect*, int32_t opcode, int32_t index, intptr_t,
                                                void*, float opt) {
  if (opcode == audioMasterIdle) {
    testuser::nextMove();  // the scripted user's next move of a drag under way
    return 0;
  }
  return answerHost(opcode, index, opt);
}

// The complete effect, with a way to its editor.
class EditedEffect : public KestraneProcessorWithEditor {
 public:
  EditedEffect() : KestraneProcessorWithEditor(editorHost) {}
  KestraneEditor* kestraneEditor() const {
    return static_cast<VstEditor<KestraneEditor>*>(editor);
  }
  // The coefficients the engine runs with after the last update.
  EngineCoefficients engineCoefficients() const { return core.coefficients(); }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr) {
    return dispatcher(opcode, index, value, ptr, 0.0f);
  }
};

// The index in the layout table (and in the frame's views) of a control.
inline std::size_t layoutIndex(layout::Role role, int row, int column = 0, int variant = 0) {
  return static_cast<std::size_t>(&controlOf(role, row, column, variant) - layout::kControls);
}

// Band rows from the top: HF, HMF, LMF, LF.
inline int rowOf(int32_t band) { return kNumBands - 1 - band; }

// An effect with its editor open in a host window at (kHostX, kHostY), painted once.
class OpenEditor : public ::testing::Test {
 protected:
  static constexpr int kHostX = 30;
  static constexpr int kHostY = 40;

  OpenEditor() {
    EditorHostLog::clear();
    KnobMode = 0;
    testuser::hold(testuser::Input{});
    host = platform::testhost::createHostWindow(kHostX, kHostY, layout::kEditorWidth,
                                                layout::kEditorHeight);
    effect = new EditedEffect;
    open();
  }
  ~OpenEditor() override {
    testuser::hold(testuser::Input{});
    delete effect;  // closes and deletes the editor
    platform::testhost::destroyHostWindow(host);
    EditorHostLog::clear();
    KnobMode = 0;
  }

  KestraneEditor* editor() const { return effect->kestraneEditor(); }
  Frame* frame() const { return editor()->getFrame(); }
  platform::WindowRef window() const { return frame()->getSystemWindow(); }

  bool open() {
    const bool opened = effect->dispatch(effEditOpen, 0, 0, host) == 1;
    platform::testhost::processMessages();
    return opened;
  }
  void close() {
    effect->dispatch(effEditClose);
    platform::testhost::processMessages();
  }

  template <typename T = Control>
  T* view(std::size_t index) const {
    return dynamic_cast<T*>(frame()->getView(static_cast<int32_t>(index)));
  }
  template <typename T = Control>
  T* view(layout::Role role, int row, int column = 0, int variant = 0) const {
    return view<T>(layoutIndex(role, row, column, variant));
  }
  std::string text(std::size_t index) const {
    const TextEdit* readout = view<TextEdit>(index);
    return readout != nullptr ? readout->text() : std::string("<no readout>");
  }
  std::string bandText(int32_t band, int column) const {
    return text(layoutIndex(layout::Role::BandReadout, rowOf(band), column));
  }

  void set(int32_t index, float v) { effect->setParameter(index, v); }
  float get(int32_t index) { return effect->getParameter(index); }

  // A frame point in screen coordinates.
  platform::Position screen(int h, int v) const {
    const platform::Bounds bounds = platform::windowScreenBounds(window());
    return platform::Position{bounds.left + h, bounds.top + v};
  }
  platform::Position centreOf(std::size_t index) const {
    const layout::Box& box = layout::kControls[index].rect;
    return platform::Position{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  }
  // The user clicks a control (with buttons held), then makes the moves.
  void click(std::size_t index, int buttons = platform::LeftButtonBit,
             const std::vector<testuser::Input>& moves = {}) {
    testuser::press(window(), centreOf(index), buttons, moves);
  }
  // The user taps a control: press and release arrive together.
  void tap(std::size_t index, int buttons = platform::LeftButtonBit) {
    testuser::tap(window(), centreOf(index), buttons);
  }
  // The user types into a readout and presses Return.
  void type(std::size_t readout, const char* typed) {
    click(readout);
    platform::WindowRef field = testuser::editField(window());
    ASSERT_NE(field, nullptr) << "no edit field opened over readout " << readout;
    testuser::type(field, typed);
    testuser::pressReturn(field);
  }
  // Time passes (more than the meters' 5 ms), then the host gives the editor its idle.
  void idleLater(uint32_t milliseconds = 10) {
    platform::sleep(milliseconds);
    effect->dispatch(effEditIdle);
  }

  void* host = nullptr;
  EditedEffect* effect = nullptr;
};

}  // namespace kestrane::testing
