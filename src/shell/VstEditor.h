// VstEditor<Editor>: a toolkit editor (EditorBase or a subclass, such as KestraneEditor) as
// the VST 2.x effect's editor. It is the AEffEditor the effect owns and its dispatcher drives
// (effEditGetRect, effEditOpen, effEditClose, effEditIdle, the knob mode and the wheel), the
// EditorParameterSink the effect hands parameter changes to, and it gives the editor its host
// through the effect (VstEditorHost). Everything the editor does is the Editor's own; this
// class only forwards.
//
// Threads as for AEffEditor and EditorBase: the host's user-interface thread, except
// postUpdate and setParameter, which arrive on the thread of the change.
#pragma once

#include <cstdint>
#include <utility>

#include "gui/EditorBase.h"
#include "gui/EditorHost.h"
#include "shell/AEffEditor.h"
#include "shell/AudioEffect.h"
#include "shell/EditorFactory.h"

namespace kestrane {

// The editor's host seen through a VST 2.x effect: the effect's parameters, its automation
// (audioMasterAutomate), the host's edit bracket (audioMasterBeginEdit/EndEdit) and its idle
// (audioMasterIdle).
class VstEditorHost final : public EditorHost {
 public:
  explicit VstEditorHost(AudioEffect* effect) : effect_(effect) {}
  float getParameter(int32_t index) override { return effect_->getParameter(index); }
  void setParameterAutomated(int32_t index, float value) override {
    effect_->setParameterAutomated(index, value);
  }
  // The effect takes the editor's own tags as a plain parameter change and hands them back to
  // the editor (KestraneProcessorWithEditor::setParameter).
  void setParameter(int32_t index, float value) override { effect_->setParameter(index, value); }
  bool beginEdit(int32_t index) override { return effect_->beginEdit(index); }
  bool endEdit(int32_t index) override { return effect_->endEdit(index); }
  void hostIdle() override { effect_->masterIdle(); }

 private:
  AudioEffect* effect_;
};

namespace detail {
// Holds the host link so that it exists before the editor base that is handed its address.
struct VstEditorHostHolder {
  explicit VstEditorHostHolder(AudioEffect* effect) : vstHost(effect) {}
  VstEditorHost vstHost;
};
}  // namespace detail

template <class Editor>
class VstEditor : private detail::VstEditorHostHolder,
                  public AEffEditor,
                  public Editor,
                  public EditorParameterSink {
 public:
  // Makes the editor (with args after its host) and registers it with owner, which then owns
  // it and announces it with effFlagsHasEditor. Without an effect the editor has no host.
  template <class... Args>
  explicit VstEditor(AudioEffect* owner, Args&&... args)
      : VstEditorHostHolder(owner),
        AEffEditor(owner),
        Editor(owner != nullptr ? &vstHost : nullptr, std::forward<Args>(args)...) {
    if (owner != nullptr) owner->setEditor(this);
  }

  // Points *rect at the editor's rectangle; answers 1.
  int32_t getRect(ERect** out) override {
    const Rect& size = Editor::editorSize();
    vstRect = {static_cast<int16_t>(size.top), static_cast<int16_t>(size.left),
               static_cast<int16_t>(size.bottom), static_cast<int16_t>(size.right)};
    *out = &vstRect;
    return 1;
  }
  // Each of these is both the dispatcher's AEffEditor operation and the editor's own.
  int32_t open(void* window) override { return Editor::open(window); }
  void close() override { Editor::close(); }
  void idle() override { Editor::idle(); }
  void update() override { Editor::update(); }
  void postUpdate() override { Editor::postUpdate(); }
  int32_t setKnobMode(int32_t mode) override { return Editor::setKnobMode(mode); }
  bool onWheel(float distance) override { return Editor::onWheel(distance); }
  void setParameter(int32_t index, float value) override { Editor::setParameter(index, value); }

  AudioEffect* getEffect() const { return effect; }

 private:
  ERect vstRect{};
};

}  // namespace kestrane
