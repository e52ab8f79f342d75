#include "engine/CrossoverChange.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/CrossoverKernels.h"
#include "engine/FixedPoint.h"

namespace kestrane {
namespace {

constexpr int32_t LineMask = BandLineLength - 1;
constexpr int64_t LineOne = 65536;  // one sample of band-line delay
constexpr int64_t GlideStep = LineOne / CrossoverChange::GlideDivisor;

// Moves `value` by at most `step` towards `target`.
inline int64_t glide(int64_t value, int64_t target, int64_t step) noexcept {
  if (value < target) return std::min(value + step, target);
  return std::max(value - step, target);
}

inline int32_t saturate(int64_t x) noexcept {
  return static_cast<int32_t>(std::min<int64_t>(INT32_MAX, std::max<int64_t>(INT32_MIN, x)));
}

// The band line's interpolator: a 16-tap Blackman-windowed sinc in 1024 phases of the
// fraction, taps Q20 with each phase's sum exactly 1.0 (a constant stays exact). Phase p reads
// the delay d + p / 1024 from the samples at delays d - 7 .. d + 8.
constexpr int32_t InterpTaps = 16;
constexpr int32_t InterpNewer = 7;  // taps on samples newer than delay d
constexpr int32_t InterpPhases = 1024;
constexpr int32_t InterpShift = 20;

using InterpTable = std::array<std::array<int32_t, InterpTaps>, InterpPhases>;

const InterpTable& interpolator() {
  static const InterpTable table = [] {
    InterpTable t{};
    const double pi = 3.14159265358979323846;
    for (int32_t p = 0; p < InterpPhases; ++p) {
      const double f = static_cast<double>(p) / InterpPhases;
      int64_t sum = 0;
      for (int32_t k = 0; k < InterpTaps; ++k) {
        const double u = (k - InterpNewer) - f;  // distance from the point read, in samples
        const double sinc = u == 0.0 ? 1.0 : std::sin(pi * u) / (pi * u);
        const double window = 0.42 + 0.5 * std::cos(pi * u / 8.0) + 0.08 * std::cos(pi * u / 4.0);
        t[p][k] = static_cast<int32_t>(std::lround(sinc * window * (1 << InterpShift)));
        sum += t[p][k];
      }
      t[p][InterpNewer] += static_cast<int32_t>((INT64_C(1) << InterpShift) - sum);
    }
    return t;
  }();
  return table;
}

// The band line read at `delay` (Q16 samples) behind slot `pos`: a whole delay reads the
// sample written that many samples before exactly; a fraction interpolates (interpolator()).
// Samples newer than the one at `pos` do not exist yet; below a delay of 7 the taps that would
// reach them read that newest sample instead (the last 112 samples of a glide to no delay).
inline int32_t readLine(const std::array<int32_t, BandLineLength>& line, int32_t pos,
                        int64_t delay, const InterpTable& table) noexcept {
  const int32_t d = static_cast<int32_t>(delay >> 16);
  const int32_t phase = static_cast<int32_t>(delay & (LineOne - 1)) >> 6;
  if (phase == 0) return line[static_cast<std::size_t>((pos - d) & LineMask)];
  const std::array<int32_t, InterpTaps>& taps = table[static_cast<std::size_t>(phase)];
  int64_t acc = 0;
  for (int32_t k = 0; k < InterpTaps; ++k) {
    const int32_t at = std::max(d + k - InterpNewer, 0);
    acc += static_cast<int64_t>(line[static_cast<std::size_t>((pos - at) & LineMask)]) * taps[k];
  }
  return saturate((acc + (INT64_C(1) << (InterpShift - 1))) >> InterpShift);
}

// The fade's weight of the new bands after `done` of `length` samples, Q23: the smooth step
// 3 x^2 - 2 x^3 of x = done / length, which leaves and reaches its ends with zero slope.
inline int64_t fadeWeight(int32_t done, int32_t length) noexcept {
  const int64_t x = (static_cast<int64_t>(done) << 23) / length;  // Q23, 0..1
  const int64_t x2 = (x * x) >> 23;
  return (3 * x2) - ((2 * x2 * x) >> 23);
}

}  // namespace

CrossoverChange::CrossoverChange(SimdLevel level) noexcept {
  interpolator();  // built here, never on the audio thread
  for (Slot& s : slot_) {
    for (FirStage& stage : s.fir) stage.simd = level;
  }
}

void CrossoverChange::load(Slot& s, const KernelSelection& selection) noexcept {
  const CrossoverKernelSet& kernels = crossoverKernels();
  s.selection = selection;
  s.delay = 0;
  for (int32_t k = 0; k < 3; ++k) {
    s.fir[k].load(kernels.records[static_cast<std::size_t>(selection.recordIndex(k))]);
    s.delay += s.fir[k].delay;
  }
}

void CrossoverChange::restart(const KernelSelection& selection, BandPathState& path) noexcept {
  phase_ = Phase::Steady;
  pending_ = false;
  handBack_ = false;
  Slot& s = slot_[heard_];
  load(s, selection);
  s.lineDelay = 0;
  path.restartAfterKernelChange(s.fir[1].delay + s.fir[2].delay, s.fir[2].delay);
}

void CrossoverChange::startNew(const KernelSelection& selection) noexcept {
  Slot& o = slot_[heard_];
  Slot& n = slot_[1 - heard_];
  load(n, selection);
  for (auto& ring : n.alignLF) ring.fill(0);
  for (auto& ring : n.alignLMF) ring.fill(0);
  n.alignPos = 0;
  n.written = 0;
  // Both crossovers meet at the longer delay: the new bands wait in their line for the
  // difference, the old ones glide to it.
  const int64_t common = std::max(o.delay, n.delay);
  n.lineDelay = (common - n.delay) * LineOne;
  oldTargetDelay = (common - o.delay) * LineOne;
  fadePos_ = 0;
  phase_ = Phase::Prepare;
}

void CrossoverChange::begin(const KernelSelection& selection, int32_t sampleRate,
                            BandPathState& path) noexcept {
  if (phase_ == Phase::Fade) {
    pending_ = true;
    pendingSelection_ = selection;
    pendingRate_ = sampleRate;
    return;
  }
  pending_ = false;
  fadeLength_ = std::max(1, static_cast<int32_t>(static_cast<int64_t>(sampleRate) *
                                                 FadeMilliseconds / 1000));
  Slot& o = slot_[heard_];
  if (phase_ == Phase::Steady) {
    // The old crossover leaves the band path's alignment for its own, and its band line starts
    // with the last aligned bands the band path took (as far as the interpolator reaches),
    // which its lookahead rings still hold.
    o.alignLF = path.alignLF;
    o.alignLMF = path.alignLMF;
    o.alignPos = path.alignPosLF;
    o.lineDelay = 0;
    for (int32_t k = 1; k <= InterpTaps; ++k) {
      const int32_t from = (path.lookaheadPos - k) & (LookaheadLength - 1);
      for (int32_t b = 0; b < kNumBands; ++b) {
        for (std::size_t ch = 0; ch < 2; ++ch) {
          o.line[b][ch][static_cast<std::size_t>((o.linePos - k) & LineMask)] =
              path.lookahead[b][ch][static_cast<std::size_t>(from)];
        }
      }
    }
    path.alignDelayLF = 0;
    path.alignDelayLMF = 0;
  }
  if (selection == o.selection) {
    // Back to the crossover heard now: only its band line's delay, if any, glides home.
    phase_ = Phase::Settle;
    return;
  }
  startNew(selection);
}

void CrossoverChange::runSlot(Slot& s, const std::array<const int32_t*, 2>& input, int32_t n,
                              bool referencePasses) noexcept {
  Scratch& w = scratch_;
  const std::array<int32_t, BandPathStretch>* source = nullptr;
  for (std::size_t k = 0; k < 3; ++k) {
    FirPassBuffers buffers;
    for (std::size_t ch = 0; ch < 2; ++ch) {
      buffers.input[ch] = k == 0 ? input[ch] : source[ch].data();
      buffers.low[ch] = w.low[k][ch].data();
      buffers.high[ch] = w.high[k][ch].data();
    }
    if (referencePasses) {
      s.fir[k].runPassReference(buffers, n);
    } else {
      s.fir[k].runPass(buffers, n);
    }
    source = w.high[k].data();
  }

  // LF waits FIR2.delay + FIR3.delay samples, LMF FIR3.delay (as in the band path); the four
  // aligned bands go into the band line.
  constexpr int32_t alignMask = AlignLength - 1;
  const int32_t delayLF = s.fir[1].delay + s.fir[2].delay;
  const int32_t delayLMF = s.fir[2].delay;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t pos = s.alignPos;
    const std::size_t at = static_cast<std::size_t>((s.linePos + i) & LineMask);
    for (std::size_t ch = 0; ch < 2; ++ch) {
      s.alignLF[ch][static_cast<std::size_t>(pos)] = w.low[0][ch][static_cast<std::size_t>(i)];
      s.alignLMF[ch][static_cast<std::size_t>(pos)] = w.low[1][ch][static_cast<std::size_t>(i)];
      s.line[BandLF][ch][at] = s.alignLF[ch][static_cast<std::size_t>((pos - delayLF) & alignMask)];
      s.line[BandLMF][ch][at] =
          s.alignLMF[ch][static_cast<std::size_t>((pos - delayLMF) & alignMask)];
      s.line[BandHMF][ch][at] = w.low[2][ch][static_cast<std::size_t>(i)];
      s.line[BandHF][ch][at] = w.high[2][ch][static_cast<std::size_t>(i)];
    }
    s.alignPos = (pos + 1) & alignMask;
  }
}

