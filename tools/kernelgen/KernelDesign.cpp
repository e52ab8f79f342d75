#include "tools/kernelgen/KernelDesign.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "engine/LookupTables.h"
#include "params/StepTables.h"

namespace kestrane::kernelgen {
namespace {

constexpr double Pi = 3.14159265358979323846;

// The target magnitude of each slope class as a function of r = f / fc':
// D(r) = (1 + r^a)^-b. b = 1 puts -6.02 dB at r = 1 (slopes 12..24 dB/oct); slope 0 takes b
// so that r = 1 lies 3.5 dB down. The exponent a sets the attenuation an octave up.
struct SlopeShape {
  double atNominalDb;  // attenuation at the nominal frequency
  double atDoubleDb;   // attenuation at twice the nominal frequency
  double exponent;     // starting value of a
};
constexpr std::array<SlopeShape, KernelSlopes> SlopeShapes = {{
    {3.5, 9.0, 2.3},
    {20.0 * 0.30102999566398120, 17.5, 2.7},
    {20.0 * 0.30102999566398120, 23.0, 3.71},
    {20.0 * 0.30102999566398120, 29.0, 4.77},
}};

double targetMagnitude(double r, double a, double b) { return std::pow(1.0 + std::pow(r, a), -b); }

// The interpolation triangle's response at w (radians per sample), normalised to 1 at 0 Hz:
// (sin(w L / 2) / (L sin(w / 2)))^2.
double triangleResponse(double w, int32_t spacing) {
  if (spacing == 1 || w == 0.0) return 1.0;
  const double v = std::sin(w * spacing / 2.0) / (spacing * std::sin(w / 2.0));
  return v * v;
}

// The model filter's zero-phase response at theta (radians per model tap).
double modelResponse(const ModelHalfTaps& c, double theta) {
  double sum = c[0];
  for (int32_t k = 1; k <= ModelHalf; ++k)
    sum += 2.0 * c[static_cast<std::size_t>(k)] * std::cos(k * theta);
  return sum;
}

// The zero-phase response of the interpolated filter at f Hz.
double realisedResponse(const ModelHalfTaps& c, const DesignTarget& t, double f) {
  const double w = 2.0 * Pi * f / t.sampleRate;
  return modelResponse(c, w * t.spacing) * triangleResponse(w, t.spacing);
}

// The least-squares problem of one record over the model's base band (0 .. fs / 2L). Unity at
// 0 Hz is built in: with Q(theta) = 1 + sum a_k (2 cos(k theta) - 2) the unknowns are the 26 side
// taps a_k and the centre tap follows. The basis depends only on the grid, so it is computed
// once per record and each shape only reweights it.
class LeastSquares {
 public:
  static constexpr int32_t GridPoints = 400;
  using Unknowns = Eigen::Matrix<double, ModelHalf, 1>;

  explicit LeastSquares(const DesignTarget& t) : target_(t) {
    const double bandEdge = t.sampleRate / (2.0 * t.spacing);
    for (int32_t i = 0; i < GridPoints; ++i) {
      const double f = bandEdge * (i + 0.5) / GridPoints;
      const double w = 2.0 * Pi * f / t.sampleRate;
      const double tri = triangleResponse(w, t.spacing);
      hz_[static_cast<std::size_t>(i)] = f;
      triangle_[static_cast<std::size_t>(i)] = tri;
      for (int32_t k = 1; k <= ModelHalf; ++k) {
        basis_(i, k - 1) = tri * (2.0 * std::cos(k * w * t.spacing) - 2.0);
      }
    }
  }

