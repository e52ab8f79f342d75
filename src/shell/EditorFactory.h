// The seam between the effect and its editor. The effect knows the editor only as the host
// interface's AEffEditor (stored through AudioEffect::setEditor) plus the one call below; the
// editor classes themselves live above the shell and are bound in by the plug-in library.
#pragma once

#include <cstdint>

namespace kestrane {

class AudioEffect;
struct MeterSlots;

// How the effect hands a parameter change to its editor. VstEditor implements it (its
// setParameter overrides this and the toolkit editor base's slot at once).
class EditorParameterSink {
 public:
  // index and value exactly as stored by the effect; runs in the thread of the change.
  virtual void setParameter(int32_t index, float value) = 0;

 protected:
  ~EditorParameterSink() = default;
};

struct CreatedEditor {
  // The editor's parameter entry; null when this build carries no editor or creation failed.
  EditorParameterSink* parameterSink = nullptr;
  // True only when an editor should exist but could not be allocated.
  bool failed = false;
  // The editor's meter slots, which the effect attaches to its engine; null without an editor.
  MeterSlots* meters = nullptr;
};

// Creates the editor for effect without opening a window: KestraneEditor behind VstEditor,
// whose constructor registers it with the effect (AudioEffect::setEditor), which then owns it. Defined by the plug-in
// library (EditorFactory.cpp), so that the shell depends on no editor code.
CreatedEditor createEditor(AudioEffect* effect);

}  // namespace kestrane
