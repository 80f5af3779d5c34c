#include "platform/numbers/parse_single.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "sweep.h"

namespace {

using platform::Scan;

struct Scanned {
  Scan scan;
  float value;
  std::size_t length;  // of the item
};

// Scans the whole of `text` as the data of a file that ends there.
Scanned scan(const std::string& text) {
  std::string scratch;
  float value = -12345.0f;
  const char* end = nullptr;
  const Scan s = platform::scan_single(text.c_str(), text.c_str() + text.size(), true, value, end, scratch);
  return {s, value, end ? static_cast<std::size_t>(end - text.c_str()) : 0};
}

// The independent judge: the C library's correctly rounded conversion, fed the
// same number with the exponent letter it knows.
float reference(std::string text) {
  for (char& c : text) {
    if (c == 'd' || c == 'D') c = 'e';
  }
  return std::strtof(text.c_str(), nullptr);
}

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

void expect_number(const std::string& text, float expected) {
  const Scanned s = scan(text);
  ASSERT_EQ(s.scan, Scan::kNumber) << text;
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(s.value)) << text;
    EXPECT_EQ(std::signbit(s.value), std::signbit(expected)) << text;
  } else {
    EXPECT_EQ(bits(s.value), bits(expected)) << text << " gave " << s.value << ", not " << expected;
  }
  EXPECT_EQ(s.length, text.size()) << text;
}

TEST(Number, ReadsTheForms) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* text;
    float value;
  } cases[] = {
      {"0", 0.0f},          {"-0", -0.0f},       {"+0.0", 0.0f},       {"-0.0e5", -0.0f},
      {"12.5", 12.5f},      {"0.123456", 0.123456f}, {"-1.234567e-02", -1.234567e-02f},
      {".5", 0.5f},         {"5.", 5.0f},        {"-.5", -0.5f},       {"+5.", 5.0f},
      {"1e5", 1e5f},        {"1E+05", 1e5f},     {"1d5", 1e5f},        {"1D-5", 1e-5f},
      {"2.5d0", 2.5f},      {"007", 7.0f},       {"0.000", 0.0f},      {"-1.934159e-01", -1.934159e-01f},
      {"inf", inf},         {"-INF", -inf},      {"+Infinity", inf},   {"iNfInItY", inf},
      {"nan", nan},         {"-NaN", -nan},
      // As Windows C runtimes print them, old and new.
      {"-nan(ind)", -nan},  {"nan(ind)", nan},   {"nan(snan)", nan},   {"NAN(0x7fc00000)", nan},
      {"1.#INF", inf},      {"-1.#INF", -inf},   {"1.#INF00", inf},    {"-1.#INF00e+000", -inf},
      {"1.#IND", nan},      {"-1.#IND00", -nan}, {"1.#QNAN", nan},     {"-1.#QNAN0", -nan},
      {"1.#SNAN", nan},
      {"3.4028235e38", 3.4028235e38f},
      {"1e39", inf},        {"-1e39", -inf},     {"1e400", inf},       {"1e999999999999", inf},
      // Exponents of many digits, leading zeros among them (found by fuzzing).
      {"3.119881e-04900000000000000003797", 0.0f}, {"-2.5e+04900000000000000003797", -inf},
      {"1e0000000000000000000000000001", 10.0f},   {"1.5d-0000", 1.5f},
      {"1e-46", 0.0f},      {"-1e-46", -0.0f},   {"1e-400", 0.0f},     {"1e-999999999999", 0.0f},
      {"1.4e-45", 0x1p-149f}, {"1e-40", reference("1e-40")}, {"1.17549435e-38", 0x1p-126f},
      {"123456789012345678901234567890", reference("123456789012345678901234567890")},
      {"0.000000000000000000000000000000123", reference("0.000000000000000000000000000000123")},
  };
  for (const auto& c : cases) expect_number(c.text, c.value);
  // Zeros after the first digit do not lower the order of the number.
  expect_number("0.1" + std::string(100, '0') + "e60", inf);
  expect_number("-0.1" + std::string(100, '0') + "e40", -inf);
  expect_number("0.1" + std::string(100, '0') + "e-45", reference("1e-46"));
}

