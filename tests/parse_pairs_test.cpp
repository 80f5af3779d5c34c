// Runs of pairs, read every way there is, against the item reader alone:
// the same values, the same damage at the same lines, the reader left at the
// same place, whatever the layout.

#include "platform/numbers/parse_pairs.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "input/ways.h"
#include "platform/files/input_channel.h"
#include "platform/system/cpu.h"
#include "sweep.h"

namespace {

using platform::PairStatus;

struct Step {
  PairStatus status;
  std::uint64_t line;
  std::uint32_t x, y;  // bits, when read
  bool operator==(const Step&) const = default;
};

struct Reading {
  std::vector<Step> steps;
  std::uint64_t offset, line;
  std::string next_line;
  bool operator==(const Reading&) const = default;
};

// Reads `pairs` pairs from `bytes`: with runs read in `way` and the item
// reader between them, or (no way) with the item reader alone.
Reading read(const std::string& bytes, std::size_t pairs, const Way* way, std::size_t most_in_a_run = 256) {
  platform::InputChannel in;
  EXPECT_TRUE(in.open_memory(bytes.data(), bytes.size()).ok());
  Reading r;
  float xs[256], ys[256];
  while (r.steps.size() < pairs) {
    if (way) {
      const std::size_t run = in.read_plain_pairs(xs, ys, std::min(most_in_a_run, pairs - r.steps.size()), way->parse_pairs);
      for (std::size_t i = 0; i < run; ++i) {
        r.steps.push_back({PairStatus::kRead, 0, std::bit_cast<std::uint32_t>(xs[i]), std::bit_cast<std::uint32_t>(ys[i])});
      }
      if (r.steps.size() == pairs) break;
    }
    float x = 0, y = 0;
    const platform::PairRead pair = in.read_pair(x, y);
    const bool read = pair.status == PairStatus::kRead;
    r.steps.push_back({pair.status, read ? 0 : pair.line, read ? std::bit_cast<std::uint32_t>(x) : 0,
                       read ? std::bit_cast<std::uint32_t>(y) : 0});
    if (pair.status == PairStatus::kLineNotData) in.read_line(r.next_line);
    if (pair.status == PairStatus::kEndOfData) break;
  }
  r.offset = in.offset();
  r.line = in.line_number();
  in.read_line(r.next_line);
  return r;
}

// A number as solvers and people write it: mostly plain, and with `odd` now
// and then in a form only the item reader takes, or no number at all.
std::string number(std::mt19937_64& rng, bool odd = true) {
  char text[64];
  const double v = std::ldexp(static_cast<double>(rng() >> 11), -53) * std::pow(10.0, static_cast<int>(rng() % 16) - 8);
  const char* const sign = (rng() % 2) ? "-" : ((rng() % 8) ? "" : "+");
  switch (odd ? rng() % 26 : 11 + rng() % 15) {
    case 0: return std::string(sign) + "1e400";
    case 1: return "inf";
    case 2: return std::string(sign) + "12345678901234567.5";  // more digits than plain
    case 3: return "1.5e0007";                                  // four exponent digits
    case 4: return "x?";                                        // no number
    case 5: return ".";
    case 6: return std::string(sign) + ".5";
    case 7: return "7.";
    case 8: return std::string("1") + '\0' + "2";               // a NUL inside
    case 9: return std::vector<std::string>{"1.2.3", "1..2", "--1", "1e+-5", "e5", "1e", "-."}[rng() % 7];
    case 10: {  // sixteen digits next to the midpoint of two singles, where a double has no units left
      const float low = std::bit_cast<float>(0x5A000000u + static_cast<std::uint32_t>(rng() % 0x100000));
      const double mid = (static_cast<double>(low) + std::nextafter(low, INFINITY)) / 2;
      std::snprintf(text, sizeof text, "%.0f", mid + static_cast<double>(rng() % 5) - 2);
      return text;
    }
    case 11: std::snprintf(text, sizeof text, "%s%.6E", sign, v); return text;
    case 12: std::snprintf(text, sizeof text, "%s%.7fD+01", sign, v); return text;
    case 13: std::snprintf(text, sizeof text, "%s%.15g", sign, v); return text;
    case 14: std::snprintf(text, sizeof text, "%s%.0f", sign, v * 1e8); return text;
    default: std::snprintf(text, sizeof text, (rng() % 8) ? "%s%.6f" : "%s%.6e", sign, v); return text;
  }
}

// Pairs laid out in every way the item reader takes: blanks, tabs, commas,
// every line end, blank lines, pairs over two lines and several on one.
std::string layout(std::mt19937_64& rng, std::size_t pairs, bool odd) {
  const char* const ends[] = {"\n", "\r\n", "\r"};
  const std::string nl = ends[rng() % 3];
  std::string s;
  for (std::size_t i = 0; i < pairs; ++i) {
    const unsigned shape = static_cast<unsigned>(rng() % 12);
    if (shape == 0) s += " \t";
    s += number(rng, odd);
    s += shape == 1 ? nl : shape == 2 ? "," : shape == 3 ? " ,\t" : " ";
    s += number(rng, odd);
    s += shape == 4 ? "  " : "";
    s += shape == 5 ? " " : shape == 6 ? nl + nl : nl;
  }
  return s + "TS 1" + nl + "9 9" + nl;
}

TEST(PlainPairs, EveryWayReadsAsTheItemReaderDoes) {
  std::mt19937_64 rng(20261209);
  for (int round = 0; round < sweep(4000); ++round) {
    const std::size_t pairs = 1 + rng() % 700;
    const std::string bytes = layout(rng, pairs, round % 2 == 1);
    const Reading reference = read(bytes, pairs, nullptr);
    for (const Way* way : kWays) {
      if (!can_take(*way, platform::cpu_has_avx2())) continue;
      const Reading runs = read(bytes, pairs, way, round % 3 ? 256 : 1 + rng() % 8);
      ASSERT_EQ(runs, reference) << "way " << way->name << ", round " << round << "\n"
                                 << bytes.substr(0, 400);
    }
  }
}

}  // namespace
