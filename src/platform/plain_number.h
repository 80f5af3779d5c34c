#pragma once
// Plain numbers, the way solvers write nearly all of them, read eight
// characters at a time instead of one: an optional sign, at most seven digits,
// optionally a point and at most seven more (at least one digit in all),
// optionally an exponent letter (E, e, D, d), a sign and one to three digits;
// then a blank, tab, comma or line end. The value is the same as the item
// reader's, rounded once by exact_single.

#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/char_class.h"
#include "platform/number.h"

static_assert(std::endian::native == std::endian::little, "eight characters are read as a little-endian word");

namespace platform {

inline std::uint64_t load_word(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// How many of the eight characters of `word` (the first in its lowest byte)
// are digits before the first that is not: 0 to 8.
inline int leading_digits(std::uint64_t word) {
  const std::uint64_t x = word ^ 0x3030303030303030u;  // a digit becomes 0 to 9
  // The top bit of a byte is set where x is 10 or more; the mask keeps the
  // additions from carrying into the next byte.
  const std::uint64_t above_nine = (((x & 0x7F7F7F7F7F7F7F7Fu) + 0x7676767676767676u) | x) & 0x8080808080808080u;
  return above_nine ? std::countr_zero(above_nine) / 8 : 8;
}

// The value of the first `count` (0 to 7) characters of `word`, all digits.
inline std::uint64_t digits_value(std::uint64_t word, int count) {
  // The digits moved to the top, zeros below them, then combined in pairs,
  // fours and eights by three multiplications.
  std::uint64_t v = (word << (56 - 8 * count)) << 8;
  v = ((v & 0x0F0F0F0F0F0F0F0Fu) * 2561) >> 8;
  v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
  return ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
}

inline constexpr std::uint64_t kTens[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// Reads the plain number at `p` into `value` and returns the end of its text.
// Returns nullptr, with `value` as it was, for anything else: the item reader
// then reads the item the general way. The buffer must be readable for 32
// bytes past the number's end.
inline const char* read_plain_number(const char* p, float& value) {
  const bool negative = *p == '-';
  p += negative || *p == '+';
  const std::uint64_t whole = load_word(p);
  const int whole_digits = leading_digits(whole);
  if (whole_digits == 8) return nullptr;
  std::uint64_t significand = digits_value(whole, whole_digits);
  p += whole_digits;
  int exponent = 0;
  if (*p == '.') {
    ++p;
    const std::uint64_t fraction = load_word(p);
    const int fraction_digits = leading_digits(fraction);
    if (fraction_digits == 8) return nullptr;
    significand = significand * kTens[fraction_digits] + digits_value(fraction, fraction_digits);
    exponent = -fraction_digits;
    p += fraction_digits;
    if (whole_digits + fraction_digits == 0) return nullptr;
  } else if (whole_digits == 0) {
    return nullptr;
  }
  if ((*p | 0x20) == 'e' || (*p | 0x20) == 'd') {
    ++p;
    const bool exponent_negative = *p == '-';
    p += exponent_negative || *p == '+';
    const std::uint64_t word = load_word(p);
    const int digits = leading_digits(word);
    if (digits == 0 || digits > 3) return nullptr;
    const int written = static_cast<int>(digits_value(word, digits));
    exponent += exponent_negative ? -written : written;
    p += digits;
  }
  if (!(char_class(*p) & kSeparator)) return nullptr;
  float f;
  if (!exact_single(significand, exponent, f)) return nullptr;
  // The sign set without a branch: half the numbers are negative, at random.
  value = std::bit_cast<float>(std::bit_cast<std::uint32_t>(f) | std::uint32_t{negative} << 31);
  return p;
}

}  // namespace platform
