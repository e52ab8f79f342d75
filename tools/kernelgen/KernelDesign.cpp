#include "tools/kernelgen/KernelDesign.h"

#include <Eigen/Dense>
#include <cmath>
#include <cstdlib>
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
    sum += 2.0 * c[static_cast<size_t>(k)] * std::cos(k * theta);
  return sum;
}

// The zero-phase response of the interpolated filter at f Hz.
double realisedResponse(const ModelHalfTaps& c, const DesignTarget& t, double f) {
  const double w = 2.0 * Pi * f / t.sampleRate;
  return modelResponse(c, w * t.spacing) * triangleResponse(w, t.spacing);
}

// Weighted least squares over the model's base band (0 .. fs / 2L), for the shape with
// parameters fc', a, b; unity at 0 Hz is held by a heavily weighted row.
ModelHalfTaps solve(const DesignTarget& t, double cutoff, double a, double b) {
  constexpr int32_t GridPoints = 600;
  const int32_t rows = GridPoints + 1;
  Eigen::MatrixXd m(rows, ModelHalf + 1);
  Eigen::VectorXd rhs(rows);
  const double bandEdge = t.sampleRate / (2.0 * t.spacing);
  for (int32_t i = 0; i < GridPoints; ++i) {
    const double f = bandEdge * (i + 0.5) / GridPoints;
    const double w = 2.0 * Pi * f / t.sampleRate;
    const double d = targetMagnitude(f / cutoff, a, b);
    const double weight = 1.0 / (d + 0.002);
    const double tri = triangleResponse(w, t.spacing);
    m(i, 0) = weight * tri;
    for (int32_t k = 1; k <= ModelHalf; ++k)
      m(i, k) = weight * tri * 2.0 * std::cos(k * w * t.spacing);
    rhs(i) = weight * d;
  }
  constexpr double DcWeight = 1.0e4;
  m(GridPoints, 0) = DcWeight;
  for (int32_t k = 1; k <= ModelHalf; ++k) m(GridPoints, k) = DcWeight * 2.0;
  rhs(GridPoints) = DcWeight;
  const Eigen::VectorXd x = m.colPivHouseholderQr().solve(rhs);
  ModelHalfTaps c{};
  for (int32_t k = 0; k <= ModelHalf; ++k) c[static_cast<size_t>(k)] = x(k);
  const double dc = modelResponse(c, 0.0);
  for (double& v : c) v /= dc;
  return c;
}

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
  t.sampleRate = KernelGroupRates[static_cast<size_t>(rateIndex)];
  t.nominal = CrossoverFreqSteps[static_cast<size_t>(frequency)];
  t.spacing = SpacingTable[static_cast<size_t>(rateIndex)][static_cast<size_t>(frequency)];
  return t;
}

ModelHalfTaps designModel(const DesignTarget& t) {
  const SlopeShape& shape = SlopeShapes[static_cast<size_t>(t.slope)];
  const double b = shape.atNominalDb / (20.0 * std::log10(2.0));
  const double level = std::pow(10.0, -shape.atNominalDb / 20.0);
  const bool doubleCounts = 2.0 * t.nominal < 0.45 * t.sampleRate;
  double cutoff = t.nominal;
  double a = shape.exponent;
  ModelHalfTaps c = solve(t, cutoff, a, b);
  // Move the shape until the realised response meets the nominal level at the nominal frequency
  // and the slope class's attenuation an octave up (where that octave lies in the band).
  for (int32_t pass = 0; pass < 12; ++pass) {
    const double measured =
        crossing(c, t, level, 0.2 * t.nominal, std::min(3.0 * t.nominal, 0.5 * t.sampleRate));
    cutoff *= t.nominal / measured;
    if (doubleCounts) {
      const double err = attenuationDb(c, t, 2.0 * t.nominal) - shape.atDoubleDb;
      a -= err / (20.0 * std::log10(2.0) * b) * 0.8;
      a = std::max(1.2, a);
    }
    c = solve(t, cutoff, a, b);
  }
  return c;
}

KernelRecord quantise(const ModelHalfTaps& model, int32_t spacing) {
  // Full 53-tap model, symmetric about tap 26.
  std::array<double, ModelTaps> full{};
  for (int32_t k = 0; k < ModelTaps; ++k)
    full[static_cast<size_t>(k)] = model[static_cast<size_t>(std::abs(k - ModelHalf))];
  const double l2 = static_cast<double>(spacing) * spacing;

  for (int32_t s = -8; s <= 2; ++s) {
    const double scale = KernelScaleTable[static_cast<size_t>(s + KernelScaleOffset)];
    // Unity at 0 Hz with the converted words: (256 sum q) L^2 scale (256 G) / 2^91 = 1.
    const double aimedGain = 0.75 * 8388608.0;
    const double aimedSum = std::ldexp(1.0, 75) / (l2 * scale * aimedGain);
    std::array<int64_t, ModelTaps> q{};
    int64_t sum = 0;
    for (int32_t k = 0; k < ModelTaps; ++k) {
      q[static_cast<size_t>(k)] = std::llround(full[static_cast<size_t>(k)] * aimedSum);
      sum += q[static_cast<size_t>(k)];
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
        return k >= 0 && k < ModelTaps ? q[static_cast<size_t>(k)] : int64_t{0};
      };
      const int64_t p = at(j) - 2 * at(j - 1) + at(j - 2);
      if (std::llabs(p) > 8388607) fits = false;
      r[static_cast<size_t>(KernelFirstTapWord + j)] = static_cast<int32_t>(p);
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
        if (d < spacing) h += q[static_cast<size_t>(k)] * (spacing - d);
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
