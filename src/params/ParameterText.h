// The display text of a parameter value, as the host shows it (effGetParamDisplay).
// Pure; callable from any thread.
#pragma once

#include <cstdint>

namespace kestrane {

// Writes the text of value for parameter index: the value the engine applies (and the editor
// shows), in the unit of the parameter's label, read through the same steps (ParameterSteps.h).
// A number right-aligned in seven characters (gains with one decimal), or "-inf" for an
// expander that is off or a muted band. text must hold 9 bytes. A value outside 0..1 (or NaN)
// reads as the nearest end of the range, so no rule ever steps outside its table; a switch
// reads 1 for every value but 0, as it acts. Answers false, leaving text untouched, for an
// index outside 0..48.
bool formatParameterText(int32_t index, float value, char* text);

}  // namespace kestrane