TEST(Number, RejectsWhatIsNoNumber) {
  for (const char* text : {"", "-", "+", ".", "-.", "e5", ".e5", "1e", "1e+", "1d-", "1.2.3", "--1", "+-1",
                           "0x10", "1f", "1e5x", "1 ", "nan(", "nan(1", "nan(1.5)", "nanx", "in", "infinit", "infinityy",
                           "1.#", "1.#IN", "1.#INFX", "1.#INF0e", "1.#INF1", "2.#INF", "1#INF", "-1.#NAN",
                           "1.5e2.5", "١", "1\x80"}) {
    const std::string item = std::string(text);
    const Scanned s = scan(item);
    if (item == "1 ") {
      EXPECT_EQ(s.scan, Scan::kNumber);  // the item ends at the blank
      EXPECT_EQ(s.length, 1u);
      continue;
    }
    EXPECT_EQ(s.scan, Scan::kNotANumber) << '"' << text << '"';
    EXPECT_EQ(s.length, item.size()) << text;
  }
}

TEST(Number, ItemEndsAtTheFirstSeparator) {
  for (const char* tail : {" 7", "\t7", ",7", "\r\n7", "\n", "\r"}) {
    const std::string text = std::string("-2.5e1") + tail;
    const Scanned s = scan(text);
    EXPECT_EQ(s.scan, Scan::kNumber);
    EXPECT_EQ(s.value, -25.0f);
    EXPECT_EQ(s.length, 6u);
  }
  // A NUL inside the data belongs to the item, which is then no number.
  const std::string with_nul("12\0 3", 5);
  EXPECT_EQ(scan(with_nul).scan, Scan::kNotANumber);
  EXPECT_EQ(scan(with_nul).length, 3u);
}

TEST(Number, AsksForMoreWhenTheItemMayGoOn) {
  std::string scratch;
  float value = 0;
  const char* end = nullptr;
  for (const char* text : {"12", "1.5e", "-", "inf", "1.2345678901234567890", "abc"}) {
    const std::string item(text);
    EXPECT_EQ(platform::scan_single(item.c_str(), item.c_str() + item.size(), false, value, end, scratch),
              Scan::kNeedMore)
        << text;
  }
}

// Exactly halfway between two neighbouring singles: ties go to the even one;
// a hair above or below decides the other way.
TEST(Number, HalfwayCasesRoundToEven) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<std::uint32_t> pattern(0x00800000u, 0x7F7FFFFFu);  // positive normals
  for (int i = 0; i < sweep(20000); ++i) {
    const float low = std::bit_cast<float>(pattern(rng));
    const float high = std::nextafter(low, std::numeric_limits<float>::infinity());
    const double mid = (static_cast<double>(low) + static_cast<double>(high)) / 2;  // exact
    char text[400];
    std::snprintf(text, sizeof text, "%.160e", mid);  // every digit of the exact value
    std::string exact(text);
    const float even = (bits(low) & 1) == 0 ? low : high;
    expect_number(exact, even);
    const std::string mantissa = exact.substr(0, exact.find('e'));
    const std::string exponent = exact.substr(exact.find('e'));
    expect_number(mantissa + "0000001" + exponent, high);
    // Just below: one unit off the last digit (…2000 becomes …1999).
    std::string below = mantissa;
    const std::size_t last = below.find_last_not_of(".0");
    below[last] = static_cast<char>(below[last] - 1);
    for (std::size_t k = last + 1; k < below.size(); ++k) {
      if (below[k] != '.') below[k] = '9';
    }
    expect_number(below + exponent, low);
  }
  // 3e10 is itself a tie: its odd part, 29296875, needs one bit more than a single has.
  expect_number("3e10", reference("3e10"));
  expect_number("2.9999999999999999e10", std::nextafter(3e10f, 0.0f));
}

