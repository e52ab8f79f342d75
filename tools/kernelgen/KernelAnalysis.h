// Measurement of a crossover kernel record's low-pass response, exactly as the FIR stage
// realises it: the record is loaded into a FirStage, a unit impulse is run through its sparse
// tap sum and double integrator, and the second integrator's exact sums, times the record's
// scale and gain, are the effective impulse response. Used by kestrane-kernel-report and the
// kernel tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CrossoverKernels.h"

namespace kestrane::kernelgen {

// The effective impulse response of a converted record (crossoverKernels().records[i]):
// 54 * L - 1 samples, symmetric about sample 27 * L - 1, unity sum for a unity-gain record.
std::vector<double> effectiveImpulseResponse(const KernelRecord& record);

// The zero-phase amplitude of a symmetric response h at f Hz (sample rate fs).
double amplitudeAt(const std::vector<double>& h, double f, double fs);

// The centre value of the impulse response that the magnitude response implies: the mean of
// |A(f)| over 0..fs / 2 (for a linear-phase response the centre sample is the mean of its
// zero-phase amplitude).
double impliedCentreValue(const std::vector<double>& h, double fs);

struct KernelResponse {
  double sampleRate;       // Hz, the record's rate group
  double nominal;          // Hz, the split frequency the record stands for
  double dcGain;           // sum of the effective response
  double sixDbRatio;       // first -6.02 dB frequency / nominal
  double atNominalDb;      // attenuation at the nominal frequency, dB (positive = down)
  double atDoubleDb;       // at twice the nominal frequency; NaN when at or above 0.45 fs
  double atQuadrupleDb;    // at four times; NaN when at or above 0.45 fs
  double passBandDb;       // largest |level| below a quarter of the nominal frequency (below
                           // 0.45 fs for a split at or above fs / 2), dB
  double worstStopBandDb;  // highest level above four times nominal up to fs / 2, dB; NaN if none
};

// Measures record `index` of the converted set. The stop-band scan is the slow part; leave it
// out (worstStopBandDb = NaN) when only the figures at the check points are wanted.
KernelResponse measureKernel(int32_t index, bool scanStopBand);

// The limits every record must meet, by slope class: -6.02 dB point within 3 % of nominal
// (slopes 1..3), attenuation at nominal 3.5 (slope 0) or 6.0 dB within 0.5 dB, at twice nominal
// 9, 17.5, 23, 29 dB within 2 dB, at four times at least 12, 27, 38, 50 dB (points below
// 0.45 fs only), pass band below nominal / 4 within 0.5 dB, unity at 0 Hz within 1e-6. A
// split at or above fs / 2 must instead pass everything up to 0.45 fs within 0.01 dB.
// Returns an empty string when the record is inside them, otherwise what is outside.
std::string limitViolations(const KernelResponse& response, int32_t slope);

}  // namespace kestrane::kernelgen
