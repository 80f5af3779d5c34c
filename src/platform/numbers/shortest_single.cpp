#include "platform/numbers/shortest_single.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "platform/numbers/math.h"
#include "platform/numbers/powers_of_ten.h"

static_assert(std::endian::native == std::endian::little, "digits are assembled as little-endian words");

namespace platform {
namespace {

// Most results come from numbers read with six or seven significant digits,
// and the shortest text of such a value has as many digits or fewer. For those,
// exact integer arithmetic finds it quicker than the general algorithm:
//
// A decimal of six significant digits is never within one single-precision
// step of another (their spacing is at least 1e-6 of the value, a step at most
// 2^-23), so if the value rounded to six digits reads back as the value, that,
// without its trailing zeros, is the shortest text. Failing that, the value
// rounded to seven digits is the nearest seven-digit decimal, which is the one
// the shortest form takes when it reads back. Everything else, and every case
// too close to call, goes to std::to_chars.

// The four digits of 0 to 9999 as little-endian words, "0042" for 42.
constexpr std::array<std::uint32_t, 10000> kQuads = [] {
  std::array<std::uint32_t, 10000> table{};
  for (std::uint32_t v = 0; v < 10000; ++v) {
    table[v] = ('0' + v / 1000) | ('0' + v / 100 % 10) << 8 | ('0' + v / 10 % 10) << 16 | ('0' + v % 10) << 24;
  }
  return table;
}();

// 10^e for e = -6 .. 9, to find the decimal exponent of a value.
constexpr std::array<double, 16> kDecades = [] {
  std::array<double, 16> decades{};
  for (int e = -6; e <= 9; ++e) decades[static_cast<std::size_t>(e + 6)] = e < 0 ? kInversePowersOfTen[-e] : kPowersOfTen[e];
  return decades;
}();

// Rounds m * 10^q / 2^s (q >= 0) to a whole number n and tells whether n *
// 10^-q reads back as m * 2^-s: within half a step of it (a quarter below a
// power of two, whose step down is half as wide), exactly half only for an
// even mantissa. A six- or seven-digit decimal is never exactly halfway
// between two of its neighbours in the range that comes here, so ties need no
// test of their own (every single from 1e-6 to 1e9 was checked against
// std::to_chars).
struct Rounded {
  std::uint64_t n;
  bool reads_back;
};
inline Rounded round_scaled(std::uint32_t m, int s, int q) {
  const std::uint64_t num = m * kWholePowersOfTen[q];
  const std::uint64_t one = std::uint64_t{1} << s;
  const std::uint64_t rest = num & (one - 1);
  const std::uint64_t half = one >> 1;
  const bool up = rest > half;
  const std::uint64_t r = up ? one - rest : rest;
  const std::uint64_t twice = (!up && m == 0x800000u) ? 4 * r : 2 * r;
  const bool inside = twice < kWholePowersOfTen[q] || (twice == kWholePowersOfTen[q] && (m & 1) == 0);
  return {(num >> s) + (up ? 1 : 0), inside};
}

// value rounded to `digits` significant digits, if that reads back as value:
// n with 10^(digits-1) <= n < 10^digits and value ~ n * 10^(exponent-digits+1).
// False when it does not read back, or when that is too close to call here.
bool shortest_with(std::uint32_t m, int b, int digits, int exponent, std::uint64_t& n, float value) {
  const int q = digits - 1 - exponent;  // scale by 10^q
  if (q >= 0 && b < 0) {
    // value * 10^q = m * 10^q / 2^s exactly; below 1e9 and from 1e-6 on,
    // q <= 12 and the product fits in 64 bits.
    const Rounded rounded = round_scaled(m, -b, q);
    if (!rounded.reads_back) return false;
    n = rounded.n;
  } else {
    // Large values (rare): the quotient, rounded half up, then a check in
    // double; neither a tie nor a double halfway between singles occurs here.
    std::uint64_t num = m;
    std::uint64_t den = q >= 0 ? 1 : kWholePowersOfTen[-q];
    if (q >= 0) num *= kWholePowersOfTen[q];
    if (b >= 0) num <<= b; else den <<= -b;
    n = num / den;
    const std::uint64_t rest = num % den;
    if (2 * rest > den) ++n;
    const double d = q >= 0 ? static_cast<double>(n) / kPowersOfTen[q] : static_cast<double>(n) * kPowersOfTen[-q];
    if (static_cast<float>(d) != value) return false;
  }
  return true;
}

// Writes the `count` digits in `word` (as characters, the first in the
// lowest byte, at most eight) for the value d1.d2... * 10^exponent, in the
// display's form: fixed unless the exponent form is shorter (fixed on a tie).
// Null, with nothing written, where that form is not made here: a whole
// number from 10^7 on in fixed form (shown there with all the digits of its
// exact value), an exponent of two digits.
char* lay_out(char* out, std::uint64_t word, int count, int exponent, bool negative) {
  const int fixed = exponent < 0 ? 1 - exponent + count : (count > exponent + 1 ? count + 1 : exponent + 1);
  const int scientific = count + (count > 1 ? 1 : 0) + 4;
  auto store = [](char* at, std::uint64_t v) { std::memcpy(at, &v, 8); };
  if (scientific < fixed) {
    if (exponent <= -10 || exponent >= 10) return nullptr;
    *out = '-';
    out += negative;
    store(out, word);
    out[1] = '.';
    store(out + 2, word >> 8);
    out += count > 1 ? count + 1 : 1;
    std::memcpy(out, exponent < 0 ? "e-0" : "e+0", 3);
    out[3] = static_cast<char>('0' + (exponent < 0 ? -exponent : exponent));
    return out + 4;
  }
  if (exponent >= 7) return nullptr;
  *out = '-';
  out += negative;
  if (exponent < 0) {
    std::memcpy(out, "0.00000", 8);
    out += 1 - exponent;
    store(out, word);
    return out + count;
  }
  // Below 10^7 a whole number's short digits followed by zeros are its exact value.
  const int whole = exponent + 1;
  store(out, word);
  if (count <= whole) {
    store(out + count, 0x3030303030303030u);
    return out + whole;
  }
  out[whole] = '.';
  store(out + whole + 1, word >> (8 * whole));
  return out + count + 1;
}

// The digits of n (1 <= n < 10^8) as characters, the first in the lowest
// byte of `word`, without leading or trailing zeros: `count` of them, and
// `trailing` zeros left out.
struct Digits {
  std::uint64_t word;
  int count;
  int trailing;
};
Digits digits_of(std::uint32_t n) {
  const std::uint64_t word = kQuads[n / 10000] | std::uint64_t{kQuads[n % 10000]} << 32;
  const std::uint64_t values = word ^ 0x3030303030303030u;
  const int leading = std::countr_zero(values) / 8;
  const int trailing = std::countl_zero(values) / 8;
  return {word >> (8 * leading), 8 - leading - trailing, trailing};
}

// The common case, values from 1e-6 to below 2^23 read from six or seven
// digits, with as few branches as the data can mispredict: both roundings
// are made, and the shorter that reads back is kept.
char* put_common(char* out, std::uint32_t m, int b, int exponent, bool negative) {
  const int s = -b;
  const int q = 6 - exponent;  // 1 .. 12 here
  const Rounded seven = round_scaled(m, s, q);
  const Rounded six = round_scaled(m, s, q - 1);
  if (!seven.reads_back && !six.reads_back) return nullptr;
  // Chosen without a branch: which of the two reads back follows the data.
  const std::uint64_t use_six = 0 - static_cast<std::uint64_t>(six.reads_back);
  std::uint64_t n = (10 * six.n & use_six) | (seven.n & ~use_six);
  if (n == 10000000) {
    n = 1000000;
    ++exponent;
  }
  // The seven digits as one little-endian word (first digit in the lowest
  // byte), kept in a register: built byte by byte in memory and read back as
  // a word, it would wait for the stores to drain.
  const std::uint64_t word = std::uint64_t{kQuads[n / 10000]} >> 8 | std::uint64_t{kQuads[n % 10000]} << 24;
  // Trailing zero digits are the top bytes that equal '0'.
  const std::uint64_t zero_bytes = (word ^ 0x30303030303030u) << 8;
  const int count = 7 - std::countl_zero(zero_bytes) / 8;
  return lay_out(out, word, count, exponent, negative);
}

// The largest biased exponent of a single whose spacing to the next one up,
// 2^(exponent - 150), is below 10^t, for t = -10 .. 17 (at t + 10).
constexpr std::array<int, 28> kLargestExponentBelow = [] {
  std::array<int, 28> largest{};
  for (int t = -10; t <= 17; ++t) {
    int e = 0;
    for (int candidate = 1; candidate <= 254; ++candidate) {
      const int a = candidate - 150;  // is 2^a < 10^t?
      bool below;
      if (t >= 0) {
        below = a < 0 || (a < 63 && (std::uint64_t{1} << a) < kWholePowersOfTen[t]);
      } else {
        below = a < 0 && (-a >= 63 || kWholePowersOfTen[-t] < (std::uint64_t{1} << -a));
      }
      if (below) e = candidate;
    }
    largest[static_cast<std::size_t>(t + 10)] = e;
  }
  return largest;
}();

// The value read as w * 10^q, printed from those digits when they are its
// shortest text. They read back as the value, and no other decimal of as
// few digits does when the singles around the value lie closer together
// than 10^p, p the power of the last digit kept: all the decimals that read
// back lie within one spacing, and such a decimal is a multiple of 10^p.
// (Below a power of ten, decimals of as few digits have one digit more to
// the right; but the singles there lie closer than 2^-23 of the value, far
// below a tenth of it.) Null otherwise.
char* put_decimal(char* out, float value, std::uint32_t w, int q) {
  const Digits d = digits_of(w);
  const int power = q + d.trailing;
  const auto bits = std::bit_cast<std::uint32_t>(value);
  if (static_cast<int>(bits >> 23 & 0xFF) > kLargestExponentBelow[static_cast<std::size_t>(power + 10)]) {
    return nullptr;
  }
  return lay_out(out, d.word, d.count, power + d.count - 1, bits >> 31);
}

}  // namespace

char* put_single(char* out, float value) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  const std::uint32_t magnitude_bits = bits & 0x7FFFFFFFu;
  if (magnitude_bits == 0) {
    if (bits != 0) *out++ = '-';
    *out++ = '0';
    return out;
  }
  const float magnitude = std::bit_cast<float>(magnitude_bits);
  const double wide = magnitude;
  if (wide >= 1e-6 && wide < 1e9) {  // normal numbers, so the mantissa has 24 bits
    const std::uint32_t m = (magnitude_bits & 0x7FFFFFu) | 0x800000u;
    const int b = static_cast<int>(magnitude_bits >> 23) - 150;
    // 2^(b+23) <= value < 2^(b+24): the decimal exponent is floor((b+23) log10 2) or one more.
    int exponent = ((b + 23) * 78913) >> 18;
    exponent += (exponent < 9 && wide >= kDecades[exponent + 7]) ? 1 : 0;
    if (b < 0 && exponent <= 5) {
      if (char* end = put_common(out, m, b, exponent, bits >> 31)) return end;
    }
    // Mostly values from 10^6 on (smaller ones are put_common's). Whole
    // numbers from 10^7 on are shown in fixed form with all the digits of
    // their exact value, which lay_out leaves to std::to_chars.
    for (int digits : {6, 7}) {
      std::uint64_t n;
      if (shortest_with(m, b, digits, exponent, n, magnitude)) {
        const Digits d = digits_of(static_cast<std::uint32_t>(n));
        const int first = exponent + (d.count + d.trailing - digits);  // n may have rounded up to 10^digits
        if (char* end = lay_out(out, d.word, d.count, first, bits >> 31)) return end;
        break;
      }
    }
  }
  return std::to_chars(out, out + 16, value).ptr;
}

char* put_single(char* out, float value, Decimal read_from) {
  const std::uint32_t w = significand_of(read_from);
  if (w != 0) {
    if (char* end = put_decimal(out, value, w, power_of(read_from))) return end;
  }
  return put_single(out, value);
}

}  // namespace platform
