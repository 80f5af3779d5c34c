#pragma once
// Number items: the text of one item to the nearest single-precision value.
//
// A number is an optional sign, digits with an optional decimal point (at least
// one digit in all), and an optional exponent introduced by E, e, D or d; or
// one of the words nan, inf, infinity in any case, optionally signed. It is
// rounded once, correctly, ties to even. The C locale plays no part.

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/char_class.h"

namespace platform {

enum class Scan {
  kNumber,       // `value` holds the number; `item_end` is one past the item
  kNotANumber,   // the item is no number; `item_end` is one past the item
  kNeedMore,     // the item runs into `limit` and the file may go on: read more and scan again
};

// The general conversion, for everything the fast path below leaves alone.
Scan scan_single_general(const char* item, const char* limit, bool complete, float& value,
                         const char*& item_end, std::string& scratch);

// Scans the item at `item` (not a separator). The buffer holds a NUL at
// `limit`; `complete` tells that nothing follows it in the file. `scratch`
// is working space for the general conversion.
inline Scan scan_single(const char* item, const char* limit, bool complete, float& value,
                        const char*& item_end, std::string& scratch) {
  // Fast path: a significand of at most 15 digits and a power of ten up to 22
  // are exact in double, so one division or multiplication gives the correctly
  // rounded double. Rounding that to single is then correct too, unless the
  // double lies exactly halfway between two singles (it may have been rounded
  // onto that point); such rare values, and anything else unusual, take the
  // general conversion.
  const char* p = item;
  const bool negative = (*p == '-');
  if (*p == '-' || *p == '+') ++p;
  std::uint64_t significand = 0;
  const char* const digits = p;
  while (char_class(*p) & kDigit) significand = significand * 10 + static_cast<unsigned>(*p++ - '0');
  int digit_count = static_cast<int>(p - digits);
  int exponent = 0;
  if (*p == '.') {
    const char* const fraction = ++p;
    while (char_class(*p) & kDigit) significand = significand * 10 + static_cast<unsigned>(*p++ - '0');
    exponent = -static_cast<int>(p - fraction);
    digit_count -= exponent;
  }
  if (digit_count == 0 || digit_count > 15) {
    return scan_single_general(item, limit, complete, value, item_end, scratch);
  }
  if ((*p | 0x20) == 'e' || (*p | 0x20) == 'd') {
    ++p;
    const bool exponent_negative = (*p == '-');
    if (*p == '-' || *p == '+') ++p;
    if (!(char_class(*p) & kDigit)) return scan_single_general(item, limit, complete, value, item_end, scratch);
    int written = 0;
    const char* const exponent_digits = p;
    while ((char_class(*p) & kDigit) && p - exponent_digits < 3) written = written * 10 + (*p++ - '0');
    if (char_class(*p) & kDigit) return scan_single_general(item, limit, complete, value, item_end, scratch);
    exponent += exponent_negative ? -written : written;
  }
  // The item must end here: a separator, or the end of the data.
  if (!(char_class(*p) & kSeparator) && !(*p == '\0' && p == limit && complete)) {
    return scan_single_general(item, limit, complete, value, item_end, scratch);
  }
  if (exponent < -22 || exponent > 22) return scan_single_general(item, limit, complete, value, item_end, scratch);

  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const double w = static_cast<double>(significand);
  const double d = exponent < 0 ? w / kPowers[-exponent] : w * kPowers[exponent];
  if (d != 0.0) {
    // Outside the normal single range, or exactly halfway between two singles.
    constexpr std::uint64_t kHalfSingleUlp = std::uint64_t{1} << 28;
    if (d < static_cast<double>(std::numeric_limits<float>::min()) ||
        d > static_cast<double>(std::numeric_limits<float>::max()) ||
        (std::bit_cast<std::uint64_t>(d) & (2 * kHalfSingleUlp - 1)) == kHalfSingleUlp) {
      return scan_single_general(item, limit, complete, value, item_end, scratch);
    }
  }
  const float f = static_cast<float>(d);
  value = negative ? -f : f;
  item_end = p;
  return Scan::kNumber;
}

}  // namespace platform
