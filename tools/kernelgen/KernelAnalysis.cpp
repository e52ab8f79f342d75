#include "tools/kernelgen/KernelAnalysis.h"

#include <cmath>
#include <complex>
#include <limits>
#include <memory>

#include "engine/FirStage.h"
#include "params/StepTables.h"
#include "tools/kernelgen/KernelDesign.h"

namespace kestrane::kernelgen {
namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double HalfAmplitude = 0.5;  // -6.02 dB

double levelDb(double amplitude) { return 20.0 * std::log10(std::abs(amplitude)); }

}  // namespace

std::vector<double> effectiveImpulseResponse(const KernelRecord& record) {
  auto stage = std::make_unique<FirStage>();
  stage->load(record);
  const int32_t length = (KernelTaps - 1) * stage->spacing - 1;
  // integ2 for a unit input is exact; the stage's output is its top 32 bits times
  // scale / 2^28 times gain / 2^31.
  const double factor = static_cast<double>(stage->scale) * stage->gain * std::ldexp(1.0, -91);
  std::vector<double> h(static_cast<std::size_t>(length));
  for (int32_t n = 0; n < length; ++n) {
    stage->step(0, n == 0 ? 1 : 0);
    stage->advance();
    h[static_cast<std::size_t>(n)] = static_cast<double>(stage->integ2[0]) * factor;
  }
  return h;
}

double amplitudeAt(const std::vector<double>& h, double f, double fs) {
  // Symmetric about the centre c: A = h(c) + 2 sum h(c + k) cos(k w). The cosines come from a
  // rotating phasor, renormalised as it turns, which keeps the error at rounding level.
  const std::size_t c = (h.size() - 1) / 2;
  const double w = 2.0 * Pi * f / fs;
  const std::complex<double> step(std::cos(w), std::sin(w));
  std::complex<double> z = step;
  double sum = h[c];
  for (std::size_t k = 1; k <= c; ++k) {
    sum += 2.0 * h[c + k] * z.real();
    z *= step;
    if ((k & 63) == 0) z /= std::abs(z);
  }
  return sum;
}

double impliedCentreValue(const std::vector<double>& h, double fs) {
  const int32_t points = 8 * static_cast<int32_t>(h.size());
  double sum = 0.0;
  for (int32_t i = 0; i <= points; ++i) {
    const double weight = (i == 0 || i == points) ? 0.5 : 1.0;
    sum += weight * std::abs(amplitudeAt(h, 0.5 * fs * i / points, fs));
  }
  return sum / points;
}

KernelResponse measureKernel(int32_t index, bool scanStopBand) {
  const int32_t rate = index / (KernelSlopes * KernelFrequencies);
  const int32_t frequency = index % KernelFrequencies;
  const std::vector<double> h =
      effectiveImpulseResponse(crossoverKernels().records[static_cast<std::size_t>(index)]);
  KernelResponse r{};
  r.sampleRate = KernelGroupRates[static_cast<std::size_t>(rate)];
  r.nominal = CrossoverFreqSteps[static_cast<std::size_t>(frequency)];
  const double fs = r.sampleRate;
  const double fc = r.nominal;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto at = [&](double f) { return amplitudeAt(h, f, fs); };
  auto attenuation = [&](double f) { return f < 0.45 * fs ? -levelDb(at(f)) : nan; };

  r.dcGain = 0.0;
  for (double v : h) r.dcGain += v;
  r.atNominalDb = attenuation(fc);
  r.atDoubleDb = attenuation(2.0 * fc);
  r.atQuadrupleDb = attenuation(4.0 * fc);

  // First fall below half amplitude: a walk in steps of fc / 256, then bisection.
  r.sixDbRatio = nan;
  const double stepHz = fc / 256.0;
  for (double f = stepHz; f <= 0.5 * fs; f += stepHz) {
    if (at(f) < HalfAmplitude) {
      double lo = f - stepHz;
      double hi = f;
      for (int32_t i = 0; i < 50; ++i) {
        const double mid = 0.5 * (lo + hi);
        (at(mid) < HalfAmplitude ? hi : lo) = mid;
      }
      r.sixDbRatio = 0.5 * (lo + hi) / fc;
      break;
    }
  }

  // The pass band lies below a quarter of the split; a split above half the rate passes
  // everything, so there the whole band up to 0.45 fs counts.
  const double passBandEdge = splitAboveNyquist(fc, fs) ? 0.45 * fs : 0.25 * fc;
  r.passBandDb = 0.0;
  for (int32_t i = 0; i <= 64; ++i) {
    r.passBandDb = std::max(r.passBandDb, std::abs(levelDb(at(passBandEdge * i / 64.0))));
  }

  r.worstStopBandDb = nan;
  if (scanStopBand && 4.0 * fc < 0.5 * fs) {
    // Eight points per lobe of the longest feature (the response's own length).
    const double grid = fs / (8.0 * static_cast<double>(h.size()));
    double worst = -std::numeric_limits<double>::infinity();
    for (double f = 4.0 * fc; f <= 0.5 * fs; f += grid) worst = std::max(worst, levelDb(at(f)));
    r.worstStopBandDb = worst;
  }
  return r;
}

std::string limitViolations(const KernelResponse& r, int32_t slope) {
  constexpr double NominalDb[KernelSlopes] = {3.5, 6.0, 6.0, 6.0};
  constexpr double DoubleDb[KernelSlopes] = {9.0, 17.5, 23.0, 29.0};
  constexpr double QuadrupleDb[KernelSlopes] = {12.0, 27.0, 38.0, 50.0};
  const std::size_t s = static_cast<std::size_t>(slope);
  std::string out;
  auto fail = [&out](const char* what) {
    if (!out.empty()) out += ", ";
    out += what;
  };
  if (!(std::abs(r.dcGain - 1.0) <= 1e-6)) fail("gain at 0 Hz");
  if (splitAboveNyquist(r.nominal, r.sampleRate)) {
    // Nothing to split off: the record must pass the whole band unchanged.
    if (!(r.passBandDb <= 0.01)) fail("pass band");
    return out;
  }
  if (slope > 0 && !(std::abs(r.sixDbRatio - 1.0) <= 0.03)) fail("-6 dB point");
  if (!(std::abs(r.atNominalDb - NominalDb[s]) <= 0.5)) fail("at 1x");
  if (!std::isnan(r.atDoubleDb) && !(std::abs(r.atDoubleDb - DoubleDb[s]) <= 2.0)) fail("at 2x");
  if (!std::isnan(r.atQuadrupleDb) && !(r.atQuadrupleDb >= QuadrupleDb[s])) fail("at 4x");
  if (!(r.passBandDb <= 0.5)) fail("pass band");
  return out;
}

}  // namespace kestrane::kernelgen
