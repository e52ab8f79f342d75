// The sample loops at either end of the block, in one version per instruction-set level:
// host floats into Q23, and the bands' gains, sum and float output. Internal to the engine;
// audio thread. Each version gives exactly the bits of the scalar definitions (floatToQ23,
// q23ToFloat, runBandPathReference).
#pragma once

#include <array>
#include <cstdint>

#include "engine/Dynamics.h"
#include "params/ParamId.h"

namespace kestrane {

struct BlockPeaks;

// out[i] = floatToQ23(in[i]) for i < frames; peak = max(peak, |out[i]|) (unsigned).
void floatsToQ23Portable(const float* in, int32_t* out, int32_t frames, uint32_t& peak) noexcept;
void floatsToQ23Avx2(const float* in, int32_t* out, int32_t frames, uint32_t& peak) noexcept;

// The stereo-linked detector input of one band: out[i] = max(|left[i]|, |right[i]|)
// (unsigned magnitudes), and peak = max(peak, out[i]).
void detectorInputsPortable(const int32_t* left, const int32_t* right, int32_t* out,
                            int32_t frames, uint32_t& peak) noexcept;
void detectorInputsAvx2(const int32_t* left, const int32_t* right, int32_t* out, int32_t frames,
                        uint32_t& peak) noexcept;

// The end of the band path over `frames` samples: per band and channel
//   y = mulQ23(mulQ23(band[b][c][i], makeup[b]), gain[b][i]),
// the four y of a channel summed with two's-complement wrap into output[c][i] (as host float),
// and the block's band-output, output and band-gain peaks raised.
struct BandMix {
  std::array<std::array<const int32_t*, 2>, kNumBands> band;  // after the lookahead
  std::array<const int32_t*, kNumBands> gain;                  // smoothed gain per sample, Q23
  std::array<int32_t, kNumBands> makeup;                       // Q23
  std::array<float*, 2> output;
  int32_t frames;
};
void mixBandsPortable(const BandMix& mix, BlockPeaks& peaks) noexcept;
void mixBandsAvx2(const BandMix& mix, BlockPeaks& peaks) noexcept;

// The four bands' smoothers over `frames` samples, once the gain computer's targets are known:
// at every 4-sample step (the samples i with i % 4 == firstStep, 0..3) each band adopts its
// target targets[step][b] against its current gain (adoptTarget), then every sample runs the
// smoother (runSmoother) and gain[b][i] receives band b's gain. The band's dynamics end as the
// reference leaves them.
void smoothGainsPortable(std::array<BandDynamics, kNumBands>& dynamics,
                         const BandCoefficients* bands,
                         const std::array<GainTarget, kNumBands>* targets, int32_t firstStep,
                         int32_t frames, const std::array<int32_t*, kNumBands>& gain) noexcept;
void smoothGainsAvx2(std::array<BandDynamics, kNumBands>& dynamics, const BandCoefficients* bands,
                     const std::array<GainTarget, kNumBands>* targets, int32_t firstStep,
                     int32_t frames, const std::array<int32_t*, kNumBands>& gain) noexcept;

}  // namespace kestrane
