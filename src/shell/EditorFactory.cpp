#include "shell/EditorFactory.h"

namespace kestrane {

// The editor is not part of this build yet: the effect runs without one, so the record's
// effFlagsHasEditor stays clear and the editor requests answer 0.
CreatedEditor createEditor(AudioEffect*) { return {}; }

}  // namespace kestrane