  // The model filter closest to the shape (fc', a, b), weighted towards relative error so that
  // the stop band counts in decibels rather than in amplitude.
  ModelHalfTaps solve(double cutoff, double a, double b) const {
    Eigen::Matrix<double, ModelHalf, ModelHalf> normal =
        Eigen::Matrix<double, ModelHalf, ModelHalf>::Zero();
    Unknowns rhs = Unknowns::Zero();
    for (int32_t i = 0; i < GridPoints; ++i) {
      const double d = targetMagnitude(hz_[static_cast<std::size_t>(i)] / cutoff, a, b);
      const double weight = 1.0 / ((d + 0.002) * (d + 0.002));
      const double residual = d - triangle_[static_cast<std::size_t>(i)];
      for (int32_t j = 0; j < ModelHalf; ++j) {
        const double wj = weight * basis_(i, j);
        rhs(j) += wj * residual;
        for (int32_t k = j; k < ModelHalf; ++k) normal(j, k) += wj * basis_(i, k);
      }
    }
    for (int32_t j = 0; j < ModelHalf; ++j) {
      for (int32_t k = 0; k < j; ++k) normal(j, k) = normal(k, j);
    }
    const Unknowns x = normal.ldlt().solve(rhs);
    ModelHalfTaps c{};
    c[0] = 1.0;
    for (int32_t k = 1; k <= ModelHalf; ++k) {
      c[static_cast<std::size_t>(k)] = x(k - 1);
      c[0] -= 2.0 * x(k - 1);
    }
    return c;
  }

  const DesignTarget& target() const { return target_; }

