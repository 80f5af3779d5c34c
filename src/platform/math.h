#pragma once
// Power and square root in double precision.

#include <cmath>

namespace platform {

// base raised to exponent. For exponent 2 this is one multiplication: exact
// for every value widened from single precision (48 significant bits fit in a
// double's 53), and never off by the last bit the way a general pow may be.
inline double __vbaPowerR8(double base, double exponent) {
  if (exponent == 2.0) return base * base;
  return std::pow(base, exponent);
}

// Correctly rounded (IEEE 754).
inline double square_root(double value) { return std::sqrt(value); }

}  // namespace platform
