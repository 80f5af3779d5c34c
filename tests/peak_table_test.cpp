#include "peak/peak_table.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "input/ways.h"
#include "platform/system/cpu.h"

namespace {

float magnitude_of(float x, float y) { return static_cast<float>(std::sqrt(sum_of_squares(x, y))); }

class PeakTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(create_peak_table(table)); }
  void TearDown() override { release_peak_table(table); }
  // The stored peak, bit for bit (so -0 and 0 differ).
  std::pair<std::uint32_t, std::uint32_t> bits(std::int32_t node) {
    float x = 99, y = 99;
    platform::Decimal x_read, y_read;
    EXPECT_TRUE(peak(table, node, x, y, x_read, y_read));
    return {std::bit_cast<std::uint32_t>(x), std::bit_cast<std::uint32_t>(y)};
  }
  static std::pair<std::uint32_t, std::uint32_t> bits_of(float x, float y) {
    return {std::bit_cast<std::uint32_t>(x), std::bit_cast<std::uint32_t>(y)};
  }
  PeakTable table;
};

// Kept beyond the single range, a pair keeps its decimals (tags here).
TEST_F(PeakTableTest, BeyondTheSingleRangeTheKeptPairKeepsItsDecimals) {
  offer(table, 7, 3e38f, 3e38f, 11, 12);
  offer(table, 7, 3.4e38f, 3.4e38f, 21, 22);
  EXPECT_EQ(table.x_read[7], 21u);
  EXPECT_EQ(table.y_read[7], 22u);
}

TEST_F(PeakTableTest, StartsAllZero) {
  for (std::int32_t node : {1, 2, 1000, kNodeCapacity}) EXPECT_EQ(bits(node), bits_of(0, 0));
}

struct Sequence {
  const char* name;
  std::vector<std::pair<float, float>> offers;
  float x, y;
};

TEST_F(PeakTableTest, KeepsTheFirstOfTheLargest) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Sequence cases[] = {
      {"equal magnitude keeps the first", {{3, 4}, {-4, 3}, {0, 5}, {5, 0}}, 3, 4},
      {"strictly greater replaces", {{0.5f, 0}, {0, -0.6f}}, 0, -0.6f},
      {"smaller does not replace", {{0, -2}, {0.5f, 0.5f}}, 0, -2},
      {"all zero stays zero", {{0, 0}, {0, 0}, {-0.0f, -0.0f}}, 0, 0},
      {"signs are kept", {{-1, -2}, {1, 1}}, -1, -2},
      {"negative zero is kept", {{-0.0f, 7}, {7, 0}}, -0.0f, 7},
      {"NaN never becomes the peak", {{nan, 1}, {1, 1}, {nan, nan}}, 1, 1},
      {"infinity beats any finite value", {{3e38f, 0}, {inf, 0}, {3e38f, 3e38f}}, inf, 0},
      {"beyond the single range the larger wins", {{3e38f, 3e38f}, {3.4e38f, 3.4e38f}}, 3.4e38f, 3.4e38f},
      {"beyond the single range equal keeps the first", {{3e38f, 3e38f}, {-3e38f, 3e38f}}, 3e38f, 3e38f},
      {"subnormal components count", {{1e-45f, 0}, {0, 0}}, 1e-45f, 0},
  };
  std::int32_t node = 1;
  for (const Sequence& c : cases) {
    for (auto [x, y] : c.offers) offer(table, node, x, y);
    EXPECT_EQ(bits(node), bits_of(c.x, c.y)) << c.name;
    ++node;
  }
}

