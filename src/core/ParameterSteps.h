// How the engine reads each parameter: as one of a fixed number of steps (a slope, a split
// frequency, a table entry, a whole dB or millisecond, a switch position). For every step this
// names a normalised value inside 0..1 that the engine reads as exactly that step, well inside
// the step's range, so that float rounding on the way cannot move it to a neighbour.
//
// Format adapters whose host sends values in the parameters' own units (the LV2 plug-in) use
// this to turn a chosen step into the value the engine runs with. Pure functions, any thread.
#pragma once

#include <cstdint>

#include "params/ParamId.h"

namespace kestrane {

// How many steps the engine tells apart for values inside 0..1: 4 slopes, 11 split frequencies,
// 41 compressor thresholds (-40..0 dB), 52 expander thresholds (off, -50..0 dB), 37 ratios,
// 98 attack times, 63 release times, 502 gains (mute, -25.0..+25.0 dB by 0.1), 101 lookahead
// times (0..100 ms), 2 switch positions. 0 for an index outside 0..48.
int32_t stepCount(int32_t index) noexcept;

// The step the engine reads from normalised value v (inside 0..1; values outside are clamped to
// the first or last step, NaN reads as the first).
int32_t engineStep(int32_t index, float v) noexcept;

// A normalised value inside 0..1 that the engine reads as step `step` (clamped to the steps
// that exist): the step's own value i / N for the steps that round to the nearest, the middle
// of the step (i + 1/2) / N for those that truncate, 1.0 for the last step, 0.0 and 1.0 for
// the switches.
float normalisedForStep(int32_t index, int32_t step) noexcept;

}  // namespace kestrane
