#include "engine/FirStage.h"

#include "engine/FixedPoint.h"
#include "engine/LookupTables.h"

namespace kestrane {

void FirStage::load(const KernelRecord& record) noexcept {
  kernel = record;
  spacing = record[KernelSpacingWord];
  scale = KernelScaleTable[static_cast<std::size_t>(record[KernelScaleWord] + KernelScaleOffset)];
  gain = record[KernelGainWord];
  // The centre of the interpolated response: 27 model taps of L samples, less the one sample
  // by which the double integrator's triangle leads.
  delay = ((record[KernelTapCountWord] - 1) / 2) * spacing - 1;
  clear();
}

void FirStage::clear() noexcept {
  for (auto& ring : history) ring.fill(0);
  integ1 = {};
  integ2 = {};
  writePos = 0;
}

FirOutput FirStage::step(int32_t channel, int32_t x) noexcept {
  std::array<int32_t, FirHistoryLength>& ring = history[static_cast<std::size_t>(channel)];
  ring[static_cast<std::size_t>(writePos)] = x;

  // Sparse tap sum: 55 products of 32 x 32 bits summed in 64 bits (wrapping, like the adder).
  uint64_t acc = 0;
  for (int32_t j = 0; j < KernelTaps; ++j) {
    const int32_t h = ring[static_cast<std::size_t>((writePos - j * spacing) & FirHistoryMask)];
    acc += static_cast<uint64_t>(static_cast<int64_t>(h) *
                                 kernel[static_cast<std::size_t>(KernelFirstTapWord + j)]);
  }

  // Double integrator, two's-complement: the taps' zero sum and zero first moment bring both
  // sums back after any finite input, so the wrap never shows at the output.
  const std::size_t c = static_cast<std::size_t>(channel);
  integ1[c] = wrapAdd64(integ1[c], static_cast<int64_t>(acc));
  integ2[c] = wrapAdd64(integ2[c], integ1[c]);

  // Only the high 32 bits of the second sum reach the output: times 2^(1 + s), then times G.
  const int32_t t = mulQ28(static_cast<int32_t>(integ2[c] >> 32), scale);
  const int32_t low = mulQ31(t, gain);
  const int32_t delayed = ring[static_cast<std::size_t>((writePos - delay) & FirHistoryMask)];
  return {low, wrapSub(delayed, low)};
}

void FirStage::runPassReference(const FirPassBuffers& buffers, int32_t frames) noexcept {
  // The channels share only the write position, so each channel runs through the whole block
  // from the same start; the position moves on once at the end.
  const int32_t start = writePos;
  for (std::size_t c = 0; c < 2; ++c) {
    writePos = start;
    for (int32_t i = 0; i < frames; ++i) {
      const FirOutput out = step(static_cast<int32_t>(c), buffers.input[c][i]);
      buffers.low[c][i] = out.low;
      buffers.high[c][i] = out.high;
      advance();
    }
  }
  writePos = (start + (frames > 0 ? frames : 0)) & FirHistoryMask;
}

void FirStage::runPass(const FirPassBuffers& buffers, int32_t frames) noexcept {
  runPassReference(buffers, frames);
}

}  // namespace kestrane
