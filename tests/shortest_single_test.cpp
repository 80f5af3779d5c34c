#include "platform/numbers/shortest_single.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>

#include "sweep.h"

namespace {

std::string ours(float value) {
  char text[32];
  return std::string(text, platform::put_single(text, value));
}

std::string standard(float value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

TEST(Display, KnownValues) {
  const struct {
    float value;
    const char* text;
  } cases[] = {
      {0.0f, "0"},          {-0.0f, "-0"},         {0.5f, "0.5"},          {-0.25f, "-0.25"},
      {1.0f, "1"},          {10.0f, "10"},         {1e6f, "1e+06"},        {1234567.0f, "1234567"},
      {0.1f, "0.1"},        {-0.397573f, "-0.397573"}, {1e-6f, "1e-06"},   {1.5e-5f, "1.5e-05"},
      {0.0001f, "1e-04"},  {0.00012f, "0.00012"}, {123456.7f, "123456.7"}, {16777216.0f, "16777216"},
      {999999940.0f, "999999936"}, {1e9f, "1e+09"}, {3.4028235e38f, "3.4028235e+38"},
      {0x1p-149f, "1e-45"}, {std::numeric_limits<float>::infinity(), "inf"},
  };
  for (const auto& c : cases) EXPECT_EQ(ours(c.value), c.text) << c.text;
}

// The same bytes as std::to_chars for every kind of value: random bit
// patterns, and a dense walk through the range where the quick way applies.
TEST(Display, SameAsTheStandardShortestForm) {
  std::mt19937 rng(8);
  for (int i = 0; i < sweep(2000000); ++i) {
    const float f = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
    ASSERT_EQ(ours(f), standard(f)) << std::bit_cast<std::uint32_t>(f);
  }
  const std::uint32_t first = std::bit_cast<std::uint32_t>(1e-7f);
  const std::uint32_t last = std::bit_cast<std::uint32_t>(2e9f);
  for (std::uint32_t bits = first; bits < last; bits += sweep_step(211)) {
    const float f = std::bit_cast<float>(bits);
    ASSERT_EQ(ours(f), standard(f)) << bits;
    ASSERT_EQ(ours(-f), standard(-f)) << bits;
  }
}

// Values as solvers write them, six and seven digits, read as singles.
TEST(Display, SameForSolverValues) {
  std::mt19937_64 rng(9);
  for (int i = 0; i < sweep(1000000); ++i) {
    char text[32];
    const double v = std::ldexp(static_cast<double>(rng() >> 11), -53) * std::pow(10.0, static_cast<int>(rng() % 14) - 6);
    const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, 5 + static_cast<int>(rng() % 2)).ptr;
    float f;
    std::from_chars(text, end, f);
    ASSERT_EQ(ours(f), standard(f)) << std::string(text, end);
  }
}

}  // namespace
