#include "engine/BandPath.h"

#include <algorithm>
#include <cstring>

#include "engine/BlockKernels.h"
#include "engine/SampleConversion.h"

namespace kestrane {

void BandPathState::restartAfterKernelChange(int32_t delayLF, int32_t delayLMF) noexcept {
  for (auto& ring : alignLF) ring.fill(0);
  for (auto& ring : alignLMF) ring.fill(0);
  alignPosLF = 0;
  alignPosLMF = 0;
  alignDelayLF = delayLF;
  alignDelayLMF = delayLMF;
  lookaheadPos = 0;
  lookaheadFresh = 0;
}

void BandPathState::silenceStaleLookahead(int32_t lookaheadSamples, int32_t frames) noexcept {
  const int32_t reach = std::min(lookaheadSamples, LookaheadLength);
  if (reach > lookaheadFresh) {
    // Slots lookaheadPos - reach .. lookaheadPos - lookaheadFresh - 1, in at most two pieces.
    const int32_t first = (lookaheadPos - reach) & (LookaheadLength - 1);
    const int32_t count = reach - lookaheadFresh;
    const int32_t beforeEnd = std::min(count, LookaheadLength - first);
    for (auto& band : lookahead) {
      for (auto& ring : band) {
        std::fill_n(ring.data() + first, beforeEnd, 0);
        std::fill_n(ring.data(), count - beforeEnd, 0);
      }
    }
    lookaheadFresh = reach;
  }
  lookaheadFresh = std::min(lookaheadFresh + frames, LookaheadLength);
}

namespace {

inline uint32_t maxU(uint32_t a, uint32_t b) { return a > b ? a : b; }

}  // namespace

void runBandPathReference(BandPathState& s, const EngineCoefficients& c,
                          const LookupTables& tables, const BandSplit& split,
                          const std::array<float*, 2>& output, int32_t frames,
                          BlockPeaks& peaks) noexcept {
  constexpr int32_t alignMask = AlignLength - 1;
  constexpr int32_t lookaheadMask = LookaheadLength - 1;
  const int32_t lookaheadSamples = c.lookaheadSamples;

  for (int32_t i = 0; i < frames; ++i) {
    // The four bands, time-aligned: band[b][channel].
    int32_t band[kNumBands][2];
    for (int32_t ch = 0; ch < 2; ++ch) {
      s.alignLF[ch][s.alignPosLF] = split.lowFir1[ch][i];
      band[BandLF][ch] = s.alignLF[ch][(s.alignPosLF - s.alignDelayLF) & alignMask];
    }
    s.alignPosLF = (s.alignPosLF + 1) & alignMask;
    for (int32_t ch = 0; ch < 2; ++ch) {
      s.alignLMF[ch][s.alignPosLMF] = split.lowFir2[ch][i];
      band[BandLMF][ch] = s.alignLMF[ch][(s.alignPosLMF - s.alignDelayLMF) & alignMask];
    }
    s.alignPosLMF = (s.alignPosLMF + 1) & alignMask;
    for (int32_t ch = 0; ch < 2; ++ch) {
      band[BandHMF][ch] = split.lowFir3[ch][i];
      band[BandHF][ch] = split.highFir3[ch][i];
    }

    // The audio runs lookaheadSamples behind the detector (with no lookahead the read meets
    // the sample just written).
    int32_t delayed[kNumBands][2];
    const int32_t readPos = (s.lookaheadPos - lookaheadSamples) & lookaheadMask;
    for (int32_t b = 0; b < kNumBands; ++b) {
      for (int32_t ch = 0; ch < 2; ++ch) {
        s.lookahead[b][ch][s.lookaheadPos] = band[b][ch];
        delayed[b][ch] = s.lookahead[b][ch][readPos];
      }
    }
    s.lookaheadPos = (s.lookaheadPos + 1) & lookaheadMask;

    // Stereo-linked detector input: the larger channel magnitude of the undelayed band.
    s.subBlockPhase = (s.subBlockPhase + 1) & 3;
    for (int32_t b = 0; b < kNumBands; ++b) {
      const uint32_t m = maxU(magnitude(band[b][0]), magnitude(band[b][1]));
      s.dynamics[b].peakSlots[s.subBlockPhase] = static_cast<int32_t>(m);
      peaks.bandLevel[b] = maxU(peaks.bandLevel[b], m);
    }
    if (s.subBlockPhase == 0) {
      for (int32_t b = 0; b < kNumBands; ++b) {
        runGainComputer(s.dynamics[b], c.band[b], c.detectorKeep, c.holdSteps, tables);
      }
    }
    for (int32_t b = 0; b < kNumBands; ++b) runSmoother(s.dynamics[b]);

    // Makeup, then the smoothed gain; the bands add up with two's-complement wrap.
    int32_t sum[2] = {0, 0};
    for (int32_t b = 0; b < kNumBands; ++b) {
      const int32_t gain = s.dynamics[b].currentGain;
      for (int32_t ch = 0; ch < 2; ++ch) {
        const int32_t y = mulQ23(mulQ23(delayed[b][ch], c.band[b].makeupGain), gain);
        sum[ch] = wrapAdd(sum[ch], y);
        peaks.bandOutput[b] = maxU(peaks.bandOutput[b], magnitude(y));
      }
      peaks.bandGain[b] = maxU(peaks.bandGain[b], static_cast<uint32_t>(gain));
    }
    for (int32_t ch = 0; ch < 2; ++ch) {
      peaks.output[ch] = maxU(peaks.output[ch], magnitude(sum[ch]));
      output[ch][i] = q23ToFloat(sum[ch]);
    }
  }
}

// --- The fast band path ----------------------------------------------------------------------

namespace {

// count samples of a ring from slot `start` on (wrapping) into dst; count <= Length.
template <std::size_t Length>
void copyFromRing(const std::array<int32_t, Length>& ring, int32_t start, int32_t count,
                  int32_t* dst) noexcept {
  const int32_t first = std::min(count, static_cast<int32_t>(Length) - start);
  std::memcpy(dst, ring.data() + start, static_cast<std::size_t>(first) * sizeof(int32_t));
  std::memcpy(dst + first, ring.data(), static_cast<std::size_t>(count - first) * sizeof(int32_t));
}

// A signal the crossover wrote in place (directSlots) is already there and stays.
template <std::size_t Length>
void copyToRing(std::array<int32_t, Length>& ring, int32_t start, const int32_t* src,
                int32_t count) noexcept {
  if (src == ring.data() + start) return;
  const int32_t first = std::min(count, static_cast<int32_t>(Length) - start);
  std::memcpy(ring.data() + start, src, static_cast<std::size_t>(first) * sizeof(int32_t));
  std::memcpy(ring.data(), src + first, static_cast<std::size_t>(count - first) * sizeof(int32_t));
}

// A delay line over a stretch of n samples, as the reference runs it sample by sample (write
// the sample at pos + i, then read slot pos + i - delay), for 0 <= delay < Length and
// n <= Length: sample i comes out as the one written `delay` samples before it, which is
// src[i - delay] when that lies in this stretch and otherwise a slot the stretch has not yet
// overwritten (it would need delay >= Length). Afterwards the ring holds what the reference
// leaves in it.
template <std::size_t Length>
void delayThroughRing(std::array<int32_t, Length>& ring, int32_t pos, int32_t delay,
                      const int32_t* src, int32_t n, int32_t* dst) noexcept {
  constexpr int32_t mask = static_cast<int32_t>(Length) - 1;
  const int32_t fromRing = std::min(delay, n);
  copyFromRing(ring, (pos - delay) & mask, fromRing, dst);
  std::memcpy(dst + fromRing, src, static_cast<std::size_t>(n - fromRing) * sizeof(int32_t));
  copyToRing(ring, pos, src, n);
}

// delayThroughRing's output without the copy where that is safe: when the delayed stretch
// lies in one piece of the ring and either comes out of the ring whole (delay >= n) without
// the stretch's own write reaching it (delay <= Length - n), or the stretch is already in
// place behind it (directSlots), it is read where it lies; otherwise it is copied into
// `scratch`. Answers where the delayed stretch is.
template <std::size_t Length>
const int32_t* delayedView(std::array<int32_t, Length>& ring, int32_t pos, int32_t delay,
                           const int32_t* src, int32_t n, int32_t* scratch) noexcept {
  constexpr int32_t length = static_cast<int32_t>(Length);
  const int32_t start = (pos - delay) & (length - 1);
  const bool inPlace = src == ring.data() + pos;
  if (start + n <= length && (inPlace || (delay >= n && delay <= length - n))) {
    copyToRing(ring, pos, src, n);
    return ring.data() + start;
  }
  delayThroughRing(ring, pos, delay, src, n, scratch);
  return scratch;
}

// The detector and smoother of the four bands over n samples, as the reference runs them:
// per sample the phase moves on and the detector input is captured; every fourth sample
// the gain computer runs; every sample the smoother gives the band's gain.
//
// The gain computer's envelope, level and target depend only on the detector input, so they
// are worked out first for every step of the stretch, band by band: their table look-ups
// then overlap instead of each waiting for the one before. What remains in step with the
// smoothers is the choice of time constants against currentGain (adoptTarget), which the
// smoother kernels run (BlockKernels.h).
void runDynamics(BandPathState& s, const EngineCoefficients& c, const LookupTables& tables,
                 BandPathScratch& w, int32_t n, SimdLevel level) noexcept {
  const int32_t startPhase = s.subBlockPhase;
  const int32_t firstStep = (3 - startPhase) & 3;  // the first sample whose phase is 0
  // peakSlots[p] holds the newest capture made at phase p; sample i of the stretch is captured
  // at phase startPhase + 1 + i. So the lead (samples -3..-1) comes from the slots, each step's
  // four captures are samples i - 3 .. i, and the slots end up holding the stretch's last four
  // samples (or fewer, with older ones kept).
  std::array<int32_t*, kNumBands> detector;
  for (int32_t b = 0; b < kNumBands; ++b) {
    detector[b] = w.detector[b].data() + BandPathScratch::DetectorLead;
    for (int32_t j = -3; j < 0; ++j) {
      detector[b][j] = s.dynamics[b].peakSlots[(startPhase + 1 + j) & 3];
    }
  }
  // The four bands side by side, step by step: each envelope is a chain through a multiply
  // (its release), and four chains in flight keep the processor busy where one would make it
  // wait.
  for (int32_t i = firstStep, step = 0; i < n; i += 4, ++step) {
    for (int32_t b = 0; b < kNumBands; ++b) {
      const int32_t* x = detector[b];
      const int32_t m4 = std::max(std::max(x[i - 3], x[i - 2]), std::max(x[i - 1], x[i]));
      BandDynamics& d = s.dynamics[b];
      followEnvelope(d, m4, c.detectorKeep, c.holdSteps);
      w.targets[static_cast<std::size_t>(step)][b] =
          gainTarget(c.band[b], envelopeLevel(tables, d.envelope), tables);
    }
  }
  for (int32_t b = 0; b < kNumBands; ++b) {
    for (int32_t i = std::max(0, n - 4); i < n; ++i) {
      s.dynamics[b].peakSlots[(startPhase + 1 + i) & 3] = detector[b][i];
    }
  }

  const std::array<int32_t*, kNumBands> gain = {w.gain[0].data(), w.gain[1].data(),
                                                w.gain[2].data(), w.gain[3].data()};
  (level == SimdLevel::Avx2 ? smoothGainsAvx2 : smoothGainsPortable)(
      s.dynamics, c.band, w.targets.data(), firstStep, n, gain);
  s.subBlockPhase = (startPhase + n) & 3;
}

void runStretch(BandPathState& s, const EngineCoefficients& c, const LookupTables& tables,
                const BandSplit& split, const std::array<float*, 2>& output, int32_t n,
                BlockPeaks& peaks, BandPathScratch& w, SimdLevel level) noexcept {
  // The four bands, time-aligned: LF and LMF wait behind FIR2 and FIR3.
  std::array<std::array<const int32_t*, 2>, kNumBands> band;
  for (std::size_t ch = 0; ch < 2; ++ch) {
    band[BandLF][ch] = delayedView(s.alignLF[ch], s.alignPosLF, s.alignDelayLF,
                                   split.lowFir1[ch], n, w.aligned[0][ch].data());
    band[BandLMF][ch] = delayedView(s.alignLMF[ch], s.alignPosLMF, s.alignDelayLMF,
                                    split.lowFir2[ch], n, w.aligned[1][ch].data());
    band[BandHMF][ch] = split.lowFir3[ch];
    band[BandHF][ch] = split.highFir3[ch];
  }
  s.alignPosLF = (s.alignPosLF + n) & (AlignLength - 1);
  s.alignPosLMF = (s.alignPosLMF + n) & (AlignLength - 1);

  // Stereo-linked detector input: the larger channel magnitude of the undelayed band.
  const auto detectorInputs =
      level == SimdLevel::Avx2 ? detectorInputsAvx2 : detectorInputsPortable;
  for (int32_t b = 0; b < kNumBands; ++b) {
    detectorInputs(band[b][0], band[b][1], w.detector[b].data() + BandPathScratch::DetectorLead, n,
                   peaks.bandLevel[b]);
  }

  runDynamics(s, c, tables, w, n, level);

  // The audio through the lookahead rings, as delayThroughRing would run it but without
  // copying what comes out: with a lookahead of d samples the stretch's first min(d, n)
  // samples are read where they lie in the rings (in at most two pieces, the rings share one
  // position) and the rest, samples i - d, straight from the bands; the mix runs piece by
  // piece. Only then does the stretch go into the rings: with d near the rings' length it
  // overwrites slots that were just read.
  constexpr int32_t lookaheadMask = LookaheadLength - 1;
  const int32_t fromRing = std::min(c.lookaheadSamples, n);
  const int32_t readPos = (s.lookaheadPos - c.lookaheadSamples) & lookaheadMask;
  const int32_t beforeEnd = std::min(fromRing, LookaheadLength - readPos);
  const auto mixBands = level == SimdLevel::Avx2 ? mixBandsAvx2 : mixBandsPortable;
  BandMix mix;
  for (int32_t b = 0; b < kNumBands; ++b) mix.makeup[b] = c.band[b].makeupGain;
  // Frames start .. start + count - 1, band b's channel ch read from source(b, ch).
  auto mixPiece = [&](int32_t start, int32_t count, auto source) {
    if (count <= 0) return;
    for (int32_t b = 0; b < kNumBands; ++b) {
      for (std::size_t ch = 0; ch < 2; ++ch) mix.band[b][ch] = source(b, ch);
      mix.gain[b] = w.gain[b].data() + start;
    }
    mix.output = {output[0] + start, output[1] + start};
    mix.frames = count;
    mixBands(mix, peaks);
  };
  mixPiece(0, beforeEnd, [&](int32_t b, std::size_t ch) {
    return s.lookahead[b][ch].data() + readPos;
  });
  mixPiece(beforeEnd, fromRing - beforeEnd,
           [&](int32_t b, std::size_t ch) { return s.lookahead[b][ch].data(); });
  mixPiece(fromRing, n - fromRing, [&](int32_t b, std::size_t ch) { return band[b][ch]; });
  for (int32_t b = 0; b < kNumBands; ++b) {
    for (std::size_t ch = 0; ch < 2; ++ch) {
      copyToRing(s.lookahead[b][ch], s.lookaheadPos, band[b][ch], n);
    }
  }
  s.lookaheadPos = (s.lookaheadPos + n) & lookaheadMask;
}

}  // namespace

BandSlots directSlots(BandPathState& s, int32_t frames, int32_t lookaheadSamples) noexcept {
  BandSlots slots;
  if (frames <= 0) return slots;
  // The slots from `pos` on in rings of `length`, or none (see BandSlots).
  auto offer = [frames](auto& rings, int32_t pos, int32_t delay, int32_t length,
                        std::array<int32_t*, 2>& out) {
    if (pos + frames > length || delay < 0 || delay > length - frames) return;
    for (std::size_t ch = 0; ch < 2; ++ch) out[ch] = rings[ch].data() + pos;
  };
  offer(s.alignLF, s.alignPosLF, s.alignDelayLF, AlignLength, slots.band[BandLF]);
  offer(s.alignLMF, s.alignPosLMF, s.alignDelayLMF, AlignLength, slots.band[BandLMF]);
  for (int32_t b : {BandHMF, BandHF}) {
    offer(s.lookahead[b], s.lookaheadPos, lookaheadSamples, LookaheadLength, slots.band[b]);
  }
  return slots;
}

void runBandPath(BandPathState& state, const EngineCoefficients& coefficients,
                 const LookupTables& tables, const BandSplit& split,
                 const std::array<float*, 2>& output, int32_t frames, BlockPeaks& peaks,
                 BandPathScratch& scratch, SimdLevel level) noexcept {
  level = usableSimdLevel(level);
  for (int32_t done = 0; done < frames;) {
    const int32_t n = std::min(frames - done, BandPathStretch);
    BandSplit part;
    for (std::size_t ch = 0; ch < 2; ++ch) {
      part.lowFir1[ch] = split.lowFir1[ch] + done;
      part.lowFir2[ch] = split.lowFir2[ch] + done;
      part.lowFir3[ch] = split.lowFir3[ch] + done;
      part.highFir3[ch] = split.highFir3[ch] + done;
    }
    runStretch(state, coefficients, tables, part, {output[0] + done, output[1] + done}, n, peaks,
               scratch, level);
    done += n;
  }
}

// --- Portable block kernels --------------------------------------------------------------------

void floatsToQ23Portable(const float* in, int32_t* out, int32_t frames, uint32_t& peak) noexcept {
  uint32_t p = peak;
  for (int32_t i = 0; i < frames; ++i) {
    out[i] = floatToQ23(in[i]);
    p = maxU(p, magnitude(out[i]));
  }
  peak = p;
}

void detectorInputsPortable(const int32_t* left, const int32_t* right, int32_t* out,
                            int32_t frames, uint32_t& peak) noexcept {
  uint32_t p = peak;
  for (int32_t i = 0; i < frames; ++i) {
    const uint32_t m = maxU(magnitude(left[i]), magnitude(right[i]));
    out[i] = static_cast<int32_t>(m);
    p = maxU(p, m);
  }
  peak = p;
}

void mixBandsPortable(const BandMix& mix, BlockPeaks& peaks) noexcept {
  for (int32_t i = 0; i < mix.frames; ++i) {
    int32_t sum[2] = {0, 0};
    for (int32_t b = 0; b < kNumBands; ++b) {
      const int32_t gain = mix.gain[b][i];
      for (std::size_t ch = 0; ch < 2; ++ch) {
        const int32_t y = mulQ23(mulQ23(mix.band[b][ch][i], mix.makeup[b]), gain);
        sum[ch] = wrapAdd(sum[ch], y);
        peaks.bandOutput[b] = maxU(peaks.bandOutput[b], magnitude(y));
      }
      peaks.bandGain[b] = maxU(peaks.bandGain[b], static_cast<uint32_t>(gain));
    }
    for (std::size_t ch = 0; ch < 2; ++ch) {
      peaks.output[ch] = maxU(peaks.output[ch], magnitude(sum[ch]));
      mix.output[ch][i] = q23ToFloat(sum[ch]);
    }
  }
}

// The smoother's step g = mulQ23(keep, g) + mulQ23(take, target) has a second term that
// changes only when a target is adopted, so it is formed there once ("pull"). The gains and
// weights stay in locals in between; currentGain equals smoothedGain after every smoother
// step, and is stored back before each adoption, which reads it.
void smoothGainsPortable(std::array<BandDynamics, kNumBands>& dynamics,
                         const BandCoefficients* bands,
                         const std::array<GainTarget, kNumBands>* targets, int32_t firstStep,
                         int32_t frames, const std::array<int32_t*, kNumBands>& gain) noexcept {
  if (frames <= 0) return;
  int32_t keep[kNumBands], pull[kNumBands], smoothed[kNumBands];
  for (int32_t b = 0; b < kNumBands; ++b) {
    const BandDynamics& d = dynamics[b];
    keep[b] = d.activeKeep;
    pull[b] = mulQ23(d.activeTake, d.targetGain);
    smoothed[b] = d.smoothedGain;
  }
  for (int32_t i = 0, step = 0; i < frames; ++i) {
    if ((i & 3) == firstStep) {
      for (int32_t b = 0; b < kNumBands; ++b) {
        BandDynamics& d = dynamics[b];
        if (i > 0) d.currentGain = smoothed[b];
        adoptTarget(d, bands[b], targets[step][b]);
        keep[b] = d.activeKeep;
        pull[b] = mulQ23(d.activeTake, d.targetGain);
      }
      ++step;
    }
    for (int32_t b = 0; b < kNumBands; ++b) {
      smoothed[b] = wrapAdd(mulQ23(keep[b], smoothed[b]), pull[b]);
      gain[b][i] = smoothed[b];
    }
  }
  for (int32_t b = 0; b < kNumBands; ++b) {
    dynamics[b].smoothedGain = smoothed[b];
    dynamics[b].currentGain = smoothed[b];
  }
}

}  // namespace kestrane