 private:
  DesignTarget target_;
  std::array<double, GridPoints> hz_{};
  std::array<double, GridPoints> triangle_{};
  Eigen::Matrix<double, GridPoints, ModelHalf> basis_;
};

// The frequency (Hz) at which the realised response falls to `level`, searched upwards from
// `from` to `to` by bisection on the first crossing.
double crossing(const ModelHalfTaps& c, const DesignTarget& t, double level, double from,
                double to) {
  double lo = from;
  double hi = to;
  constexpr int32_t Steps = 200;
  for (int32_t i = 1; i <= Steps; ++i) {
    const double f = from + (to - from) * i / Steps;
    if (realisedResponse(c, t, f) < level) {
      hi = f;
      lo = from + (to - from) * (i - 1) / Steps;
      break;
    }
  }
  for (int32_t i = 0; i < 60; ++i) {
    const double mid = 0.5 * (lo + hi);
    (realisedResponse(c, t, mid) < level ? hi : lo) = mid;
  }
  return 0.5 * (lo + hi);
}

double attenuationDb(const ModelHalfTaps& c, const DesignTarget& t, double f) {
  return -20.0 * std::log10(std::abs(realisedResponse(c, t, f)));
}

}  // namespace

DesignTarget designTarget(int32_t rateIndex, int32_t slope, int32_t frequency) {
  DesignTarget t{};
  t.rateIndex = rateIndex;
  t.slope = slope;
  t.frequency = frequency;
  t.sampleRate = KernelGroupRates[static_cast<std::size_t>(rateIndex)];
  t.nominal = CrossoverFreqSteps[static_cast<std::size_t>(frequency)];
  t.spacing =
      SpacingTable[static_cast<std::size_t>(rateIndex)][static_cast<std::size_t>(frequency)];
  return t;
}

ModelHalfTaps designModel(const DesignTarget& t) {
  if (splitAboveNyquist(t.nominal, t.sampleRate)) {
    ModelHalfTaps delay{};
    delay[0] = 1.0;
    return delay;
  }
  const SlopeShape& shape = SlopeShapes[static_cast<std::size_t>(t.slope)];
  const double b = shape.atNominalDb / (20.0 * std::log10(2.0));
  const double level = std::pow(10.0, -shape.atNominalDb / 20.0);
  const bool doubleCounts = 2.0 * t.nominal < 0.45 * t.sampleRate;
  double cutoff = t.nominal;
  double a = shape.exponent;
  const auto problem = std::make_unique<LeastSquares>(t);
  ModelHalfTaps c = problem->solve(cutoff, a, b);
  // Move the shape until the realised response meets the nominal level at the nominal frequency
  // and the slope class's attenuation an octave up (where that octave lies in the band).
  for (int32_t pass = 0; pass < 12; ++pass) {
    const double measured =
        crossing(c, t, level, 0.2 * t.nominal, std::min(3.0 * t.nominal, 0.5 * t.sampleRate));
    cutoff *= t.nominal / measured;
    if (doubleCounts) {
      // Far above the knee the attenuation at r = 2 grows by about 20 b log10(2) dB per unit of
      // a; the step is damped a little so that the joint iteration with fc' settles.
      const double err = attenuationDb(c, t, 2.0 * t.nominal) - shape.atDoubleDb;
      a -= err / (20.0 * std::log10(2.0) * b) * 0.8;
      a = std::max(1.2, a);
    }
    c = problem->solve(cutoff, a, b);
  }
  return c;
}

KernelRecord quantise(const ModelHalfTaps& model, int32_t spacing) {
  // Full 53-tap model, symmetric about tap 26.
  std::array<double, ModelTaps> full{};
  for (int32_t k = 0; k < ModelTaps; ++k)
    full[static_cast<std::size_t>(k)] = model[static_cast<std::size_t>(std::abs(k - ModelHalf))];
  const double l2 = static_cast<double>(spacing) * spacing;

  for (int32_t s = -8; s <= 2; ++s) {
    const double scale = KernelScaleTable[static_cast<std::size_t>(s + KernelScaleOffset)];
    // Unity at 0 Hz with the converted words: (256 sum q) L^2 scale (256 G) / 2^91 = 1.
    const double aimedGain = 0.75 * 8388608.0;
    const double aimedSum = std::ldexp(1.0, 75) / (l2 * scale * aimedGain);
    std::array<int64_t, ModelTaps> q{};
    int64_t sum = 0;
    for (int32_t k = 0; k < ModelTaps; ++k) {
      q[static_cast<std::size_t>(k)] = std::llround(full[static_cast<std::size_t>(k)] * aimedSum);
      sum += q[static_cast<std::size_t>(k)];
    }
    if (sum <= 0) continue;
    const int64_t gain =
        std::llround(std::ldexp(1.0, 75) / (static_cast<double>(sum) * l2 * scale));
    if (gain < 4194315 || gain > 8387740) continue;

    // Taps: the second difference of q (zero outside 0..52). Stored taps times 256 must fit.
    KernelRecord r{};
    bool fits = true;
    for (int32_t j = 0; j < KernelTaps; ++j) {
      auto at = [&](int32_t k) {
        return k >= 0 && k < ModelTaps ? q[static_cast<std::size_t>(k)] : int64_t{0};
      };
      const int64_t p = at(j) - 2 * at(j - 1) + at(j - 2);
      if (std::llabs(p) > 8388607) fits = false;
      r[static_cast<std::size_t>(KernelFirstTapWord + j)] = static_cast<int32_t>(p);
    }
    if (!fits) continue;

    // Worst case of the second integrator for full-scale input: 2^23 * 256 * sum |h| with h the
    // interpolated integer response (q upsampled by L, convolved with the triangle L - |n|).
    double absSum = 0.0;
    for (int32_t n = 0; n < (ModelTaps + 1) * spacing - 1; ++n) {
      // h(n) = sum over k of q_k * (L - |n - (k L + L - 1)|)+
      int64_t h = 0;
      for (int32_t k = 0; k < ModelTaps; ++k) {
        const int32_t d = std::abs(n - (k * spacing + spacing - 1));
        if (d < spacing) h += q[static_cast<std::size_t>(k)] * (spacing - d);
      }
      absSum += std::abs(static_cast<double>(h));
    }
    if (absSum * std::ldexp(1.0, 31) >= std::ldexp(1.0, 62)) continue;

    r[KernelTapCountWord] = KernelTaps;
    r[KernelSpacingWord] = spacing;
    r[KernelScaleWord] = s;
    r[KernelGainWord] = static_cast<int32_t>(gain);
    return r;
  }
  std::abort();  // no exponent fits: the design is unusable
}

}  // namespace kestrane::kernelgen
