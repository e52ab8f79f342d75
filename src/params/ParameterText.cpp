#include "params/ParameterText.h"

#include <cstring>

#include "params/ParameterTable.h"
#include "params/StepTables.h"
#include "params/TextTools.h"

namespace kestrane {

namespace {

// trunc(x) limited to 0..maxStep; NaN gives 0. x is a product formed in double precision
// from the stored float, which is exact, so values inside 0..1 land exactly on their step.
int32_t truncatedStep(double x, int32_t maxStep) {
  if (!(x > 0.0)) return 0;
  if (x >= maxStep) return maxStep;
  return static_cast<int32_t>(x);
}

// 0.9999 as a 32-bit float: a switch reads 1 from v = 1 - 0.9999f upwards. The sum is formed
// in double so that the boundary is exact.
constexpr float kSwitchRounding = 0.9999f;

void writeMinusInfinity(char* text) { std::memcpy(text, "-inf", 5); }

}  // namespace

bool formatParameterText(int32_t index, float value, char* text) {
  if (!isParamIndex(index)) return false;
  const ParameterInfo& info = ParameterTable[index];
  const double v = value;
  int32_t n = 0;
  switch (info.rule) {
    case TextRule::Slope:
      n = 6 * truncatedStep(3.0 * v, 3) + 6;
      break;
    case TextRule::Frequency:
      n = CrossoverFreqSteps[truncatedStep(10.0 * v, 10) + info.stepOffset];
      break;
    case TextRule::CompThresh:
      n = truncatedStep(40.0 * v, 40) - 40;
      break;
    case TextRule::Ratio:
      n = RatioSteps[truncatedStep(36.0 * v + 0.5, 36)];
      break;
    case TextRule::Attack:
      n = AttackSteps[truncatedStep(97.0 * v + 0.5, 97)];
      break;
    case TextRule::Release:
      n = ReleaseSteps[truncatedStep(62.0 * v + 0.5, 62)];
      break;
    case TextRule::ExpThresh: {
      const int32_t t = truncatedStep(51.0 * v, 51) - 51;
      if (t == -51) {
        writeMinusInfinity(text);
        return true;
      }
      n = t;
      break;
    }
    case TextRule::Gain: {
      const int32_t t = truncatedStep(501.0 * v, 501) - 251;
      if (t == -251) {
        writeMinusInfinity(text);
        return true;
      }
      n = t / 10;  // cut toward zero: -9..9 all read 0
      break;
    }
    case TextRule::Lookahead:
      n = truncatedStep(100.0 * v, 100);
      break;
    case TextRule::Switch:
      n = truncatedStep(v + static_cast<double>(kSwitchRounding), 1);
      break;
  }
  long2string(n, text);
  return true;
}

}  // namespace kestrane
