#pragma once
// The decimal a single was read from, kept beside it so that the writer can
// print its digits instead of searching for them: w * 10^q, with
// 0 <= w <= 2^24 and -10 <= q <= 10, packed in 32 bits. 0 stands for none
// (the value was read another way, or was never read).

#include <cstdint>

namespace platform {

using Decimal = std::uint32_t;

inline constexpr int kDecimalPowerBias = 16;  // q + 16 in the top bits: never 0

constexpr Decimal decimal(std::uint32_t w, int q) {
  return w | static_cast<std::uint32_t>(q + kDecimalPowerBias) << 25;
}
constexpr std::uint32_t significand_of(Decimal d) { return d & 0x1FFFFFFu; }
constexpr int power_of(Decimal d) { return static_cast<int>(d >> 25) - kDecimalPowerBias; }

}  // namespace platform
