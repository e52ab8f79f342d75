// Where the audio thread leaves its meter readings for the editor to pick up.
//
// The two sides never wait for each other. The engine stores its readings when a block ends,
// on the audio thread; the editor's idle picks them up, lets the bars fall and clears the
// flags, on the user-interface thread. Each value fits one machine word and is stored and
// loaded in one piece, so a reader sees the old reading or the new one, never a torn mix;
// relaxed atomics tell the compiler exactly that, and on x86 they cost no more than plain
// moves.
//
// The editor owns the slots; the engine only holds a pointer to them (Engine::attachMeters).
#pragma once

#include <atomic>
#include <cstdint>

#include "params/ParamId.h"

namespace kestrane {

// Level slots, in the order the editor keeps its level meters.
enum MeterLevel : int32_t {
  LevelInputLeft,
  LevelInputRight,
  LevelOutputLeft,
  LevelOutputRight,
  LevelBandInHF,
  LevelBandInHMF,
  LevelBandInLMF,
  LevelBandInLF,
  LevelBandOutHF,
  LevelBandOutHMF,
  LevelBandOutLMF,
  LevelBandOutLF,
};
inline constexpr int32_t kNumLevelSlots = 12;
inline constexpr int32_t kNumGainReductionSlots = 4;

// Level slots of one band: the band's input to the detector and the band's output.
inline constexpr MeterLevel bandInLevel(int32_t band) {
  return static_cast<MeterLevel>(LevelBandInLF - band);
}
inline constexpr MeterLevel bandOutLevel(int32_t band) {
  return static_cast<MeterLevel>(LevelBandOutLF - band);
}
// Gain-reduction slots run HF, HMF, LMF, LF: slot 0 is the HF band.
inline constexpr int32_t gainReductionSlot(int32_t band) { return kNumBands - 1 - band; }

struct MeterSlots {
  // The block's peak on the bars' scale, 1 + 0.15 * log2(peak / full scale): a full bar at
  // full scale and 0.15 of it less per octave, so the bar is empty some 40 dB down (the level
  // table's floor gives -1.25).
  std::atomic<float> level[kNumLevelSlots];
  // The band's largest gain of the block on the same scale: 1.0 is no reduction; never below
  // -0.1. Indexed by gainReductionSlot (HF first).
  std::atomic<float> gainReduction[kNumGainReductionSlots];
  // Set to 1 by the engine when it stores a new value; cleared by the editor.
  std::atomic<uint8_t> levelFresh[kNumLevelSlots];
  std::atomic<uint8_t> gainReductionFresh[kNumGainReductionSlots];
  // Which half of the band's dynamics governs it (HF first): non-zero while the expander
  // region was last entered, zero while the compressor was.
  std::atomic<int32_t> gainReductionMode[kNumGainReductionSlots];

  // The values an editor starts from when it opens: empty level meters, no gain reduction.
  MeterSlots() { clear(); }
  void clear() {
    for (auto& v : level) v.store(0.0f, std::memory_order_relaxed);
    for (auto& v : gainReduction) v.store(1.0f, std::memory_order_relaxed);
    for (auto& v : levelFresh) v.store(0, std::memory_order_relaxed);
    for (auto& v : gainReductionFresh) v.store(0, std::memory_order_relaxed);
    for (auto& v : gainReductionMode) v.store(0, std::memory_order_relaxed);
  }
};

static_assert(std::atomic<float>::is_always_lock_free);
static_assert(std::atomic<uint8_t>::is_always_lock_free);
static_assert(std::atomic<int32_t>::is_always_lock_free);

}  // namespace kestrane
