// Small formatters for the texts a host shows beside a parameter. Hosts give such a text an
// eight-character field, so each function writes at most eight visible characters and a
// terminating zero: text must have room for 9 bytes. Pure functions, callable from any thread.
#pragma once

#include <cstdint>

namespace kestrane {

inline constexpr char kHugeText[] = " Huge!  ";

// value right-aligned in seven characters ("%7d"), cut to 8; " Huge!  " from 100000000 up.
void long2string(int32_t value, char* text);

// Always 8 characters: the integer digits, the point, then as many fraction digits as fill
// the eight (1.5 -> "1.500000", -3.25 -> "-3.25000", 2000 -> "2000.000"). " Huge!  " above
// 99999999, below -9999999, and for NaN.
void float2string(float value, char* text);

// tenths / 10 with one decimal and a leading minus below zero, no padding ("-0.5", "0.0",
// "12.5"); " Huge!  " when it would not fit 8 characters (beyond +-999999 tenths).
void tenths2string(int32_t tenths, char* text);

// value is an amplitude ratio; written as 20 log10(value) dB, "  -oo   " for value <= 0.
void dB2string(float value, char* text);

// A period of samples at sampleRate (Hz) as a frequency in Hz; 0 samples reads as 0.
void Hz2string(float samples, float sampleRate, char* text);

// samples at sampleRate (Hz) as milliseconds.
void ms2string(float samples, float sampleRate, char* text);

}  // namespace kestrane
