// KestraneProcessorWithEditor: the complete effect, KestraneProcessor plus its editor. It
// creates the editor (without a window) and hands every parameter change on to it.
#pragma once

#include <cstdint>

#include "shell/EditorFactory.h"
#include "shell/KestraneProcessor.h"

namespace kestrane {

// Set when an editor could not be allocated; from then on the loaded library makes no more
// instances (the entry point answers null). Never cleared.
extern bool editorCreationFailed;

class KestraneProcessorWithEditor : public KestraneProcessor {
 public:
  explicit KestraneProcessorWithEditor(audioMasterCallback host);
  ~KestraneProcessorWithEditor() override;

  // Stores the value and updates the engine as KestraneProcessor does, then lets an existing
  // editor show the change on its controls.
  void setParameter(int32_t index, float value) override;

 protected:
  EditorParameterSink* editorSink = nullptr;  // the editor's entry; null without an editor
};

// The entry point's work: asks the host for its version (a host answering 0 gets null),
// builds a complete instance and answers its record, or null when none can be made.
AEffect* createKestraneInstance(audioMasterCallback host);

}  // namespace kestrane
