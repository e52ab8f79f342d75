// The 49 parameters as the host sees them: names, unit labels, the rule that turns a value
// into display text, where each value is stored, and what an empty program holds. One table,
// read by the effect, the editor and the tools.
#pragma once

#include <array>
#include <cstdint>

#include "params/ParamId.h"

namespace kestrane {

// How getParameterDisplay turns a normalised value into text (see ParameterText.h).
enum class TextRule : uint8_t {
  Slope,  // crossover slope in dB/octave
  Frequency,  // crossover split frequency in Hz
  CompThresh,  // compressor threshold in dB
  Ratio,  // ratio times 10
  Attack,  // attack in 0.1 ms
  Release,  // release in 10 ms
  ExpThresh,  // expander threshold in dB, or "-inf"
  Gain,  // makeup gain in dB to a tenth, or "-inf" where the band is muted
  Lookahead,  // lookahead time in ms
  Switch,  // 0 or 1, as the band or lookahead switch acts
  Page,  // 0 or 1, the editor page the display mode selects
};

struct ParameterInfo {
  ParamId id;
  const char* enumeratorName;  // the ParamId enumerator, for tools and messages
  const char* name;  // host name, 11 characters
  const char* label;  // host unit label, 8 characters
  TextRule rule;
  int32_t stepOffset;  // Frequency rule: first CrossoverFreqSteps entry of the split point
  int32_t recordSlot;  // slot in parameterValues and in every program
  float emptyValue;  // value an empty program holds
};

// The gain value that reads as 0 dB: the float nearest 251/501 (bit pattern 0x3F004168).
inline constexpr float kGainUnity = 0.500998f;

inline constexpr std::array<ParameterInfo, kNumParams> ParameterTable = {{
    {Fir1Slope, "Fir1Slope", "FIR1 Slope ", "   dB   ", TextRule::Slope, 0, 0, 1.0f},
    {Fir2Slope, "Fir2Slope", "FIR2 Slope ", "   dB   ", TextRule::Slope, 0, 1, 1.0f},
    {Fir3Slope, "Fir3Slope", "FIR3 Slope ", "   dB   ", TextRule::Slope, 0, 2, 1.0f},
    {Fir1Freq, "Fir1Freq", "FIR1 Freq  ", "   Hz   ", TextRule::Frequency, 0, 3, 1.0f},
    {Fir2Freq, "Fir2Freq", "FIR2 Freq  ", "   Hz   ", TextRule::Frequency, 1, 4, 1.0f},
    {Fir3Freq, "Fir3Freq", "FIR3 Freq  ", "   Hz   ", TextRule::Frequency, 2, 5, 1.0f},
    {CompThreshLF, "CompThreshLF", "C.Thr.LF   ", "   dB   ", TextRule::CompThresh, 0, 22, 1.0f},
    {CompThreshLMF, "CompThreshLMF", "C.Thr.LMF  ", "   dB   ", TextRule::CompThresh, 0, 23, 1.0f},
    {CompThreshHMF, "CompThreshHMF", "C.Thr.HMF  ", "   dB   ", TextRule::CompThresh, 0, 24, 1.0f},
    {CompThreshHF, "CompThreshHF", "C.Thr.HF   ", "   dB   ", TextRule::CompThresh, 0, 25, 1.0f},
    {CompRatioLF, "CompRatioLF", "C.Rat.LF   ", " 10*x:1 ", TextRule::Ratio, 0, 26, 0.0f},
    {CompRatioLMF, "CompRatioLMF", "C.Rat.LMF  ", " 10*x:1 ", TextRule::Ratio, 0, 27, 0.0f},
    {CompRatioHMF, "CompRatioHMF", "C.Rat.HMF  ", " 10*x:1 ", TextRule::Ratio, 0, 28, 0.0f},
    {CompRatioHF, "CompRatioHF", "C.Rat.HF   ", " 10*x:1 ", TextRule::Ratio, 0, 29, 0.0f},
    {CompAttackLF, "CompAttackLF", "C.Att.LF   ", " 0.1*ms ", TextRule::Attack, 0, 30, 0.0f},
    {CompAttackLMF, "CompAttackLMF", "C.Att.LMF  ", " 0.1*ms ", TextRule::Attack, 0, 31, 0.0f},
    {CompAttackHMF, "CompAttackHMF", "C.Att.HMF  ", " 0.1*ms ", TextRule::Attack, 0, 32, 0.0f},
    {CompAttackHF, "CompAttackHF", "C.Att.HF   ", " 0.1*ms ", TextRule::Attack, 0, 33, 0.0f},
    {CompReleaseLF, "CompReleaseLF", "C.Rel.LF   ", "  10*ms ", TextRule::Release, 0, 34, 0.0f},
    {CompReleaseLMF, "CompReleaseLMF", "C.Rel.LMF  ", "  10*ms ", TextRule::Release, 0, 35, 0.0f},
    {CompReleaseHMF, "CompReleaseHMF", "C.Rel.HMF  ", "  10*ms ", TextRule::Release, 0, 36, 0.0f},
    {CompReleaseHF, "CompReleaseHF", "C.Rel.HF   ", "  10*ms ", TextRule::Release, 0, 37, 0.0f},
    {ExpThreshLF, "ExpThreshLF", "E.Thr.LF   ", "   dB   ", TextRule::ExpThresh, 0, 6, 0.0f},
    {ExpThreshLMF, "ExpThreshLMF", "E.Thr.LMF  ", "   dB   ", TextRule::ExpThresh, 0, 7, 0.0f},
    {ExpThreshHMF, "ExpThreshHMF", "E.Thr.HMF  ", "   dB   ", TextRule::ExpThresh, 0, 8, 0.0f},
    {ExpThreshHF, "ExpThreshHF", "E.Thr.HF   ", "   dB   ", TextRule::ExpThresh, 0, 9, 0.0f},
    {ExpRatioLF, "ExpRatioLF", "E.Rat.LF   ", " 1:x/10 ", TextRule::Ratio, 0, 10, 0.0f},
    {ExpRatioLMF, "ExpRatioLMF", "E.Rat.LMF  ", " 1:x/10 ", TextRule::Ratio, 0, 11, 0.0f},
    {ExpRatioHMF, "ExpRatioHMF", "E.Rat.HMF  ", " 1:x/10 ", TextRule::Ratio, 0, 12, 0.0f},
    {ExpRatioHF, "ExpRatioHF", "E.Rat.HF   ", " 1:x/10 ", TextRule::Ratio, 0, 13, 0.0f},
    {ExpAttackLF, "ExpAttackLF", "E.Att.LF   ", " 0.1*ms ", TextRule::Attack, 0, 14, 0.0f},
    {ExpAttackLMF, "ExpAttackLMF", "E.Att.LMF  ", " 0.1*ms ", TextRule::Attack, 0, 15, 0.0f},
    {ExpAttackHMF, "ExpAttackHMF", "E.Att.HMF  ", " 0.1*ms ", TextRule::Attack, 0, 16, 0.0f},
    {ExpAttackHF, "ExpAttackHF", "E.Att.HF   ", " 0.1*ms ", TextRule::Attack, 0, 17, 0.0f},
    {ExpReleaseLF, "ExpReleaseLF", "E.Rel.LF   ", "  10*ms ", TextRule::Release, 0, 18, 0.0f},
    {ExpReleaseLMF, "ExpReleaseLMF", "E.Rel.LMF  ", "  10*ms ", TextRule::Release, 0, 19, 0.0f},
    {ExpReleaseHMF, "ExpReleaseHMF", "E.Rel.HMF  ", "  10*ms ", TextRule::Release, 0, 20, 0.0f},
    {ExpReleaseHF, "ExpReleaseHF", "E.Rel.HF   ", "  10*ms ", TextRule::Release, 0, 21, 0.0f},
    {GainLF, "GainLF", "LF gain    ", "   dB   ", TextRule::Gain, 0, 38, kGainUnity},
    {GainLMF, "GainLMF", "LMF gain   ", "   dB   ", TextRule::Gain, 0, 39, kGainUnity},
    {GainHMF, "GainHMF", "HMF gain   ", "   dB   ", TextRule::Gain, 0, 40, kGainUnity},
    {GainHF, "GainHF", "HF gain    ", "   dB   ", TextRule::Gain, 0, 41, kGainUnity},
    {Lookahead, "Lookahead", "Lookahead  ", "   ms   ", TextRule::Lookahead, 0, 42, 0.0f},
    {EnableLookahead, "EnableLookahead", "Enable Lkhd", "        ", TextRule::Switch, 0, 43, 1.0f},
    {EnableLF, "EnableLF", "Enable LF  ", "        ", TextRule::Switch, 0, 44, 1.0f},
    {EnableLMF, "EnableLMF", "Enable LMF ", "        ", TextRule::Switch, 0, 45, 1.0f},
    {EnableHMF, "EnableHMF", "Enable HMF ", "        ", TextRule::Switch, 0, 46, 1.0f},
    {EnableHF, "EnableHF", "Enable HF  ", "        ", TextRule::Switch, 0, 47, 1.0f},
    {DisplayMode, "DisplayMode", "Disp.mode  ", "        ", TextRule::Page, 0, 48, 0.0f},
}};

namespace detail {
constexpr bool parameterTableIsConsistent() {
  for (int32_t i = 0; i < kNumParams; ++i) {
    const ParameterInfo& info = ParameterTable[i];
    if (info.id != i || info.recordSlot != recordSlot(i)) return false;
  }
  return true;
}
}  // namespace detail
static_assert(detail::parameterTableIsConsistent(),
              "rows stand in ParamId order and agree with recordSlot");

}  // namespace kestrane
