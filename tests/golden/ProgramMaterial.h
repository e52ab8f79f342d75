// Deterministic test signals: white noise, sines and a few seconds of program-like material
// (noise bursts, tones, drum-like hits, level steps, near-silence and silence).
//
// Every sample is computed with +, -, * and / on doubles and integer arithmetic only, never a
// library sine or exponential, so the signal is bit-identical on every build (native, win64 and
// the 32-bit build with SSE2 arithmetic).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kestrane::test {

// White noise (xorshift32).
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed ? seed : 1u) {}
  uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // Uniform in [-amplitude, amplitude).
  float sample(float amplitude) {
    return amplitude * static_cast<float>(static_cast<int32_t>(next()) * (1.0 / 2147483648.0));
  }

 private:
  uint32_t state_;
};

// A sine by rotation; the step's sine and cosine come from their Taylor series.
class Oscillator {
 public:
  Oscillator(double frequency, double rate) {
    const double w = 2.0 * 3.14159265358979323846 * frequency / rate;
    double sinTerm = w, cosTerm = 1.0;
    for (int k = 0; k < 15; ++k) {
      sinW_ += sinTerm;
      cosW_ += cosTerm;
      sinTerm *= -w * w / ((2 * k + 2) * (2 * k + 3));
      cosTerm *= -w * w / ((2 * k + 1) * (2 * k + 2));
    }
  }
  double next() {
    const double s = s_;
    s_ = s * cosW_ + c_ * sinW_;
    c_ = c_ * cosW_ - s * sinW_;
    return s;
  }

 private:
  double sinW_ = 0.0, cosW_ = 0.0;
  double s_ = 0.0, c_ = 1.0;
};

struct StereoSignal {
  std::vector<float> left, right;
  std::size_t frames() const { return left.size(); }
};

// About `seconds` of program material at `rate` Hz, in six sections: noise bursts, a bass and
// mid tone pair, silence, drum-like hits, a chord stepping up in level, near-silent noise.
inline StereoSignal programMaterial(double rate, double seconds) {
  const std::size_t n = static_cast<std::size_t>(rate * seconds);
  StereoSignal out{std::vector<float>(n, 0.0f), std::vector<float>(n, 0.0f)};
  Noise noise(0x5eed);
  Oscillator bass(55.0, rate), mid(1000.0, rate), kick(50.0, rate);
  Oscillator chord[3] = {{220.0, rate}, {277.18, rate}, {329.63, rate}};
  const std::size_t burst = static_cast<std::size_t>(rate * 0.05);
  const std::size_t beat = static_cast<std::size_t>(rate * 0.125);
  double hitEnvelope = 0.0;
  const double hitDecay = 1.0 - 30.0 / rate;

  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);  // 0..1 over the signal
    double l = 0.0, r = 0.0;
    if (t < 0.17) {
      // Noise bursts, 50 ms on and off, louder on the left.
      const bool on = (i / burst) % 2 == 0;
      l = on ? noise.sample(0.9f) : 0.0;
      r = on ? noise.sample(0.6f) : 0.0;
    } else if (t < 0.34) {
      const double b = bass.next(), m = mid.next();
      l = 0.5 * b + 0.25 * m;
      r = 0.5 * b - 0.25 * m;
    } else if (t < 0.43) {
      // silence
    } else if (t < 0.67) {
      // A hit every 125 ms: a decaying low thump with a noise snap on every other one.
      if (i % beat == 0) hitEnvelope = 1.0;
      hitEnvelope *= hitDecay;
      const double snap = ((i / beat) % 2 == 1) ? noise.sample(0.7f) * hitEnvelope : 0.0;
      const double thump = kick.next() * hitEnvelope;
      l = 0.8 * thump + snap;
      r = 0.8 * thump + 0.8 * snap;
    } else if (t < 0.87) {
      // A chord in three level steps: -30, -12 and 0 dB.
      const double gain = t < 0.74 ? 0.0316 : (t < 0.8 ? 0.25 : 1.0);
      const double c = (chord[0].next() + chord[1].next() + chord[2].next()) / 3.0;
      l = gain * c;
      r = -gain * c;
    } else if (t < 0.95) {
      l = noise.sample(0.002f);  // about -54 dB
      r = noise.sample(0.002f);
    }
    out.left[i] = static_cast<float>(l);
    out.right[i] = static_cast<float>(r);
  }
  return out;
}

// FNV-1a, 64 bits, over bytes.
class Fnv1a64 {
 public:
  void add(const void* data, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (std::size_t k = 0; k < size; ++k) {
      hash_ ^= p[k];
      hash_ *= 1099511628211ull;
    }
  }
  // A float by its bit pattern, least significant byte first (the same on every build).
  void addFloat(float v) {
    uint32_t bits;
    static_assert(sizeof bits == sizeof v);
    std::memcpy(&bits, &v, sizeof bits);
    for (int k = 0; k < 4; ++k) {
      const unsigned char byte = static_cast<unsigned char>(bits >> (8 * k));
      add(&byte, 1);
    }
  }
  uint64_t value() const { return hash_; }

 private:
  uint64_t hash_ = 14695981039346656037ull;
};

}  // namespace kestrane::test
