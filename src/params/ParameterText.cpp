#include "params/ParameterText.h"

#include <cstdio>
#include <cstring>

#include "params/ParameterSteps.h"
#include "params/ParameterTable.h"
#include "params/StepTables.h"
#include "params/TextTools.h"

namespace kestrane {

namespace {

void writeMinusInfinity(char* text) { std::memcpy(text, "-inf", 5); }

// A short text right-aligned in seven characters, like the whole numbers of long2string.
void writeRightAligned(const char* shortText, char* text) {
  std::snprintf(text, 9, "%7.8s", shortText);
}

}  // namespace

bool formatParameterText(int32_t index, float value, char* text) {
  if (!isParamIndex(index)) return false;
  const ParameterInfo& info = ParameterTable[index];
  int32_t n = 0;
  switch (info.rule) {
    case TextRule::Slope:
      n = 6 * steps::slope(value) + 6;
      break;
    case TextRule::Frequency:
      n = CrossoverFreqSteps[steps::frequency(value) + info.stepOffset];
      break;
    case TextRule::CompThresh:
      n = steps::compThreshDb(value);
      break;
    case TextRule::Ratio:
      n = RatioSteps[steps::ratio(value)];
      break;
    case TextRule::Attack:
      n = AttackSteps[steps::attack(value)];
      break;
    case TextRule::Release:
      n = ReleaseSteps[steps::release(value)];
      break;
    case TextRule::ExpThresh:
      n = steps::expThreshDb(value);
      if (n == steps::kExpanderOffDb) {
        writeMinusInfinity(text);
        return true;
      }
      break;
    case TextRule::Gain: {
      const int32_t g = steps::gain(value);
      if (g == 0) {
        writeMinusInfinity(text);
        return true;
      }
      char tenths[16];
      tenths2string(g - steps::kGainUnityStep, tenths);
      writeRightAligned(tenths, text);
      return true;
    }
    case TextRule::Lookahead:
      n = steps::lookaheadMs(value);
      break;
    case TextRule::Switch:
      n = steps::switchOn(value) ? 1 : 0;
      break;
    case TextRule::Page:
      n = steps::page(value);
      break;
  }
  long2string(n, text);
  return true;
}

}  // namespace kestrane
