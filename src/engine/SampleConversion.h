// Conversion between the host's float samples and the engine's Q23 integers (audio thread).
#pragma once

#include <cstdint>

namespace kestrane {

// Host float -> Q23: x * 2^23 rounded to nearest, ties to even. The rounding is done here in
// integer steps instead of by the floating-point unit's rounding mode, so it is the same on
// every build whatever mode a host leaves set. A sample that does not fit (|x| >= 256.0)
// saturates to the int32 range; NaN and infinities carry no signal and read as 0.
inline int32_t floatToQ23(float x) noexcept {
  if (!(x > -256.0f)) return x <= -256.0f && x >= -3.4028235e38f ? INT32_MIN : 0;
  if (!(x < 256.0f)) return x <= 3.4028235e38f ? INT32_MAX : 0;
  const double y = static_cast<double>(x) * 8388608.0;  // exact: a power-of-two scale
  int32_t n = static_cast<int32_t>(y);                   // toward zero, |y| < 2^31
  const double rest = y - n;                             // exact, -1 < rest < 1
  if (rest > 0.5 || (rest == 0.5 && (n & 1) != 0)) {
    ++n;
  } else if (rest < -0.5 || (rest == -0.5 && (n & 1) != 0)) {
    --n;
  }
  return n;
}

// Q23 -> host float: n / 2^23, rounded once to single precision.
inline float q23ToFloat(int32_t n) noexcept {
  return static_cast<float>(static_cast<double>(n) * (1.0 / 8388608.0));
}

}  // namespace kestrane
