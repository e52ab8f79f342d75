#include "params/TextTools.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace kestrane {

void long2string(int32_t value, char* text) {
  if (value >= 100000000) {
    std::memcpy(text, kHugeText, sizeof kHugeText);
    return;
  }
  // "%7d" of an int32 is at most 11 characters; the text keeps the first 8.
  char printed[16];
  std::snprintf(printed, sizeof printed, "%7d", static_cast<int>(value));
  printed[8] = '\0';
  std::memcpy(text, printed, std::strlen(printed) + 1);
}

void tenths2string(int32_t tenths, char* text) {
  if (tenths > 999999 || tenths < -999999) {
    std::memcpy(text, kHugeText, sizeof kHugeText);
    return;
  }
  const int magnitude = tenths < 0 ? -tenths : tenths;
  std::snprintf(text, 9, "%s%d.%d", tenths < 0 ? "-" : "", magnitude / 10, magnitude % 10);
}

void float2string(float value, char* text) {
  const double wide = value;
  if (std::isnan(wide) || (wide < 0.0 && -wide > 9999999.0) || wide > 99999999.0) {
    std::memcpy(text, kHugeText, sizeof kHugeText);
    return;
  }
  const bool negative = wide < 0.0;
  const double v = negative ? -wide : wide;

  // The integer part, built from its last digit leftwards. The count includes the sign, the
  // point and every digit; the first digit and the point come together.
  const auto digit = [](double x) {
    return static_cast<char>('0' + static_cast<int>(std::fmod(x, 10.0)));
  };
  char integerPart[16];
  char* s = integerPart + sizeof integerPart - 1;
  *s = '\0';
  *--s = '.';
  double integer = std::floor(v);
  *--s = digit(integer);
  integer *= 0.1;
  int count = (negative ? 1 : 0) + 2;
  while (integer >= 1.0 && count < 8) {
    *--s = digit(integer);
    integer *= 0.1;
    ++count;
  }
  if (negative) *--s = '-';
  const size_t integerLength = std::strlen(s);
  std::memcpy(text, s, integerLength + 1);
  if (count >= 8) return;

  // The fraction digits that fill the eight characters, from the right.
  const int digits = 8 - count;
  char fraction[9];
  fraction[digits] = '\0';
  double m = std::fmod(v, 1.0) * std::pow(10.0, digits);
  for (int i = digits - 1; i >= 0; --i) {
    if (m <= 0.0) {
      fraction[i] = '0';
    } else {
      fraction[i] = digit(m);
      m *= 0.1;
    }
  }
  std::memcpy(text + integerLength, fraction, static_cast<size_t>(digits) + 1);
}

void dB2string(float value, char* text) {
  if (value <= 0.0f) {
    std::memcpy(text, "  -oo   ", 9);
    return;
  }
  float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

void Hz2string(float samples, float sampleRate, char* text) {
  float2string(samples == 0.0f ? 0.0f : sampleRate / samples, text);
}

void ms2string(float samples, float sampleRate, char* text) {
  float2string(samples * 1000.0f / sampleRate, text);
}

}  // namespace kestrane
