#include "core/ParameterSteps.h"

#include "params/ParameterTable.h"

namespace kestrane {

namespace {

// The engine reads a stepped value as trunc(scale * v + 1/2) when it rounds and trunc(scale *
// v) when it truncates, clamped to 0..scale; a switch is on for any value but 0.0.
struct ReadingRule {
  int32_t scale;  // the last step; scale + 1 steps in all
  bool rounds;
  bool isSwitch;
};

ReadingRule readingRule(int32_t index) {
  switch (ParameterTable[index].rule) {
    case TextRule::Slope: return {3, true, false};
    case TextRule::Frequency: return {10, true, false};
    case TextRule::CompThresh: return {40, false, false};
    case TextRule::Ratio: return {36, true, false};
    case TextRule::Attack: return {97, true, false};
    case TextRule::Release: return {62, true, false};
    case TextRule::ExpThresh: return {51, false, false};
    case TextRule::Gain: return {501, true, false};
    case TextRule::Lookahead: return {100, false, false};
    case TextRule::Switch: break;
  }
  return {1, false, true};
}

}  // namespace

int32_t stepCount(int32_t index) noexcept {
  return isParamIndex(index) ? readingRule(index).scale + 1 : 0;
}

int32_t engineStep(int32_t index, float v) noexcept {
  if (!isParamIndex(index)) return 0;
  const ReadingRule r = readingRule(index);
  if (r.isSwitch) return v != 0.0f ? 1 : 0;
  const double x = r.scale * static_cast<double>(v) + (r.rounds ? 0.5 : 0.0);
  if (!(x >= 0.0)) return 0;
  if (x >= r.scale) return r.scale;
  return static_cast<int32_t>(x);
}

float normalisedForStep(int32_t index, int32_t step) noexcept {
  if (!isParamIndex(index)) return 0.0f;
  const ReadingRule r = readingRule(index);
  if (step <= 0) return 0.0f;
  if (step >= r.scale) return 1.0f;
  const double centre = r.rounds ? step : step + 0.5;
  return static_cast<float>(centre / r.scale);
}

}  // namespace kestrane
