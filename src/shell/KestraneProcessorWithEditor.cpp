#include "shell/KestraneProcessorWithEditor.h"

#include <new>

namespace kestrane {

bool editorCreationFailed = false;

KestraneProcessorWithEditor::KestraneProcessorWithEditor(audioMasterCallback host)
    : KestraneProcessor(host) {
  const CreatedEditor created = createEditor(this);
  editorSink = created.parameterSink;
  if (created.failed) editorCreationFailed = true;
  // From now on every processed block leaves its meter readings in the editor's slots.
  if (created.meters != nullptr) core.attachMeters(created.meters);
}

KestraneProcessorWithEditor::~KestraneProcessorWithEditor() {
  // The engine stops writing into the editor's slots before either goes.
  core.attachMeters(nullptr);
}

void KestraneProcessorWithEditor::setParameter(int32_t index, float value) {
  KestraneProcessor::setParameter(index, value);
  if (editor && editorSink) editorSink->setParameter(index, value);
}

AEffect* createKestraneInstance(audioMasterCallback host) {
  if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  auto* effect = new (std::nothrow) KestraneProcessorWithEditor(host);
  if (!effect) return nullptr;
  if (editorCreationFailed || !effect->hasPrograms()) {
    delete effect;
    return nullptr;
  }
  return effect->getAeffect();
}

}  // namespace kestrane
