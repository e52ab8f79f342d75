#include "lv2/Lv2Ports.h"

#include <cmath>
#include <cstdio>

#include "core/ParameterSteps.h"
#include "params/ParameterSteps.h"
#include "params/ParameterTable.h"
#include "params/Programs.h"
#include "params/StepTables.h"

namespace kestrane::lv2 {

namespace {

constexpr const char* kBandNames[kNumBands] = {"LF", "LMF", "HMF", "HF"};

// "CompThreshLF" -> "comp_thresh_lf", "Fir1Slope" -> "fir1_slope": a word starts at a capital
// that follows a small letter or a digit.
void symbolFromEnumerator(const char* enumerator, char* symbol, size_t size) {
  size_t n = 0;
  for (size_t i = 0; enumerator[i] != '\0' && n + 2 < size; ++i) {
    const char c = enumerator[i];
    const bool capital = c >= 'A' && c <= 'Z';
    if (capital && i > 0) {
      const char before = enumerator[i - 1];
      if ((before >= 'a' && before <= 'z') || (before >= '0' && before <= '9')) symbol[n++] = '_';
    }
    symbol[n++] = capital ? static_cast<char>(c - 'A' + 'a') : c;
  }
  symbol[n] = '\0';
}

// What a per-band group does, for the port names ("LF compressor threshold").
const char* groupName(int32_t index) {
  if (index <= CompReleaseHF) {
    constexpr const char* names[] = {"compressor threshold", "compressor ratio",
                                     "compressor attack", "compressor release"};
    return names[(index - CompThreshLF) / kNumBands];
  }
  if (index <= ExpReleaseHF) {
    constexpr const char* names[] = {"expander threshold", "expander ratio", "expander attack",
                                     "expander release"};
    return names[(index - ExpThreshLF) / kNumBands];
  }
  if (index <= GainHF) return "gain";
  return "on";
}

void portName(int32_t index, char* name, size_t size) {
  if (index <= Fir3Slope) {
    std::snprintf(name, size, "Split %d slope", static_cast<int>(index - Fir1Slope + 1));
  } else if (index <= Fir3Freq) {
    std::snprintf(name, size, "Split %d frequency", static_cast<int>(index - Fir1Freq + 1));
  } else if (index == Lookahead) {
    std::snprintf(name, size, "Lookahead");
  } else if (index == EnableLookahead) {
    std::snprintf(name, size, "Lookahead on");
  } else if (index == DisplayMode) {
    std::snprintf(name, size, "Editor page");
  } else {
    const int32_t band = index >= EnableLF ? index - EnableLF : (index - CompThreshLF) % kNumBands;
    std::snprintf(name, size, "%s %s", kBandNames[band], groupName(index));
  }
}

}  // namespace

ParameterPort parameterPortInfo(int32_t index) noexcept {
  ParameterPort port{};
  if (!isParamIndex(index)) return port;
  const ParameterInfo& info = ParameterTable[index];
  symbolFromEnumerator(info.enumeratorName, port.symbol, sizeof port.symbol);
  portName(index, port.name, sizeof port.name);
  switch (info.rule) {
    case TextRule::Slope:
      port.kind = PortKind::Enumeration;
      port.unit = PortUnit::DecibelPerOctave;
      break;
    case TextRule::Frequency:
      port.kind = PortKind::Enumeration;
      port.unit = PortUnit::Hertz;
      break;
    case TextRule::CompThresh:
    case TextRule::ExpThresh:
      port.kind = PortKind::Integer;
      port.unit = PortUnit::Decibel;
      break;
    case TextRule::Ratio:
      port.kind = PortKind::Enumeration;
      port.unit = index <= CompReleaseHF ? PortUnit::CompressionRatio : PortUnit::ExpansionRatio;
      break;
    case TextRule::Attack:
    case TextRule::Release:
      port.kind = PortKind::Enumeration;
      port.unit = PortUnit::Millisecond;
      break;
    case TextRule::Gain:
      port.kind = PortKind::Stepped;
      port.unit = PortUnit::Decibel;
      break;
    case TextRule::Lookahead:
      port.kind = PortKind::Integer;
      port.unit = PortUnit::Millisecond;
      break;
    case TextRule::Switch:
      port.kind = PortKind::Toggle;
      port.unit = PortUnit::None;
      break;
    case TextRule::Page:  // a choice of two named pages
      port.kind = PortKind::Enumeration;
      port.unit = PortUnit::None;
      break;
  }
  return port;
}

float stepValue(int32_t index, int32_t step) noexcept {
  if (!isParamIndex(index)) return 0.0f;
  const int32_t last = stepCount(index) - 1;
  const int32_t i = step < 0 ? 0 : step > last ? last : step;
  const ParameterInfo& info = ParameterTable[index];
  switch (info.rule) {
    case TextRule::Slope: return static_cast<float>(6 * (i + 1));
    case TextRule::Frequency: return static_cast<float>(CrossoverFreqSteps[i + info.stepOffset]);
    case TextRule::CompThresh: return static_cast<float>(i - steps::kCompThreshSteps);
    case TextRule::ExpThresh:  // the lowest step turns the expander off
      return static_cast<float>(i - steps::kExpThreshSteps);
    case TextRule::Ratio: return static_cast<float>(RatioSteps[i] / 10.0);
    case TextRule::Attack: return static_cast<float>(AttackSteps[i] / 10.0);
    case TextRule::Release: return static_cast<float>(ReleaseSteps[i] * 10);
    case TextRule::Gain:  // the lowest step mutes the band
      return static_cast<float>((i - steps::kGainUnityStep) / 10.0);
    case TextRule::Lookahead: return static_cast<float>(i);
    case TextRule::Switch:
    case TextRule::Page: return static_cast<float>(i);
  }
  return 0.0f;
}

const char* stepLabel(int32_t index, int32_t step) noexcept {
  if (!isParamIndex(index)) return nullptr;
  const TextRule rule = ParameterTable[index].rule;
  if ((rule == TextRule::ExpThresh || rule == TextRule::Gain) && step == 0) return "-inf";
  if (index == DisplayMode) return step == 0 ? "Compressor" : "Expander";
  return nullptr;
}

int32_t stepForPortValue(int32_t index, float portValue) noexcept {
  if (!isParamIndex(index) || !(portValue == portValue)) return 0;
  // The steps rise with their values: find the first step at or above the value, then take the
  // nearer of it and the one below.
  int32_t low = 0, high = stepCount(index) - 1;
  if (portValue <= stepValue(index, low)) return low;
  if (portValue >= stepValue(index, high)) return high;
  while (high - low > 1) {
    const int32_t middle = (low + high) / 2;
    if (stepValue(index, middle) < portValue) {
      low = middle;
    } else {
      high = middle;
    }
  }
  const double below = static_cast<double>(portValue) - stepValue(index, low);
  const double above = static_cast<double>(stepValue(index, high)) - portValue;
  return above < below ? high : low;
}

float normalisedForPortValue(int32_t index, float portValue) noexcept {
  return normalisedForStep(index, stepForPortValue(index, portValue));
}

float portValueForNormalised(int32_t index, float normalised) noexcept {
  return stepValue(index, engineStep(index, normalised));
}

float defaultPortValue(int32_t index) noexcept {
  if (!isParamIndex(index)) return 0.0f;
  return portValueForNormalised(index, FactoryPrograms[0].value(static_cast<ParamId>(index)));
}

MeterPort meterPortInfo(uint32_t i) noexcept {
  MeterPort port{};
  if (i < static_cast<uint32_t>(kNumLevelSlots)) {
    // In the order of the level slots: inputs, outputs, then the bands from HF down.
    constexpr const char* symbols[kNumLevelSlots] = {
        "level_in_l", "level_in_r", "level_out_l", "level_out_r",
        "level_hf_in", "level_hmf_in", "level_lmf_in", "level_lf_in",
        "level_hf_out", "level_hmf_out", "level_lmf_out", "level_lf_out"};
    constexpr const char* names[kNumLevelSlots] = {
        "Input level left", "Input level right", "Output level left", "Output level right",
        "HF band level in", "HMF band level in", "LMF band level in", "LF band level in",
        "HF band level out", "HMF band level out", "LMF band level out", "LF band level out"};
    std::snprintf(port.symbol, sizeof port.symbol, "%s", symbols[i]);
    std::snprintf(port.name, sizeof port.name, "%s", names[i]);
    return port;
  }
  const uint32_t j = i - static_cast<uint32_t>(kNumLevelSlots);
  if (j >= 2 * static_cast<uint32_t>(kNumBands)) return port;
  const uint32_t band = j / 2;
  port.isMode = j % 2 == 1;
  char lower[8];
  symbolFromEnumerator(kBandNames[band], lower, sizeof lower);  // "LF" -> "lf"
  std::snprintf(port.symbol, sizeof port.symbol, port.isMode ? "expanding_%s" : "gain_reduction_%s",
                lower);
  std::snprintf(port.name, sizeof port.name,
                port.isMode ? "%s expander governs" : "%s gain reduction", kBandNames[band]);
  return port;
}

float meterPortValue(const MeterSlots& slots, uint32_t i) noexcept {
  if (i < static_cast<uint32_t>(kNumLevelSlots)) return slots.level[i].load(std::memory_order_relaxed);
  const uint32_t j = i - static_cast<uint32_t>(kNumLevelSlots);
  if (j >= 2 * static_cast<uint32_t>(kNumBands)) return 0.0f;
  const int32_t slot = gainReductionSlot(static_cast<int32_t>(j / 2));
  if (j % 2 == 1) return slots.gainReductionMode[slot].load(std::memory_order_relaxed) != 0 ? 1.0f : 0.0f;
  return slots.gainReduction[slot].load(std::memory_order_relaxed);
}

void storeMeterPortValue(MeterSlots& slots, uint32_t i, float value) noexcept {
  constexpr auto relaxed = std::memory_order_relaxed;
  if (i < static_cast<uint32_t>(kNumLevelSlots)) {
    slots.level[i].store(value, relaxed);
    slots.levelFresh[i].store(1, relaxed);
    return;
  }
  const uint32_t j = i - static_cast<uint32_t>(kNumLevelSlots);
  if (j >= 2 * static_cast<uint32_t>(kNumBands)) return;
  const int32_t slot = gainReductionSlot(static_cast<int32_t>(j / 2));
  if (j % 2 == 1) {
    slots.gainReductionMode[slot].store(value >= 0.5f ? 1 : 0, relaxed);
  } else {
    slots.gainReduction[slot].store(value, relaxed);
    slots.gainReductionFresh[slot].store(1, relaxed);
  }
}

}  // namespace kestrane::lv2