// Magnitudes worked out exactly, independently of this code (rational
// arithmetic: the exact sum of squares rounded once to double, its correctly
// rounded root, rounded once to single). For the first six, the same sum done in
// single precision gives a neighbouring value instead.
TEST_F(PeakTableTest, MagnitudeRoundsAsTheRuleSays) {
  struct Case {
    float x, y, magnitude;
  };
  const Case cases[] = {
      {0x1.cad6f2p+2f, -0x1.0d4cd4p+2f, 0x1.0a03e4p+3f},
      {0x1.78ce44p+2f, 0x1.fd6cfep+1f, 0x1.c6d1eap+2f},
      {0x1.52a694p+2f, 0x1.75e49p+0f, 0x1.5f5062p+2f},
      {-0x1.172b34p+1f, 0x1.db6b8ep+2f, 0x1.ef7cdcp+2f},
      {0x1.df607ap+2f, 0x1.7d471p+2f, 0x1.3241fp+3f},
      {-0x1.2fadfp+3f, 0x1.df253cp+2f, 0x1.82cd7ap+3f},
      {0x1p-149f, 0x1p-149f, 0x1p-149f},
      {0x1.46abccp-126f, 0x1.b38fbap-126f, 0x1.1039d4p-125f},
      {0x1.fffffep+127f, 0.0f, 0x1.fffffep+127f},
      {0x1.c363ccp+127f, 0x1.c363ccp+127f, std::numeric_limits<float>::infinity()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(magnitude_of(c.x, c.y), c.magnitude) << c.x << ", " << c.y;
  }
}

// Offer skips the root where it cannot matter; on pairs whose magnitudes lie
// one rounding apart it must still decide as the rule does.
TEST_F(PeakTableTest, OfferAgreesWithTheRuleOnNearTies) {
  std::mt19937 rng(77);
  std::uniform_real_distribution<float> component(-5, 5);
  for (std::int32_t node = 1; node <= 20000; ++node) {
    float best_m = 0, best_x = 0, best_y = 0;
    const float x0 = component(rng), y0 = component(rng);
    for (int step = 0; step < 12; ++step) {
      float x = x0, y = y0;
      for (int k = static_cast<int>(rng() % 4); k > 0; --k) x = std::nextafter(x, (rng() & 1) ? 10.0f : -10.0f);
      for (int k = static_cast<int>(rng() % 4); k > 0; --k) y = std::nextafter(y, (rng() & 1) ? 10.0f : -10.0f);
      if (rng() & 1) std::swap(x, y);
      offer(table, node, x, y);
      const float m = magnitude_of(x, y);
      if (m > best_m) {
        best_m = m;
        best_x = x;
        best_y = y;
      }
    }
    ASSERT_EQ(bits(node), bits_of(best_x, best_y)) << node;
    ASSERT_EQ(table.magnitude[node], best_m) << node;
  }
}

TEST_F(PeakTableTest, TracksNodesOnlyWithinCapacity) {
  offer(table, kNodeCapacity, 1, 2);
  offer(table, kNodeCapacity + 1, 5, 6);
  offer(table, 0, 5, 6);
  offer(table, -1, 5, 6);
  offer(table, std::numeric_limits<std::int32_t>::min(), 5, 6);
  EXPECT_EQ(bits(kNodeCapacity), bits_of(1, 2));
  EXPECT_EQ(bits(1), bits_of(0, 0));

  float x = 42, y = 43;
  platform::Decimal x_read = 0, y_read = 0;
  for (std::int32_t node : {0, kNodeCapacity + 1, -5}) {
    EXPECT_FALSE(peak(table, node, x, y, x_read, y_read));
    EXPECT_EQ(x, 42);
    EXPECT_EQ(y, 43);
  }
}

// Runs offered four nodes at a time give what offering pair after pair gives,
// ties, NaN, infinities and magnitudes beyond the single range among them,
// and keep the decimals of the pairs they keep.
TEST_F(PeakTableTest, RunsAgreeWithOfferEveryWay) {
  PeakTable reference;
  ASSERT_TRUE(create_peak_table(reference));
  const float inf = std::numeric_limits<float>::infinity();
  const float specials[] = {0.0f, -0.0f, 3, 4, -4, 5, inf, -inf, std::numeric_limits<float>::quiet_NaN(), 3e38f, 3.4e38f, 1e-45f};
  std::mt19937 rng(44);
  std::vector<float> xy(2000);  // up to 1000 nodes a run
  std::vector<platform::Decimal> read(2000);  // tags, to tell which pair was kept
  for (const Way* way : kWays) {
    if (!can_take(*way, platform::cpu_has_avx2())) continue;
    for (int round = 0; round < 200; ++round) {
      // Half the rounds offer pairs of magnitude 5 to nodes from 1 on, the
      // smaller component a step off now and then, so that their peaks are
      // tied and nearly tied again and again; the other half offer special
      // values, one or two in a pair, to nodes from 2001 on.
      const bool ties = round % 2 == 0;
      const std::pair<float, float> fives[] = {{3, 4}, {4, -3}, {5, 0}, {0, -5}, {-3, 4}};
      for (std::size_t i = 0; i < xy.size() / 2; ++i) {
        auto [x, y] = fives[rng() % std::size(fives)];
        if (ties) {
          float& smaller = std::fabs(x) < std::fabs(y) ? x : y;
          if (rng() % 2) smaller = std::nextafter(smaller, smaller < 0 ? -inf : inf);
        } else {
          const unsigned kind = rng() % 3;
          if (kind != 1) x = specials[rng() % std::size(specials)];
          if (kind != 0) y = specials[rng() % std::size(specials)];
        }
        xy[2 * i] = x;
        xy[2 * i + 1] = y;
        read[2 * i] = static_cast<platform::Decimal>(rng());
        read[2 * i + 1] = static_cast<platform::Decimal>(rng());
      }
      const auto first = static_cast<std::int32_t>((ties ? 1 : 2001) + rng() % 3);
      const std::size_t count = 1 + rng() % (xy.size() / 2);
      way->offer_run(table, first, {xy.data(), read.data()}, count);
      for (std::size_t i = 0; i < count; ++i) {
        offer(reference, first + static_cast<std::int32_t>(i), xy[2 * i], xy[2 * i + 1], read[2 * i], read[2 * i + 1]);
      }
    }
    for (std::int32_t node = 1; node <= 3003; ++node) {
      ASSERT_EQ(bits(node), bits_of(reference.x[node], reference.y[node])) << node;
      ASSERT_EQ(std::bit_cast<std::uint32_t>(table.magnitude[node]), std::bit_cast<std::uint32_t>(reference.magnitude[node]));
      ASSERT_EQ(table.x_read[node], reference.x_read[node]) << node;
      ASSERT_EQ(table.y_read[node], reference.y_read[node]) << node;
    }
  }
  release_peak_table(reference);
}

}  // namespace