void CrossoverChange::afterStretch(BandPathState& path) noexcept {
  if (!handBack_) return;
  handBack_ = false;
  finish(path);
}

void CrossoverChange::finish(BandPathState& path) noexcept {
  // The heard crossover's alignment goes back to the band path, which runs it from here on.
  const Slot& s = slot_[heard_];
  path.alignLF = s.alignLF;
  path.alignLMF = s.alignLMF;
  path.alignPosLF = s.alignPos;
  path.alignPosLMF = s.alignPos;
  path.alignDelayLF = s.fir[1].delay + s.fir[2].delay;
  path.alignDelayLMF = s.fir[2].delay;
}

void CrossoverChange::run(const std::array<const int32_t*, 2>& input, int32_t frames,
                          const std::array<std::array<int32_t*, 2>, kNumBands>& bands,
                          BandPathState& path, bool referencePasses) noexcept {
  if (pending_ && phase_ != Phase::Fade) begin(pendingSelection_, pendingRate_, path);
  const InterpTable& interp = interpolator();

  // Which crossovers this stretch needs: the old one until its fade is over, the new one
  // from the change on.
  const bool withOld = phase_ == Phase::Prepare || phase_ == Phase::Fade;
  Slot& o = slot_[heard_];
  Slot& n = slot_[1 - heard_];
  if (withOld) {
    runSlot(o, input, frames, referencePasses);
    runSlot(n, input, frames, referencePasses);
  } else {
    runSlot(o, input, frames, referencePasses);  // in settle the heard one is the new one
  }

  for (int32_t i = 0; i < frames; ++i) {
    const std::size_t at = static_cast<std::size_t>(i);
    if (phase_ == Phase::Prepare) {
      for (int32_t b = 0; b < kNumBands; ++b) {
        for (std::size_t ch = 0; ch < 2; ++ch) {
          bands[b][ch][at] = readLine(o.line[b][ch], o.linePos + i, o.lineDelay, interp);
        }
      }
      o.lineDelay = glide(o.lineDelay, oldTargetDelay, GlideStep);
      ++n.written;
      // The fade begins once the new bands, read at their line delay, come from filters that
      // have seen nothing but input since the change (their whole reach, 2 * delay + 6), and
      // the old bands have reached the common delay.
      const int64_t filled = 2 * static_cast<int64_t>(n.delay) + 6 + (n.lineDelay >> 16);
      if (n.written >= filled && o.lineDelay == oldTargetDelay) phase_ = Phase::Fade;
    } else if (phase_ == Phase::Fade) {
      ++fadePos_;
      const int64_t weight = fadeWeight(fadePos_, fadeLength_);
      for (int32_t b = 0; b < kNumBands; ++b) {
        for (std::size_t ch = 0; ch < 2; ++ch) {
          const int64_t from = readLine(o.line[b][ch], o.linePos + i, o.lineDelay, interp);
          const int64_t to = readLine(n.line[b][ch], n.linePos + i, n.lineDelay, interp);
          bands[b][ch][at] = static_cast<int32_t>(from + (((to - from) * weight) >> 23));
        }
      }
      ++n.written;
      if (fadePos_ == fadeLength_) {
        // The new crossover is heard alone from the next sample on.
        heard_ = 1 - heard_;
        phase_ = Phase::Settle;
      }
    } else {
      // Settle (and, after it, the rest of the stretch): the heard crossover's line glides to
      // no delay, where it reads the bands exactly as they were written.
      Slot& h = slot_[heard_];
      for (int32_t b = 0; b < kNumBands; ++b) {
        for (std::size_t ch = 0; ch < 2; ++ch) {
          bands[b][ch][at] = readLine(h.line[b][ch], h.linePos + i, h.lineDelay, interp);
        }
      }
      h.lineDelay = glide(h.lineDelay, 0, GlideStep);
      if (h.lineDelay == 0) phase_ = Phase::Steady;
    }
  }
  // The heard slot may have changed in the loop; both slots that ran move their lines on.
  o.linePos = (o.linePos + frames) & LineMask;
  if (withOld) n.linePos = (n.linePos + frames) & LineMask;
  handBack_ = phase_ == Phase::Steady;
}

}  // namespace kestrane
