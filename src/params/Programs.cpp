#include "params/Programs.h"

namespace kestrane {

namespace {

constexpr const char* kPresetNames[kNumPresets] = {
    "Mastering", "Rock", "Dance", "Extreme", "Instrumental", "Vocal", "Drum Loop", "Radio Voice",
};

// The presets' values by ParamId (rows) and preset (columns, in kPresetNames order). Each
// literal is the shortest decimal whose nearest float is the stored value: 0.33333334 is the
// float nearest 1/3, 0.500998 the 0 dB gain, 0.001996008 the float nearest 1/501.
constexpr float kPresetValues[kNumParams][kNumPresets] = {
    //  Mastering, Rock, Dance, Extreme, Instrumental, Vocal, Drum Loop, Radio Voice
    {0.33333334f, 0.33333334f, 0.33333334f, 0.6666667f,  // Fir1Slope
     0.6666667f, 0.33333334f, 0, 0.6666667f},
    {0, 0.33333334f, 0, 0.33333334f, 0.33333334f, 0, 0, 1},  // Fir2Slope
    {0, 0, 0, 0.33333334f, 0.33333334f, 0, 0.33333334f, 1},  // Fir3Slope
    {0.4f, 0.1f, 0.4f, 0.2f, 0.1f, 0.4f, 0.1f, 0.4f},  // Fir1Freq
    {0.5f, 0.3f, 0.6f, 0.5f, 0.4f, 0.5f, 0.3f, 0.6f},  // Fir2Freq
    {0.7f, 0.8f, 0.8f, 0.90000004f, 0.7f, 0.7f, 0.90000004f, 0.6f},  // Fir3Freq
    {0.8f, 0.625f, 0.7f, 0.32500002f, 0.6f, 0.55f, 0.5f, 0.75f},  // CompThreshLF
    {0.6f, 0.625f, 0.625f, 0.55f, 0.70373327f, 0.6f, 0.675f, 0.75f},  // CompThreshLMF
    {0.6f, 0.52500004f, 0.5f, 0.4f, 0.75f, 0.55f, 0.6f, 0.55f},  // CompThreshHMF
    {0.75f, 0.45000002f, 0.7f, 0.35f, 0.7017123f, 0.65000004f, 0.5f, 0.75f},  // CompThreshHF
    {0.5481282f, 0.25714287f, 0.55650043f, 1,  // CompRatioLF
     0.08571429f, 0.7415735f, 0.9698885f, 1},
    {0.2857143f, 0.37142858f, 0.85448366f, 0.85257196f,  // CompRatioLMF
     0.08571429f, 0.68079287f, 0.7186527f, 0.5682776f},
    {0.5176431f, 0.31428573f, 0.8009401f, 0.7699899f,  // CompRatioHMF
     0.17142858f, 0.5682776f, 0.7525874f, 1},
    {0.5519861f, 0.22857143f, 0.8853194f, 0.8714994f,  // CompRatioHF
     0.14285715f, 0.6859053f, 0.95187175f, 1},
    {0.4329897f, 0.061855666f, 0.05154639f, 0.8556701f,  // CompAttackLF
     0.05154639f, 0.05154639f, 0.40206185f, 0.15463917f},
    {0.53608245f, 0.16494845f, 0.26804122f, 0.53608245f,  // CompAttackLMF
     0.05154639f, 0.48453608f, 0.24742267f, 0.2783505f},
    {0.4329897f, 0.26804122f, 0.4329897f, 0.87628865f,  // CompAttackHMF
     0.082474224f, 0.4329897f, 0.26804122f, 0},
    {0.2783505f, 0.28865978f, 0.2783505f, 0.742268f,  // CompAttackHF
     0.10309278f, 0.2783505f, 0.28865978f, 0.30927834f},
    {0.11290322f, 0.11290322f, 0.40322578f, 0.40322578f,  // CompReleaseLF
     0.09677419f, 0.40322578f, 0.41935483f, 0.11290322f},
    {0.16129032f, 0.06451613f, 0.16129032f, 0.09677419f,  // CompReleaseLMF
     0.14516129f, 0.16129032f, 0.048387095f, 0.27419353f},
    {0.32258064f, 0, 0.40322578f, 0.048387095f,  // CompReleaseHMF
     0.19354838f, 0.40322578f, 0.032258064f, 0.24193548f},
    {0.2982877f, 0.01764308f, 0.38709676f, 0.016129032f,  // CompReleaseHF
     0.19354838f, 0.41935483f, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpThreshLF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpThreshLMF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpThreshHMF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpThreshHF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpRatioLF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpRatioLMF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpRatioHMF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpRatioHF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpAttackLF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpAttackLMF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpAttackHMF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpAttackHF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpReleaseLF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpReleaseLMF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpReleaseHMF
    {0, 0, 0, 0, 0, 0, 0, 0},  // ExpReleaseHF
    {0.5808383f, 0.5608782f, 0.5608782f, 0.7205589f,  // GainLF
     0.5608782f, 0.500998f, 0.6007984f, 0.1017964f},
    {0.5608782f, 0.6007984f, 0.5409182f, 0.7005988f,  // GainLMF
     0.5409182f, 0.5608782f, 0.6207585f, 0.7005988f},
    {0.46107784f, 0.6007984f, 0.5608782f, 0.7005988f,  // GainHMF
     0.5608782f, 0.500998f, 0.6007984f, 0.26147705f},
    {0.6207585f, 0.6407186f, 0.6207585f, 0.78043914f,  // GainHF
     0.5409182f, 0.5409182f, 0.68063873f, 0.001996008f},
    {0.105f, 0.155f, 0.155f, 0.105f, 0.13499999f, 0, 0.155f, 0.055f},  // Lookahead
    {1, 1, 1, 1, 1, 1, 1, 1},  // EnableLookahead
    {1, 1, 1, 1, 1, 1, 1, 1},  // EnableLF
    {1, 1, 1, 1, 1, 1, 1, 1},  // EnableLMF
    {1, 1, 1, 1, 1, 1, 1, 1},  // EnableHMF
    {1, 1, 1, 1, 1, 1, 1, 1},  // EnableHF
    {0, 0, 0, 0, 0, 0, 0, 0},  // DisplayMode
};

constexpr KestraneProgram makePreset(int32_t preset) {
  KestraneProgram program;
  for (int32_t id = 0; id < kNumParams; ++id) {
    program.values[recordSlot(id)] = kPresetValues[id][preset];
  }
  program.setName(kPresetNames[preset]);
  return program;
}

constexpr std::array<KestraneProgram, kNumPrograms> makeFactoryPrograms() {
  std::array<KestraneProgram, kNumPrograms> programs{};  // all empty
  for (int32_t preset = 0; preset < kNumPresets; ++preset) programs[preset] = makePreset(preset);
  return programs;
}

}  // namespace

// Built at compile time: no code runs at library load.
constexpr std::array<KestraneProgram, kNumPrograms> FactoryPrograms = makeFactoryPrograms();

}  // namespace kestrane
