#include "core/ParameterSteps.h"

#include "params/ParameterSteps.h"
#include "params/ParameterTable.h"

namespace kestrane {

namespace {

// How a quantity is read (params/ParameterSteps.h holds the one reading). A switch and the page
// are read by their own rules and have two steps.
steps::Reading readingRule(int32_t index) {
  switch (ParameterTable[index].rule) {
    case TextRule::Slope: return steps::kSlopeReading;
    case TextRule::Frequency: return steps::kFrequencyReading;
    case TextRule::CompThresh: return steps::kCompThreshReading;
    case TextRule::Ratio: return steps::kRatioReading;
    case TextRule::Attack: return steps::kAttackReading;
    case TextRule::Release: return steps::kReleaseReading;
    case TextRule::ExpThresh: return steps::kExpThreshReading;
    case TextRule::Gain: return steps::kGainReading;
    case TextRule::Lookahead: return steps::kLookaheadReading;
    case TextRule::Switch:
    case TextRule::Page: break;
  }
  return {1, false};
}

}  // namespace

int32_t stepCount(int32_t index) noexcept {
  return isParamIndex(index) ? readingRule(index).last + 1 : 0;
}

int32_t engineStep(int32_t index, float v) noexcept {
  if (!isParamIndex(index)) return 0;
  switch (ParameterTable[index].rule) {
    case TextRule::Switch: return steps::switchOn(v) ? 1 : 0;
    case TextRule::Page: return steps::page(v);
    default: break;
  }
  return steps::step(v, readingRule(index));
}

// Steps that round are named by their own value i / last; steps read at or below by the
// middle of the step, (i + 1/2) / last, so float rounding on the way cannot move either to a
// neighbour. The ends are exactly 0 and 1 (the only values that select the expander page).
float normalisedForStep(int32_t index, int32_t step) noexcept {
  if (!isParamIndex(index)) return 0.0f;
  const steps::Reading r = readingRule(index);
  if (step <= 0) return 0.0f;
  if (step >= r.last) return 1.0f;
  const double centre = r.nearest ? step : step + 0.5;
  return static_cast<float>(centre / r.last);
}

}  // namespace kestrane
