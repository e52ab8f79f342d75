// EditorHost: the editor's one way to the plug-in host it is shown in, whatever the plug-in
// standard. The toolkit's controls and the Kestrane editor need exactly this of their host:
// the current values, a user's edit reported to the host (with automation), the edit bracket
// around a gesture, and the host's own idle while a control's mouse loop holds the thread.
// The meters are not part of it: the editor owns its meter slots (engine/MeterSlots.h) and
// each format adapter fills them, the VST 2.x effect from its engine on the audio thread, the
// LV2 UI from the host's meter port events.
//
// Implemented by each format adapter (shell/VstEditor.h over the VST 2.x effect, the LV2 UI
// over its ports); the toolkit and the editor see nothing else of the host. Everything here is
// called on the editor's user-interface thread.
//
// Values are normalised (0..1) in the engine's reading, indexed by parameter (0..48), except
// where a call says otherwise.
#pragma once

#include <cstdint>

namespace kestrane {

class EditorHost {
 public:
  // The current value of parameter index; 0 for any other index.
  virtual float getParameter(int32_t index) = 0;
  // A user's edit of parameter index: the host stores it, records it as automation, and the
  // change comes back to the editor's setParameter.
  virtual void setParameterAutomated(int32_t index, float value) = 0;
  // A change by one of the editor's own controls (index: an editor tag beyond the parameters,
  // such as a page button or a committed readout). The host records nothing and hands it back
  // to the editor's setParameter.
  virtual void setParameter(int32_t index, float value) = 0;
  // The bracket of one user gesture on parameter index (a drag): begin before the first
  // change, end after the last. True when the host took note.
  virtual bool beginEdit(int32_t index) = 0;
  virtual bool endEdit(int32_t index) = 0;
  // Gives the host its own idle time while a control's mouse loop holds the thread.
  virtual void hostIdle() = 0;

 protected:
  ~EditorHost() = default;
};

}  // namespace kestrane
