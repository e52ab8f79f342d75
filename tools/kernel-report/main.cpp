// kestrane-kernel-report: measures every crossover kernel record (all rate groups) as the FIR
// stage realises them, prints one row per record and the worst case per rate group and slope,
// and draws the magnitude responses.
//
//   kestrane-kernel-report [--png DIR] [--rate HZ] [--quiet]
//     --png DIR   write DIR/crossover-<rate>-<slope>db.png (one per rate group and slope)
//     --rate HZ   draw only that rate group
//     --quiet     no per-record rows
// Exit status 1 when a record is outside the limits.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "ResponsePlot.h"
#include "engine/FirStage.h"
#include "engine/FixedPoint.h"
#include "tools/kernelgen/KernelAnalysis.h"

namespace {

using namespace kestrane;
using namespace kestrane::kernelgen;

constexpr double Targets1x[KernelSlopes] = {3.5, 6.0, 6.0, 6.0};
constexpr double Targets2x[KernelSlopes] = {9.0, 17.5, 23.0, 29.0};

// Worst figures of one rate group and slope.
struct Summary {
  double ratioError = 0.0;    // largest |-6 dB point / nominal - 1| (slopes 1..3)
  double at1xError = 0.0;     // largest |attenuation at 1x - target|
  double at2xError = 0.0;     // largest |attenuation at 2x - target|
  double at4xMin = INFINITY;  // smallest attenuation at 4x
  double passBand = 0.0;      // largest pass-band deviation
  double stopWorst = -INFINITY;
  int32_t failures = 0;
};

void printSanityCheck() {
  // The 44.1 kHz, 24 dB/oct, 800 Hz record: an impulse of 0.5 full scale through the stage.
  const int32_t index = kernelRecordIndex(1, 3, 6);
  const KernelRecord& record = crossoverKernels().records[static_cast<std::size_t>(index)];
  auto stage = std::make_unique<FirStage>();
  stage->load(record);
  int32_t peak = 0;
  int32_t peakAt = -1;
  for (int32_t n = 0; n < 54 * stage->spacing; ++n) {
    const int32_t low = stage->step(0, n == 0 ? Q23One / 2 : 0).low;
    stage->advance();
    if (low > peak) {
      peak = low;
      peakAt = n;
    }
  }
  const double implied =
      impliedCentreValue(effectiveImpulseResponse(record), 44100.0) * (Q23One / 2);
  std::printf(
      "\nImpulse of 0.5 through the 44100 Hz, 24 dB/oct, 800 Hz record: peak %d at sample %d "
      "(centre %d);\nthe magnitude response implies %.0f (%+.2f %%); the original set measured "
      "164995.\n",
      peak, peakAt, stage->delay, implied, 100.0 * (peak / implied - 1.0));
}

}  // namespace

int main(int argc, char** argv) {
  std::string pngDir;
  int32_t onlyRate = 0;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) {
      pngDir = argv[++i];
    } else if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
      onlyRate = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--quiet") == 0) {
      quiet = true;
    } else {
      std::fprintf(stderr, "usage: kestrane-kernel-report [--png DIR] [--rate HZ] [--quiet]\n");
      return 2;
    }
  }

  Summary summaries[KernelRateGroups][KernelSlopes];
  if (!quiet) {
    std::printf(
        "rec  rate   dB/oct  nominal   L   s     gain   -6dB/fc   @1x dB  @2x dB  @4x dB  pass dB"
        "  stop dB  limits\n");
  }
  int32_t failures = 0;
  for (int32_t index = 0; index < KernelRecordCount; ++index) {
    const int32_t rate = index / (KernelSlopes * KernelFrequencies);
    const int32_t slope = (index / KernelFrequencies) % KernelSlopes;
    const KernelResponse r = measureKernel(index, true);
    const std::string violations = limitViolations(r, slope);
    Summary& s = summaries[rate][slope];
    if (slope > 0) s.ratioError = std::max(s.ratioError, std::abs(r.sixDbRatio - 1.0));
    s.at1xError = std::max(s.at1xError, std::abs(r.atNominalDb - Targets1x[slope]));
    if (!std::isnan(r.atDoubleDb)) {
      s.at2xError = std::max(s.at2xError, std::abs(r.atDoubleDb - Targets2x[slope]));
    }
    if (!std::isnan(r.atQuadrupleDb)) s.at4xMin = std::min(s.at4xMin, r.atQuadrupleDb);
    s.passBand = std::max(s.passBand, r.passBandDb);
    if (!std::isnan(r.worstStopBandDb)) s.stopWorst = std::max(s.stopWorst, r.worstStopBandDb);
    if (!violations.empty()) {
      ++s.failures;
      ++failures;
    }
    if (!quiet) {
      const KernelRecord& k = crossoverKernels().records[static_cast<std::size_t>(index)];
      std::printf(
          "%3d  %5.0f  %2d     %7.0f  %3d  %2d  %8d  %7.4f  %7.2f  %6.2f  %6.2f  %7.3f  %7.1f  "
          "%s\n",
          index, r.sampleRate, 6 * (slope + 1), r.nominal, k[KernelSpacingWord], k[KernelScaleWord],
          k[KernelGainWord] / 256, r.sixDbRatio, r.atNominalDb, r.atDoubleDb, r.atQuadrupleDb,
          r.passBandDb, r.worstStopBandDb, violations.empty() ? "ok" : violations.c_str());
    }
  }

  std::printf(
      "\nWorst case per rate group and slope (nan: no check point below 0.45 fs)\n"
      " rate  dB/oct  |-6dB/fc-1|  |@1x-target|  |@2x-target|  min @4x  pass band  worst stop  "
      "outside\n");
  for (int32_t rate = 0; rate < KernelRateGroups; ++rate) {
    for (int32_t slope = 0; slope < KernelSlopes; ++slope) {
      const Summary& s = summaries[rate][slope];
      std::printf(
          "%5d  %2d      %8.2f %%   %7.2f dB   %7.2f dB   %6.1f dB  %6.3f dB  %7.1f dB  %d\n",
          KernelGroupRates[static_cast<std::size_t>(rate)], 6 * (slope + 1),
          slope > 0 ? 100.0 * s.ratioError : NAN, s.at1xError, s.at2xError, s.at4xMin, s.passBand,
          s.stopWorst, s.failures);
    }
  }
  std::printf("\n%d of %d records inside the limits.\n", KernelRecordCount - failures,
              KernelRecordCount);
  printSanityCheck();

  if (!pngDir.empty()) {
    for (int32_t rate = 0; rate < KernelRateGroups; ++rate) {
      const int32_t hz = KernelGroupRates[static_cast<std::size_t>(rate)];
      if (onlyRate != 0 && onlyRate != hz) continue;
      for (int32_t slope = 0; slope < KernelSlopes; ++slope) {
        const std::string path = pngDir + "/crossover-" + std::to_string(hz) + "-" +
                                 std::to_string(6 * (slope + 1)) + "db.png";
        if (!drawResponsePlot(rate, slope, path)) {
          std::fprintf(stderr, "kestrane-kernel-report: cannot write %s\n", path.c_str());
          return 1;
        }
      }
    }
  }
  return failures == 0 ? 0 : 1;
}