// Sixteen and seventeen digits are more than a double holds exactly: taken
// the quick way, the significand would be rounded once on the way in and the
// quotient again. Near the midpoint of two singles that picks the wrong one.
TEST(Number, SixteenAndSeventeenDigitsNearAMidpoint) {
  expect_number("973.9308776855469", 973.930908f);
  std::mt19937 rng(16);
  std::uniform_int_distribution<std::uint32_t> pattern(0x00800000u, 0x7F7FFFFFu);
  for (int i = 0; i < sweep(100000); ++i) {
    const float low = std::bit_cast<float>(pattern(rng));
    const double mid = (static_cast<double>(low) + std::nextafter(low, INFINITY)) / 2;
    for (int digits : {16, 17}) {
      char text[40];
      std::snprintf(text, sizeof text, "%.*e", digits - 1, mid);
      expect_number(text, reference(text));
    }
  }
}

// A decimal of 15 digits or fewer that the quick way converts, correctly, to
// the double exactly halfway between two singles, though it is not that
// midpoint itself: rounding the double to single would then be a second
// rounding, and ties-to-even may pick the wrong side. Such decimals are found
// among the midpoints' nearest 15-digit neighbours, checked exactly against
// the C library's correctly rounded conversions.
TEST(Number, DecimalsThatRoundToAMidpointInDouble) {
  expect_number("5.38280177116394", 5.38280153f);
  std::mt19937 rng(15);
  std::uniform_int_distribution<std::uint32_t> pattern(0x00800000u, 0x7F7FFFFFu);
  int found = 0;
  while (found < sweep(20000)) {
    const float low = std::bit_cast<float>(pattern(rng));
    const double mid = (static_cast<double>(low) + std::nextafter(low, INFINITY)) / 2;
    char text[40];
    std::snprintf(text, sizeof text, "%.14e", mid);
    char exact[200];
    std::snprintf(exact, sizeof exact, "%.160e", mid);
    const std::string digits_of_mid = std::string(exact).substr(0, std::string(exact).find('e'));
    const bool is_mid_itself = digits_of_mid.find_last_not_of('0') < 16;
    if (std::strtod(text, nullptr) != mid || is_mid_itself) continue;
    ++found;
    expect_number(text, reference(text));
  }
}

// Short solver-style numbers, most of which take the fast path, and random
// long ones: every one against the reference conversion.
TEST(Number, AgreesWithTheReferenceOnRandomText) {
  std::mt19937_64 rng(4711);
  const char* const letters = "eEdD";
  for (int i = 0; i < sweep(400000); ++i) {
    std::string text;
    if (rng() % 2) text += (rng() % 2) ? '-' : '+';
    const int digits = 1 + static_cast<int>(rng() % (i % 4 == 0 ? 25 : 9));
    const int point = static_cast<int>(rng() % (digits + 1));
    for (int d = 0; d < digits; ++d) {
      if (d == point) text += '.';
      text += static_cast<char>('0' + rng() % 10);
    }
    if (rng() % 3 == 0) {
      text += letters[rng() % 4];
      const int range = (i % 5 == 0) ? 90 : 30;
      text += std::to_string(static_cast<int>(rng() % (2 * range + 1)) - range);
    }
    expect_number(text, reference(text));
  }
}

// Every single written in its shortest form, and with nine digits, reads back
// as itself (a sample of every exponent).
TEST(Number, ShortestAndNineDigitFormsReadBack) {
  std::mt19937 rng(99);
  for (int i = 0; i < sweep(300000); ++i) {
    const float f = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
    if (std::isnan(f)) continue;
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, f);
    expect_number(std::string(text, r.ptr), f);
    std::snprintf(text, sizeof text, "%.8e", static_cast<double>(f));
    expect_number(text, f);
  }
}

}  // namespace
