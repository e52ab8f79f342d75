#include "shell/EditorFactory.h"

#include <new>

#include "editor/KestraneEditor.h"
#include "shell/VstEditor.h"

namespace kestrane {

CreatedEditor createEditor(AudioEffect* effect) {
  auto* editor = new (std::nothrow) VstEditor<KestraneEditor>(effect);
  if (editor == nullptr) return {nullptr, true, nullptr};
  return {editor, false, &editor->meterSlots()};
}

}  // namespace kestrane
