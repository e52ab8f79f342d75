// The host's text of a parameter names what the open editor shows and what the engine applies,
// for every parameter over the whole range 0..1: a dense sweep plus the floats on either side of
// every step boundary, where a truncating and a rounding reading part ways.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "EditorTestSupport.h"
#include "engine/ParameterMapping.h"
#include "gui/OnOffButton.h"
#include "gui/OptionMenu.h"
#include "params/ParameterTable.h"
#include "params/StepTables.h"

namespace kestrane {
namespace {

using layout::Role;
using testing::layoutIndex;
using testing::rowOf;

constexpr int kSweepValues = 10000;

// Where a parameter's steps change: k / n for a truncating reading, (k - 1/2) / n for a
// rounding one; n is the step count of the quantity.
struct Steps {
  int32_t count;
  bool rounds;
};

Steps stepsOf(TextRule rule) {
  switch (rule) {
    case TextRule::Slope: return {3, true};
    case TextRule::Frequency: return {10, true};
    case TextRule::CompThresh: return {40, false};
    case TextRule::Ratio: return {36, true};
    case TextRule::Attack: return {97, true};
    case TextRule::Release: return {62, true};
    case TextRule::ExpThresh: return {51, false};
    case TextRule::Gain: return {501, true};
    case TextRule::Lookahead: return {100, false};
    case TextRule::Switch:
    case TextRule::Page: return {1, false};
  }
  return {1, false};
}

std::vector<float> valuesFor(TextRule rule) {
  std::vector<float> values;
  for (int i = 0; i < kSweepValues; ++i) {
    values.push_back(static_cast<float>(i) / static_cast<float>(kSweepValues - 1));
  }
  const Steps steps = stepsOf(rule);
  for (int32_t k = 0; k <= steps.count; ++k) {
    const float boundary =
        static_cast<float>((k - (steps.rounds ? 0.5 : 0.0)) / static_cast<double>(steps.count));
    for (float v : {std::nextafter(boundary, -1.0f), boundary, std::nextafter(boundary, 2.0f)}) {
      if (v >= 0.0f && v <= 1.0f) values.push_back(v);
    }
  }
  values.push_back(std::numeric_limits<float>::denorm_min());
  return values;
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

// A number as written, scaled and rounded to a whole count of the host's units.
long scaled(const std::string& text, double scale) {
  return std::lround(std::strtod(text.c_str(), nullptr) * scale);
}

// The ratio a readout shows, in the host's tenths ("inf" is the last entry).
long ratioTenths(std::string text, bool expanderPage) {
  text = expanderPage ? text.substr(2) : text.substr(0, text.size() - 2);
  return text == "inf" ? RatioSteps.back() : scaled(text, 10.0);
}

class HostText : public testing::OpenEditor {
 protected:
  std::string hostText(int32_t index) {
    char text[16] = "";
    effect->getParameterDisplay(index, text);
    return text;
  }
  std::string menuCurrent(int column, int variant) {
    char entry[256] = "";
    view<OptionMenu>(Role::CrossoverMenu, -1, column, variant)->getCurrent(entry);
    return entry;
  }
  std::string bandReadout(int32_t parameter) {
    const int32_t relative = (parameter - CompThreshLF) % (ExpThreshLF - CompThreshLF);
    return bandText(relative % kNumBands, relative / kNumBands);
  }

  // The host's text for parameter index against what the editor shows for it and what the
  // engine runs with.
  void expectAgreement(int32_t index, float v) {
    const std::string named = trimmed(hostText(index));
    const EngineCoefficients c = effect->engineCoefficients();
    const ParameterInfo& info = ParameterTable[index];
    const auto n = static_cast<int32_t>(std::strtol(named.c_str(), nullptr, 10));
    const int32_t band = (index - CompThreshLF) % kNumBands;
    const double dbScale = 8388608.0 * kDbToLog2;
    const int32_t k = index - (info.rule == TextRule::Slope ? Fir1Slope : Fir1Freq);
    switch (info.rule) {
      case TextRule::Slope:
        ASSERT_EQ(menuCurrent(k, 1), named + " dB") << v;
        ASSERT_EQ(6 * (c.kernels.slopeIndex[k] + 1), n) << v;
        break;
      case TextRule::Frequency:
        ASSERT_EQ(menuCurrent(k, 0), named + " Hz") << v;
        ASSERT_EQ(CrossoverFreqSteps[c.kernels.freqIndex[k] + k], n) << v;
        break;
      case TextRule::CompThresh:
        ASSERT_EQ(bandReadout(index), named) << v;
        ASSERT_EQ(c.band[band].compThresh, mapping::truncToInt32(n * dbScale)) << v;
        break;
      case TextRule::ExpThresh:
        ASSERT_EQ(bandReadout(index), named) << v;
        ASSERT_EQ(c.band[band].expThresh,
                  named == "-inf" ? kExpanderOff : mapping::truncToInt32(dbScale * n)) << v;
        break;
      case TextRule::Ratio: {
        const bool expander = index >= ExpRatioLF;
        ASSERT_EQ(ratioTenths(bandReadout(index), expander), n) << v;
        const int32_t factor = expander ? c.band[band].expFactor : c.band[band].compFactor;
        const double ratio = n * 0.1;
        ASSERT_EQ(factor, mapping::truncToInt32(
                              (expander ? ratio - 1.0 : 1.0 + (1.0 / n) * -10.0) * 8388608.0))
            << v;
        break;
      }
      case TextRule::Attack:
      case TextRule::Release: {
        // The readouts show attack in ms and release in s; the host 0.1 ms and 10 ms units.
        const bool attack = info.rule == TextRule::Attack;
        ASSERT_EQ(scaled(bandReadout(index), attack ? 10.0 : 100.0), n) << v;
        const bool expander = index >= (attack ? ExpAttackLF : ExpReleaseLF);
        const BandCoefficients& coefficients = c.band[band];
        const SmoothingPair pair =
            attack ? (expander ? coefficients.expAttack : coefficients.compAttack)
                   : (expander ? coefficients.expRelease : coefficients.compRelease);
        ASSERT_EQ(pair.keep, mapping::smoothingPair(n * (attack ? 0.1 : 10.0), 44100).keep) << v;
        break;
      }
      case TextRule::Gain: {
        const int32_t b = index - GainLF;
        ASSERT_EQ(text(layoutIndex(Role::GainReadout, rowOf(b))), named) << v;
        const int32_t step = named == "-inf" ? 0 : static_cast<int32_t>(scaled(named, 10.0)) + 251;
        ASSERT_EQ(c.band[b].makeupGain, mapping::makeupGainForStep(step)) << v;
        break;
      }
      case TextRule::Lookahead:
        ASSERT_EQ(text(layoutIndex(Role::LookaheadReadout, -1)), named) << v;
        ASSERT_EQ(c.lookaheadSamples, mapping::truncToInt32(44100.0 * (n * 0.001))) << v;
        break;
      case TextRule::Switch: {
        const bool lookahead = index == EnableLookahead;
        const int32_t b = index - EnableLF;
        const auto* button = view<OnOffButton>(Role::EnableButton, lookahead ? -1 : rowOf(b));
        ASSERT_EQ(button->getValue() != 0.0f ? 1 : 0, n) << v;
        const bool engineOn =
            lookahead ? c.lookaheadSamples != 0
                      : !(c.band[b].makeupGain == 8388608 && c.band[b].compThresh == 0 &&
                          c.band[b].expThresh == kExpanderOff);
        ASSERT_EQ(engineOn ? 1 : 0, n) << v;
        break;
      }
      case TextRule::Page:
        ASSERT_EQ(view<OnOffButton>(Role::PageButton, -1, 1)->getValue(), static_cast<float>(n))
            << v;
        break;
    }
  }
};

TEST_F(HostText, NamesWhatTheEditorShowsAndTheEngineRunsOverTheWholeRange) {
  for (int32_t index = 0; index < kNumParams; ++index) {
    SCOPED_TRACE(ParameterTable[index].enumeratorName);
    const TextRule rule = ParameterTable[index].rule;
    // Expander parameters are shown on the expander page.
    const bool expander = index >= ExpThreshLF && index <= ExpReleaseHF;
    if (index != DisplayMode) set(DisplayMode, expander ? 1.0f : 0.0f);
    const float stored = get(index);
    for (float v : valuesFor(rule)) {
      set(index, v);
      ASSERT_NO_FATAL_FAILURE(expectAgreement(index, v));
    }
    set(index, stored);
  }
}

TEST_F(HostText, MasteringsThirdSplitAndGainsReadAsTheEditorShows) {
  EXPECT_EQ(trimmed(hostText(Fir3Freq)), "3200");  // 0.7f, 10 x 0.7f just below 7
  EXPECT_EQ(menuCurrent(2, 0), "3200 Hz");
  EXPECT_EQ(trimmed(hostText(GainLF)), "4.0");  // 0.5808383, 501 v just below 291
  EXPECT_EQ(text(layoutIndex(Role::GainReadout, rowOf(BandLF))), "4.0");
  EXPECT_EQ(trimmed(hostText(GainLMF)), "3.0");  // 0.5608782
  EXPECT_EQ(text(layoutIndex(Role::GainReadout, rowOf(BandLMF))), "3.0");
}

}  // namespace
}  // namespace kestrane
