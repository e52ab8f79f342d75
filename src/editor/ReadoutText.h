// The editor's readouts as text: what each readout shows for a normalised parameter value, and
// which value a text typed into a readout stands for. Also the step a value selects, shared with
// the curve views. Pure functions of their arguments; any thread.
//
// The step a value selects comes from ParameterSteps.h, the reading the engine and the host's
// texts use too, so a readout always names the step the audio runs with: thresholds and the
// lookahead take the step at or below the product, every other quantity the nearest step.
// A value outside 0..1, or NaN, reads as the nearest end of the range.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrane::readout {

// Texts are short: every text below fits this many bytes with its terminator.
constexpr std::size_t kTextBytes = 16;

// --- Values as the readouts show them ----------------------------------------------------------

// Whole milliseconds, 0..100 ("37").
void lookaheadText(float v, char* text);
// Tenths of a dB from -25.0 to 25.0 ("-0.5", "12.5"), or "-inf" for the lowest step.
void gainText(float v, char* text);
// Whole dB, -40..0.
void compressorThresholdText(float v, char* text);
// Whole dB, -50..0, or "-inf" for the lowest step (the expander off).
void expanderThresholdText(float v, char* text);
// "1.5:1" .. "10:1", "inf:1" on the compressor page; "1:1.5" .. "1:inf" on the expander page.
void ratioText(float v, bool expanderPage, char* text);
// Milliseconds: "0.5" .. "9.5", then whole "10" .. "100".
void attackText(float v, char* text);
// Seconds with two decimals: "0.05" .. "5.00".
void releaseText(float v, char* text);

// --- Curve values ------------------------------------------------------------------------------

int32_t compressorThresholdDb(float v);  // -40..0
int32_t expanderThresholdDb(float v);    // -51..0; -51 is "-inf"
int32_t ratioTenths(float v);            // RatioSteps entry: 10 (1:1) .. 500 (inf)

// --- Typed texts back to values (0..1) ---------------------------------------------------------
//
// Reading is forgiving, since a user types into a six-character box: an optional sign, digits
// and one decimal point, up to the first character that fits none of these (so "12 dB" is 12);
// a text with no number in front counts as 0, and a point further in than the eighth character
// is ignored. Precision finer than the readout shows is cut off toward zero. Whatever was typed,
// the value returned selects the typed step, or the nearest step there is.

// A whole number of milliseconds.
float lookaheadFromText(const char* text);
// Tenths of a dB; "-inf" or "inf" (an 'i' as first or second character) gives the lowest step.
float gainFromText(const char* text);
// Whole dB.
float compressorThresholdFromText(const char* text);
// Whole dB; "-inf" or "inf" gives the lowest step.
float expanderThresholdFromText(const char* text);
// The ratio in tenths, as "4.4", "4.4:1" (compressor page) or "1:4.4" (expander page); a text
// beginning with 'i' is the infinite ratio. The nearest entry of the ratio table, ties upwards.
float ratioFromText(const char* text, bool expanderPage);
// Milliseconds in tenths; the nearest entry of the attack table, ties upwards.
float attackFromText(const char* text);
// Seconds in hundredths; the nearest entry of the release table, ties upwards.
float releaseFromText(const char* text);

}  // namespace kestrane::readout
