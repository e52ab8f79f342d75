#include "Demo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kestrane::cli {
namespace {

constexpr double kPi = 3.14159265358979323846;

// White noise in [-1, 1) from a linear congruential generator (the same on every machine).
class Noise {
 public:
  double next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int32_t>(state_) / 2147483648.0;
  }

 private:
  uint32_t state_ = 12345;
};

// One-pole low-pass: y += a (x - y), a = 1 - e^(-2 pi f / rate).
class LowPass {
 public:
  LowPass(double frequency, double rate) : a_(1.0 - std::exp(-2.0 * kPi * frequency / rate)) {}
  double next(double x) { return y_ += a_ * (x - y_); }

 private:
  double a_, y_ = 0.0;
};

// A tone of a few harmonics with amplitudes 1/k^tilt: tilt 1 is saw-like, 2 mellower.
double harmonics(double phase, int count, double tilt) {
  double sum = 0.0;
  for (int k = 1; k <= count; ++k) sum += std::sin(2.0 * kPi * k * phase) / std::pow(k, tilt);
  return sum;
}

}  // namespace

DemoAudio makeDemo() {
  DemoAudio demo;
  demo.rate = 44100;
  const double rate = demo.rate;
  const int frames = 12 * demo.rate;
  const double beat = 0.5;  // 120 beats per minute; a bar of four beats is two seconds
  // Am, F, C, G: the bass roots, the chords (in the low mids) and the lead's notes (high mids,
  // one per eighth note).
  const double bassNotes[4] = {55.0, 43.65, 65.41, 49.0};
  const double chords[4][3] = {
      {440.0, 523.25, 659.26},
      {349.23, 440.0, 523.25},
      {392.0, 523.25, 659.26},
      {392.0, 493.88, 587.33},
  };
  const double lead[8] = {880.0, 1046.5, 1318.5, 1174.7, 1046.5, 880.0, 987.77, 1174.7};

  std::vector<double> left(frames), right(frames);
  Noise noise;
  // Snare: noise band-limited to its crack (about 1 to 4 kHz). Hats and cymbal: noise above
  // about 5 kHz (white noise less its low-passed self).
  LowPass snareLow(4000.0, rate), snareHigh(1000.0, rate), hatLow(5000.0, rate);
  for (int i = 0; i < frames; ++i) {
    const double t = i / rate;
    const int bar = static_cast<int>(t / (4 * beat));
    const int chord = bar % 4;
    const double inBeat = std::fmod(t, beat);
    const double inEighth = std::fmod(t, beat / 2);
    const double inSixteenth = std::fmod(t, beat / 4);
    const int beatIndex = static_cast<int>(t / beat) % 4;
    const int eighth = static_cast<int>(t / (beat / 2)) % 8;
    const bool intro = bar == 0;  // the first bar: chords and hats only, quietly
    const double fade = t > 11.0 ? 12.0 - t : 1.0;  // the last second fades out

    const double white = noise.next();
    const double snareNoise = snareLow.next(white) - snareHigh.next(white);
    const double airy = white - hatLow.next(white);

    // Kick on every beat: a sine falling from about 150 to 45 Hz, decaying.
    const double kickPhase = 45.0 * inBeat + 3.5 * (1.0 - std::exp(-inBeat * 30.0));
    const double kick = intro ? 0.0 : std::sin(2.0 * kPi * kickPhase) * std::exp(-inBeat * 7.0);
    // Bass: the chord's root on every eighth, saw-like, plucked.
    const double bass = intro ? 0.0 : harmonics(t * bassNotes[chord], 5, 1.0) *
                                          std::exp(-inEighth * 4.0);
    // Chords: struck on every beat, with a quicker second harmonic, like a piano.
    double piano = 0.0;
    for (double f : chords[chord]) {
      piano += std::sin(2.0 * kPi * f * t) +
               0.3 * std::sin(4.0 * kPi * f * t) * std::exp(-inBeat * 8.0);
    }
    piano *= std::exp(-inBeat * 3.0);
    // Snare on beats two and four: the crack and a 190 Hz body.
    double snare = 0.0;
    if (!intro && beatIndex % 2 == 1) {
      snare = (3.0 * snareNoise + 0.3 * std::sin(2.0 * kPi * 190.0 * inBeat)) *
              std::exp(-inBeat * 16.0);
    }
    // Lead: one note per eighth, four harmonics falling off as 1/k^1.6, from the third bar on.
    const double leadTone = bar >= 2 ? harmonics(t * lead[eighth], 4, 1.6) *
                                           (0.3 + 0.7 * std::exp(-inEighth * 6.0))
                                     : 0.0;
    // Hats on every sixteenth, the off-beats accented; a cymbal struck at 8 s, ringing on.
    const double accent = static_cast<int>(t / (beat / 4)) % 2 == 1 ? 1.0 : 0.5;
    const double hat = airy * accent * std::exp(-inSixteenth * 70.0);
    const double cymbalAge = bar >= 4 ? t - 8.0 : 1e9;
    const double cymbal = airy * std::exp(-cymbalAge * 1.5);

    const double level = intro ? 0.5 : 1.0;
    left[i] = fade * level *
              (0.9 * kick + 0.5 * bass + 0.25 * piano + 0.6 * snare + 0.22 * leadTone +
               1.7 * hat + 0.9 * cymbal);
    right[i] = fade * level *
               (0.9 * kick + 0.5 * bass + 0.2 * piano + 0.65 * snare + 0.17 * leadTone +
                1.4 * hat + 1.0 * cymbal);
  }

  // Peaks at -1 dBFS.
  double peak = 0.0;
  for (int i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
  const double scale = peak > 0.0 ? 0.8912509381337456 / peak : 1.0;
  demo.samples.resize(2 * static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    demo.samples[2 * static_cast<std::size_t>(i)] = static_cast<float>(scale * left[i]);
    demo.samples[2 * static_cast<std::size_t>(i) + 1] = static_cast<float>(scale * right[i]);
  }
  return demo;
}

}  // namespace kestrane::cli
