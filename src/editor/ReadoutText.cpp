#include "editor/ReadoutText.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "params/ParameterSteps.h"
#include "params/StepTables.h"
#include "params/TextTools.h"

namespace kestrane::readout {

namespace {

// The steps are those of every other reading of a value (ParameterSteps.h).
constexpr int32_t kLastRatioStep = steps::kLastRatio;  // its last entry is the infinite ratio
constexpr int32_t kLastAttackStep = steps::kLastAttack;
constexpr int32_t kLastReleaseStep = steps::kLastRelease;
constexpr int32_t kGainZeroStep = steps::kGainUnityStep;
constexpr int32_t kCompressorThresholdSteps = steps::kCompThreshSteps;
constexpr int32_t kExpanderThresholdSteps = steps::kExpThreshSteps;
constexpr int32_t kLookaheadSteps = steps::kLookaheadSteps;

// The single-precision reciprocals that turn a step back into a value.
constexpr float kPerGainStep = 0.001996008f;  // 1/501
constexpr float kPerCompressorDb = 0.025f;    // 1/40
constexpr float kPerExpanderDb = 0.019607844f;  // 1/51
constexpr float kPerMillisecond = 0.01f;      // 1/100
constexpr float kPerRatioStep = 0.027777778f;   // 1/36
constexpr float kPerAttackStep = 0.010309278f;  // 1/97
constexpr float kPerReleaseStep = 0.016129032f; // 1/62

// The point of a typed number counts only within this many characters.
constexpr std::ptrdiff_t kPointSearchLength = 8;
// Whole numbers are limited to this magnitude while they are read (they are clamped far below
// it afterwards), so that no digit string can overflow.
constexpr long long kReadLimit = 1000000000LL;

long long clampTo(long long x, long long low, long long high) {
  return x < low ? low : (x > high ? high : x);
}

float clampUnit(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// A typed number: sign, whole digits, and whether a point follows within the first characters
// with the digits after it.
struct TypedNumber {
  bool negative = false;
  long long whole = 0;
  bool hasPoint = false;
  const char* fraction = nullptr;  // the digits after the point
};

TypedNumber readNumber(const char* text) {
  TypedNumber number;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '+' || *p == '-') number.negative = *p++ == '-';
  while (*p >= '0' && *p <= '9') {
    if (number.whole < kReadLimit) number.whole = number.whole * 10 + (*p - '0');
    ++p;
  }
  if (*p == '.' && p - text < kPointSearchLength) {
    number.hasPoint = true;
    number.fraction = p + 1;
  }
  return number;
}

// The leading whole number of a text (the fraction, if any, ignored); 0 without one.
long long leadingWhole(const char* text) {
  const TypedNumber number = readNumber(text);
  return number.negative ? -number.whole : number.whole;
}

// The typed number in units of 10^-digits. A whole number (no point) is first clamped to
// wholeLow..wholeHigh; further fraction digits are cut, toward zero.
long long scaledNumber(const char* text, int digits, long long wholeLow, long long wholeHigh) {
  const TypedNumber number = readNumber(text);
  long long scale = 1;
  for (int i = 0; i < digits; ++i) scale *= 10;
  if (!number.hasPoint) {
    const long long whole = number.negative ? -number.whole : number.whole;
    return clampTo(whole, wholeLow, wholeHigh) * scale;
  }
  long long magnitude = number.whole * scale;
  const char* f = number.fraction;
  for (long long unit = scale / 10; unit > 0 && *f >= '0' && *f <= '9'; unit /= 10, ++f) {
    magnitude += (*f - '0') * unit;
  }
  return number.negative ? -magnitude : magnitude;
}

// "-inf", "inf" and the like: an 'i' as the first or second character.
bool readsInfinite(const char* text) {
  return text[0] == 'i' || (text[0] != '\0' && text[1] == 'i');
}

// The step whose table entry lies nearest to t (ties to the upper entry), among steps
// 0..last; t below the first entry gives step 0.
template <std::size_t N>
int32_t nearestEntry(const std::array<int32_t, N>& table, int32_t last, long long t) {
  for (int32_t j = 0; j < last; ++j) {
    if (t <= table[j]) return j;
    if (t < table[j + 1]) return t - table[j] >= table[j + 1] - t ? j + 1 : j;
  }
  return last;
}

// Where needle starts when it lies within the first kPointSearchLength characters of text;
// -1 otherwise.
std::ptrdiff_t findNear(const char* text, const char* needle) {
  const char* found = std::strstr(text, needle);
  if (found == nullptr) return -1;
  const std::ptrdiff_t at = found - text;
  return at + static_cast<std::ptrdiff_t>(std::strlen(needle)) <= kPointSearchLength ? at : -1;
}

void write(char* text, const char* format, int a) { std::snprintf(text, kTextBytes, format, a); }
void write(char* text, const char* format, int a, int b) {
  std::snprintf(text, kTextBytes, format, a, b);
}

}  // namespace

// --- Texts -------------------------------------------------------------------------------------

void lookaheadText(float v, char* text) { write(text, "%d", steps::lookaheadMs(v)); }

void gainText(float v, char* text) {
  const int32_t g = steps::gain(v);
  if (g == 0) {
    std::snprintf(text, kTextBytes, "-inf");
    return;
  }
  tenths2string(g - kGainZeroStep, text);  // tenths of a dB
}

int32_t compressorThresholdDb(float v) { return steps::compThreshDb(v); }

int32_t expanderThresholdDb(float v) { return steps::expThreshDb(v); }

int32_t ratioTenths(float v) { return RatioSteps[steps::ratio(v)]; }

void compressorThresholdText(float v, char* text) { write(text, "%d", compressorThresholdDb(v)); }

void expanderThresholdText(float v, char* text) {
  const int32_t db = expanderThresholdDb(v);
  if (db == -kExpanderThresholdSteps) {
    std::snprintf(text, kTextBytes, "-inf");
  } else {
    write(text, "%d", db);
  }
}

void ratioText(float v, bool expanderPage, char* text) {
  const int32_t r = ratioTenths(v);
  const int32_t whole = r / 10;
  if (r == RatioSteps[kLastRatioStep]) {
    std::snprintf(text, kTextBytes, expanderPage ? "1:inf" : "inf:1");
  } else if (whole > 9) {
    write(text, expanderPage ? "1:%d" : "%d:1", whole);
  } else {
    write(text, expanderPage ? "1:%d.%d" : "%d.%d:1", whole, r % 10);
  }
}

void attackText(float v, char* text) {
  const int32_t a = AttackSteps[steps::attack(v)];  // tenths of a millisecond
  if (a / 10 > 9) {
    write(text, "%d", a / 10);
  } else {
    write(text, "%d.%d", a / 10, a % 10);
  }
}

void releaseText(float v, char* text) {
  const int32_t s = ReleaseSteps[steps::release(v)];  // hundredths of a second
  write(text, "%d.%02d", s / 100, s % 100);
}

// --- Typed texts -------------------------------------------------------------------------------

float lookaheadFromText(const char* text) {
  // Half a step above the typed millisecond, so that the truncating read lands on it.
  const long long ms = clampTo(leadingWhole(text), -1, kLookaheadSteps + 1);
  return clampUnit(static_cast<float>(ms) * kPerMillisecond + 0.005f);
}

float gainFromText(const char* text) {
  if (readsInfinite(text)) return 0.0f;
  const long long tenths = scaledNumber(text, 1, -1000, 1000);
  return clampUnit(static_cast<float>(tenths + kGainZeroStep) * kPerGainStep);
}

float compressorThresholdFromText(const char* text) {
  const long long db = clampTo(leadingWhole(text), -1000, 1000);
  return clampUnit((static_cast<float>(db + kCompressorThresholdSteps) + 0.5f) * kPerCompressorDb);
}

float expanderThresholdFromText(const char* text) {
  if (readsInfinite(text)) return 0.0f;
  const long long db = clampTo(leadingWhole(text), -1000, 1000);
  return clampUnit((static_cast<float>(db + kExpanderThresholdSteps) + 0.5f) * kPerExpanderDb);
}

float ratioFromText(const char* text, bool expanderPage) {
  char number[kTextBytes * 16] = "";
  std::snprintf(number, sizeof number, "%s", text);
  // The page's own ratio notation around the number: "1:" before it on the expander page, ":1"
  // after it on the compressor page.
  if (expanderPage) {
    const std::ptrdiff_t prefix = findNear(number, "1:");
    if (prefix >= 0) {
      const char* rest = number + prefix + 2;
      std::memmove(number, rest, std::strlen(rest) + 1);
    }
  } else {
    const std::ptrdiff_t suffix = findNear(number, ":1");
    if (suffix >= 0) number[suffix] = '\0';
  }
  long long tenths = RatioSteps[kLastRatioStep];
  if (number[0] != 'i') {
    const TypedNumber typed = readNumber(number);
    if (typed.hasPoint) {
      tenths = scaledNumber(number, 1, 0, 0);
    } else {
      // A whole ratio: below 1 reads as 1:1, anything from 50 up as the infinite ratio.
      const long long whole = typed.negative ? -typed.whole : typed.whole;
      tenths = clampTo(whole, 1, 50) * 10;
    }
  }
  tenths = clampTo(tenths, 8, RatioSteps[kLastRatioStep]);
  return static_cast<float>(nearestEntry(RatioSteps, kLastRatioStep, tenths)) * kPerRatioStep;
}

float attackFromText(const char* text) {
  const long long tenths = clampTo(scaledNumber(text, 1, 0, 100), 5, 1000);
  return static_cast<float>(nearestEntry(AttackSteps, kLastAttackStep, tenths)) * kPerAttackStep;
}

float releaseFromText(const char* text) {
  const long long hundredths = clampTo(scaledNumber(text, 2, 0, 5), 5, 500);
  return static_cast<float>(nearestEntry(ReleaseSteps, kLastReleaseStep, hundredths)) *
         kPerReleaseStep;
}

}  // namespace kestrane::readout
