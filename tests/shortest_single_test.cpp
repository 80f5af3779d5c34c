#include "platform/numbers/shortest_single.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

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

// Printed from the decimal it was read from, w * 10^q: the same bytes, for
// every w and q the quick reading keeps (w up to 2^24, q up to 10 either
// way) under KASOR_EXHAUSTIVE, otherwise a stride through them; and always
// those next to a power of ten or 2^24, where the count of digits changes.
TEST(Display, SameFromTheDecimalItWasReadFrom) {
  auto same = [](std::uint32_t w, int q, bool negative) {
    // Both factors are exact singles, so one operation rounds correctly.
    const float power = static_cast<float>(std::pow(10.0, q < 0 ? -q : q));
    float f = q < 0 ? static_cast<float>(w) / power : static_cast<float>(w) * power;
    if (negative) f = -f;
    char text[32];
    return std::string(text, platform::put_single(text, f, platform::decimal(w, q))) == standard(f);
  };
  std::vector<std::uint32_t> edges{(1u << 24) - 1, 1u << 24};
  for (std::uint32_t p = 1; p <= 10000000; p *= 10) {
    for (std::uint32_t w = p > 3 ? p - 3 : 1; w <= p + 3; ++w) edges.push_back(w);
  }
  const std::uint32_t stride = KASOR_EXHAUSTIVE ? 1 : 1009;
  std::vector<std::string> failures(21);
  std::vector<std::thread> threads;
  for (int q = -10; q <= 10; ++q) {
    threads.emplace_back([&, q] {
      std::string& failure = failures[static_cast<std::size_t>(q + 10)];
      for (std::uint32_t w = 0; w <= (1u << 24) && failure.empty(); w += stride) {
        if (!same(w, q, w % 7 == 0)) failure = std::to_string(w);
      }
      for (std::uint32_t w : edges) {
        if (failure.empty() && (!same(w, q, false) || !same(w, q, true))) failure = std::to_string(w);
      }
    });
    if (threads.size() == std::max(2u, std::thread::hardware_concurrency())) {
      for (std::thread& t : threads) t.join();
      threads.clear();
    }
  }
  for (std::thread& t : threads) t.join();
  for (int q = -10; q <= 10; ++q) EXPECT_EQ(failures[static_cast<std::size_t>(q + 10)], "") << "e" << q;
}

}  // namespace
