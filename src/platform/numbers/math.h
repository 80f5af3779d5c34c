#pragma once
// Power and square root, and where a double stands between two singles.

#include <bit>
#include <cmath>
#include <cstdint>

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

// Half a single's step, in the last bits of a double in the normal single
// range: a single has 29 bits fewer after its point than a double.
inline constexpr std::uint64_t kHalfSingleStep = std::uint64_t{1} << 28;

// True when `d` lies exactly halfway between two singles: rounding it to
// single is then a tie, which the exact value behind `d` may not be.
inline bool halfway_between_singles(double d) {
  return (std::bit_cast<std::uint64_t>(d) & (2 * kHalfSingleStep - 1)) == kHalfSingleStep;
}

// True when `d` lies within `steps` units of a double's last place of a point
// halfway between two singles.
inline bool near_halfway_between_singles(double d, std::uint64_t steps) {
  const std::uint64_t below = std::bit_cast<std::uint64_t>(d) & (2 * kHalfSingleStep - 1);
  return below - (kHalfSingleStep - steps) <= 2 * steps;
}

}  // namespace platform
