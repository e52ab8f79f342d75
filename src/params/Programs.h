// Stored programs: 49 parameter values and a name each, and the factory set the effect
// starts with (eight presets, eight empty programs).
#pragma once

#include <array>
#include <cstdint>

#include "params/ParamId.h"
#include "params/ParameterTable.h"

namespace kestrane {

inline constexpr int32_t kNumPrograms = 16;
// The named factory programs (presets), programs 0 .. kNumPresets - 1; the rest start empty.
inline constexpr int32_t kNumPresets = 8;
inline constexpr int32_t kProgramNameSize = 32;  // bytes, terminating zero included

inline constexpr bool isProgramIndex(int32_t index) {
  return index >= 0 && index < kNumPrograms;
}

struct KestraneProgram {
  // Normalised values in record order: values[recordSlot(id)] belongs to parameter id.
  float values[kNumParams]{};
  char name[kProgramNameSize]{};

  // The empty program: every parameter at its table's empty value, named "Empty".
  constexpr KestraneProgram() {
    for (const ParameterInfo& info : ParameterTable) values[info.recordSlot] = info.emptyValue;
    setName("Empty");
  }

  constexpr float value(ParamId id) const { return values[recordSlot(id)]; }

  // Copies text, which must be zero-terminated or at least 31 characters long: at most 31
  // characters are read and kept, and the name is always terminated.
  constexpr void setName(const char* text) {
    int32_t i = 0;
    for (; i < kProgramNameSize - 1 && text[i] != '\0'; ++i) name[i] = text[i];
    for (; i < kProgramNameSize; ++i) name[i] = '\0';
  }
};

// What a new instance holds in its 16 program slots: the eight presets ("Mastering" first, which
// it opens on) followed by eight "Empty" programs for the user's own settings.
extern const std::array<KestraneProgram, kNumPrograms> FactoryPrograms;

}  // namespace kestrane
