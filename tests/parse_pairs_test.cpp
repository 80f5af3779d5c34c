// Runs of pairs, read every way there is, against the item reader alone:
// the same values, the same damage at the same lines, the reader left at the
// same place, whatever the layout.

#include "input/ways.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/files/input_channel.h"
#include "platform/system/cpu.h"
#include "sweep.h"

namespace {

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
  std::string wrong_decimal;  // the first value whose decimal kept does not read as it
  bool operator==(const Reading&) const = default;
};

// Whether `read_from` (0: none) reads back as exactly `value`.
bool reads_as(float value, platform::Decimal read_from) {
  if (read_from == 0) return true;
  const std::string text = (std::signbit(value) ? "-" : "") + std::to_string(platform::significand_of(read_from)) +
                           "e" + std::to_string(platform::power_of(read_from));
  float f = 0;
  std::from_chars(text.data(), text.data() + text.size(), f);
  return std::bit_cast<std::uint32_t>(f) == std::bit_cast<std::uint32_t>(value);
}

// Reads `pairs` pairs from `bytes`: with runs read in `way` and the item
// reader between them, or (no way) with the item reader alone.
Reading read(const std::string& bytes, std::size_t pairs, const Way* way, std::size_t most_in_a_run = 256) {
  platform::InputChannel in;
  EXPECT_TRUE(in.open_memory(bytes.data(), bytes.size()).ok());
  Reading r;
  float xy[2 * 256 + 8];
  platform::Decimal read[2 * 256 + 8];
  while (r.steps.size() < pairs) {
    if (way) {
      const std::size_t run = read_plain_pairs(in, {xy, read}, std::min(most_in_a_run, pairs - r.steps.size()), way->parse_pairs);
      for (std::size_t i = 0; i < 2 * run; ++i) {
        if (i % 2 == 0) {
          r.steps.push_back({PairStatus::kRead, 0, std::bit_cast<std::uint32_t>(xy[i]), std::bit_cast<std::uint32_t>(xy[i + 1])});
        }
        if (r.wrong_decimal.empty() && !reads_as(xy[i], read[i])) r.wrong_decimal = std::to_string(read[i]);
      }
      if (r.steps.size() == pairs) break;
    }
    float x = 0, y = 0;
    const PairRead pair = read_pair(in, x, y);
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

// Items at the edges of the form read eight at a time, each in every lane of
// a group of eight and after every count of bytes before it, among plain
// numbers: read as the item reader reads them, decimals and all.
TEST(PlainPairs, ItemsAtTheEdgesOfTheQuickFormInEveryLane) {
  const char* const items[] = {
      // eight and nine digits; a point in every place, and alone
      "12345678", "123456789", "-12345678", "-123456789", ".1234567", "1.234567", "1234567.", "12.34567",
      "1234.567", "123456.7", "1.2345678", ".", "-.", "-.5", ".5", "5.",
      // significands about 2^24
      "16777216", "16777217", "-16777216", "1677721.6", "1677721.7", "16777216e-10", "16777217e-10",
      // powers of ten about 10
      "1e+10", "1e+11", "1e-10", "1e-11", "5.e-10", "0.0000000001", "0.00000000001", "1234567e+03", "1234567e-04",
      "9.999999e+09", "9999999e-17",
      // exponent forms: only e or E, a sign and two digits are read in the group
      "1.5e+05", "1.5E-05", "1.5e5", "1.5e+5", "1.5E05", "1.5e-005", "1.5d+05", "1.5D-05", "1e+00", "-0e-00",
      // no numbers, or signs in the wrong place
      "1-2", "1.2-3", "--1", "+1", "+1.5e+05", "1.2.3", "1..2", "1.5e+1x", "1.5e+0:", "2e-0/", "1.5x+05", "1.5ee+10", "1.5e+-1", "e+10", "-",
      "1e", "1e+", "x1", "-0", "0.000000", "-0.000000"};
  for (const char* item : items) {
    for (int before = 0; before < 16; ++before) {
      std::string text;
      for (int k = 0; k < before; ++k) text += (k % 3 ? "0.25 " : "-7.5\n");
      text += item;
      text += (before % 2) ? "\n" : " ";
      for (int k = before + 1; k < 40; ++k) text += (k % 2 ? "1.5\n" : "-2 ");
      if (text.back() != '\n') text += "3\n";
      text += "TS 1\n";
      const std::size_t pairs = 20;
      const Reading reference = read(text, pairs, nullptr);
      for (const Way* way : kWays) {
        if (!can_take(*way, platform::cpu_has_avx2())) continue;
        ASSERT_EQ(read(text, pairs, way), reference) << way->name << ": " << item << " after " << before << " items";
      }
    }
  }
}

}  // namespace
