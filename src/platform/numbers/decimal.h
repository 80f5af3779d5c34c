#pragma once
// The decimal a single was read from, kept beside it so that the writer can
// print its digits instead of searching for them: w * 10^q, with
// 0 <= w <= 2^24 and -10 <= q <= 10, packed in 32 bits. 0 stands for none
// (the value was read another way, or was never read).

#include <cstdint>

namespace platform {

using Decimal = std::uint32_t;

// The decimals that one IEEE operation turns into the correctly rounded
// single (Clinger's fast path): a significand and a power of ten that are
// both exact singles. Every significand up to 2^24 is; 10^10 = 2^10 * 5^10
// is, 5^10 being below 2^24, and 10^11 is not.
inline constexpr std::uint32_t kMostExactSignificand = std::uint32_t{1} << 24;
inline constexpr int kMostExactPower = 10;

// The significand in the low bits (2^24 needs 25), q + 16 above them: never 0.
inline constexpr int kDecimalPowerShift = 25;
inline constexpr int kDecimalPowerBias = 16;

constexpr Decimal decimal(std::uint32_t w, int q) {
  return w | static_cast<std::uint32_t>(q + kDecimalPowerBias) << kDecimalPowerShift;
}
constexpr std::uint32_t significand_of(Decimal d) { return d & ((Decimal{1} << kDecimalPowerShift) - 1); }
constexpr int power_of(Decimal d) { return static_cast<int>(d >> kDecimalPowerShift) - kDecimalPowerBias; }

}  // namespace platform
