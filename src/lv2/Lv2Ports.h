// The LV2 plug-in's ports: what each is, in which units the host sees it, and how a control
// value the host sends becomes the normalised value the engine runs with. One table, derived from
// the parameter table, the step tables and the engine's steps; read by the plug-in at run time
// and by the bundle generator (tools/lv2gen) that writes the TTL files from it.
//
// Port order: the two audio inputs, the two audio outputs, the 49 parameters in ParamId order,
// the latency, then the meters. Pure data and functions, any thread; nothing here allocates.
#pragma once

#include <cstdint>

#include "engine/MeterSlots.h"
#include "params/ParamId.h"

namespace kestrane::lv2 {

// The plug-in's URI and the prefix of its presets' URIs (names the project owns).
inline constexpr char kPluginUri[] = "urn:kestrane:lv2:kestrane";
inline constexpr char kPresetUriPrefix[] = "urn:kestrane:lv2:kestrane:preset:";
// The binary inside the bundle, and the bundle's folder name.
inline constexpr char kBinaryName[] = "Kestrane.so";
inline constexpr char kBundleName[] = "Kestrane.lv2";
// The X11 UI (X11 builds only): its URI and its binary inside the bundle.
inline constexpr char kUiUri[] = "urn:kestrane:lv2:kestrane:ui";
inline constexpr char kUiBinaryName[] = "Kestrane_ui.so";

// --- Port indices --------------------------------------------------------------------------------

inline constexpr uint32_t kAudioInLeft = 0;
inline constexpr uint32_t kAudioInRight = 1;
inline constexpr uint32_t kAudioOutLeft = 2;
inline constexpr uint32_t kAudioOutRight = 3;
inline constexpr uint32_t kFirstParameterPort = 4;
inline constexpr uint32_t kLatencyPort = kFirstParameterPort + kNumParams;
inline constexpr uint32_t kFirstMeterPort = kLatencyPort + 1;
// The meters: the 12 level slots, then per band (LF first) the gain reduction and whether the
// expander governs it.
inline constexpr uint32_t kNumMeterPorts = kNumLevelSlots + 2 * kNumBands;
inline constexpr uint32_t kNumPorts = kFirstMeterPort + kNumMeterPorts;

inline constexpr uint32_t parameterPort(int32_t index) {
  return kFirstParameterPort + static_cast<uint32_t>(index);
}

// --- Control inputs: the 49 parameters --------------------------------------------------------

// How a host should present a parameter port.
enum class PortKind : uint8_t {
  Enumeration,  // one of a list of values, each named by a scale point (slopes, frequencies, ...)
  Integer,      // whole numbers from minimum to maximum (thresholds, lookahead)
  Stepped,      // evenly spaced steps that are not whole numbers (the gains, by 0.1 dB)
  Toggle,       // 0 or 1 (the switches)
};

// The unit a parameter port's values are in.
enum class PortUnit : uint8_t {
  None,
  Decibel,
  DecibelPerOctave,
  Hertz,
  Millisecond,
  CompressionRatio,  // r for r:1
  ExpansionRatio,    // r for 1:r
};

struct ParameterPort {
  char symbol[24];  // lower case with underscores, e.g. "comp_thresh_lf"
  char name[40];    // e.g. "LF compressor threshold"
  PortKind kind;
  PortUnit unit;
};

// The port description of parameter index 0..48.
ParameterPort parameterPortInfo(int32_t index) noexcept;

// The port value, in the port's units, that stands for step `step` of the parameter (see
// core/ParameterSteps.h): 6 for the gentlest slope, 50 for the first split frequency of split
// point 1, -51 for an expander that is off, -25.1 for a muted band. Steps rise with the value.
float stepValue(int32_t index, int32_t step) noexcept;
// The name of a step where it reads as a word rather than as its value ("-inf" for an expander
// that is off and for a muted band, "Compressor" and "Expander" for the editor's pages), else
// null.
const char* stepLabel(int32_t index, int32_t step) noexcept;

// The step nearest to a port value (the lower of two equally near; NaN reads as the first step).
int32_t stepForPortValue(int32_t index, float portValue) noexcept;
// The normalised value the engine runs with for a port value: that of its nearest step.
float normalisedForPortValue(int32_t index, float portValue) noexcept;
// The port value of the step the engine reads from a normalised value (for presets and
// defaults, which are stored normalised).
float portValueForNormalised(int32_t index, float normalised) noexcept;
// A port's default: its value in the first factory program, which a new VST 2.x instance also
// starts with.
float defaultPortValue(int32_t index) noexcept;

// --- Control outputs: the meters ------------------------------------------------------------------

struct MeterPort {
  char symbol[24];
  char name[40];
  bool isMode;  // 0 while the compressor governs the band, 1 while the expander does
};

// The description of meter port i, 0..kNumMeterPorts - 1.
MeterPort meterPortInfo(uint32_t i) noexcept;
// The value meter port i shows from the engine's slots (levels and gain reductions on the meter
// scale of MeterSlots, modes as 0 or 1).
float meterPortValue(const MeterSlots& slots, uint32_t i) noexcept;
// The other way, for the UI: stores value, which meter port i reported, into the editor's
// slots as the engine would have stored it (a level or gain reduction marked new, a mode).
// Nothing for an index beyond the meters.
void storeMeterPortValue(MeterSlots& slots, uint32_t i, float value) noexcept;

}  // namespace kestrane::lv2
