// The display text of a parameter value, as the host shows it (effGetParamDisplay).
// Pure; callable from any thread.
#pragma once

#include <cstdint>

namespace kestrane {

// Writes the text of value for parameter index by the parameter's text rule: a number
// right-aligned in seven characters, or "-inf". text must hold 9 bytes. Values are read
// exactly as stored; a value outside 0..1 (or NaN) reads as the nearest end of the range,
// so no rule ever steps outside its table. Answers false, leaving text untouched, for an
// index outside 0..48.
bool formatParameterText(int32_t index, float value, char* text);

}  // namespace kestrane
