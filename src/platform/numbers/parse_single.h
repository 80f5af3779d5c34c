#pragma once
// Number items: the text of one item to the nearest single-precision value.
//
// A number is an optional sign, digits with an optional decimal point (at least
// one digit in all), and an optional exponent introduced by E, e, D or d; or
// a value that is no finite number as C runtimes print it, optionally signed:
// inf, infinity, nan, nan(ind) in any case, and 1.#INF, 1.#IND, 1.#QNAN,
// 1.#SNAN with or without zeros after them, as older Windows runtimes do. It is
// rounded once, correctly, ties to even. The C locale plays no part.

#include <cstdint>
#include <limits>
#include <string>

#include "platform/numbers/char_class.h"
#include "platform/numbers/math.h"
#include "platform/numbers/powers_of_ten.h"

namespace platform {

enum class Scan {
  kNumber,       // `value` holds the number; `item_end` is one past the item
  kNotANumber,   // the item is no number; `item_end` is one past the item
  kNeedMore,     // the item runs into `limit` and the file may go on: read more and scan again
};

// `significand` (below 10^15) times 10 to the `exponent`, rounded once to
// single precision: a significand of at most 15 digits and a power of ten up
// to 22 are exact in double, so one division or multiplication gives the
// correctly rounded double. Rounding that to single is then correct too,
// unless the double lies exactly halfway between two singles (it may have been
// rounded onto that point). Returns false for such rare values, for powers
// beyond 22 and for results outside the normal single range; the general
// conversion takes those.
//
// A division is slow, so a negative power is first tried as a multiplication
// by the double nearest to 10^-k. That product is within two units of the
// double's last place of the exact value; unless it lies within three such
// units of a point halfway between two singles, the exact value rounds to the
// same single. Only that rare case is divided.
inline bool exact_single(std::uint64_t significand, int exponent, float& value) {
  if (exponent < -22 || exponent > 22) return false;
  const double w = static_cast<double>(static_cast<std::int64_t>(significand));  // exact below 2^53
  double d;
  if (exponent >= 0) {
    d = w * kPowersOfTen[exponent];
  } else {
    d = w * kInversePowersOfTen[-exponent];
    if (near_halfway_between_singles(d, 3)) d = w / kPowersOfTen[-exponent];  // too close to call
  }
  if (d != 0.0 && (d < static_cast<double>(std::numeric_limits<float>::min()) ||
                   d > static_cast<double>(std::numeric_limits<float>::max()) || halfway_between_singles(d))) {
    return false;
  }
  value = static_cast<float>(d);
  return true;
}

// The general conversion, for everything the fast path below leaves alone.
Scan scan_single_general(const char* item, const char* limit, bool complete, float& value,
                         const char*& item_end, std::string& scratch);

// Whether a NaN counts as a number: the readers of runs of pairs leave a
// pair with a NaN to the item reader, which counts it.
enum class NaN { kNumber, kNoNumber };

// The general conversion, where a NaN may be no number. Only the general
// conversion makes one, so the quick path pays nothing for the test.
inline Scan scan_general(const char* item, const char* limit, bool complete, float& value, const char*& item_end,
                         std::string& scratch, NaN nan) {
  const Scan scan = scan_single_general(item, limit, complete, value, item_end, scratch);
  return nan == NaN::kNoNumber && scan == Scan::kNumber && value != value ? Scan::kNotANumber : scan;
}

// Scans the item at `item` (not a separator). The buffer holds a NUL at
// `limit`; `complete` tells that nothing follows it in the file. `scratch`
// is working space for the general conversion.
inline Scan scan_single(const char* item, const char* limit, bool complete, float& value,
                        const char*& item_end, std::string& scratch, NaN nan = NaN::kNumber) {
  // Fast path: a significand of at most 15 digits, converted by exact_single;
  // anything unusual takes the general conversion.
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
    return scan_general(item, limit, complete, value, item_end, scratch, nan);
  }
  if ((*p | 0x20) == 'e' || (*p | 0x20) == 'd') {
    ++p;
    const bool exponent_negative = (*p == '-');
    if (*p == '-' || *p == '+') ++p;
    if (!(char_class(*p) & kDigit)) return scan_general(item, limit, complete, value, item_end, scratch, nan);
    int written = 0;
    const char* const exponent_digits = p;
    while ((char_class(*p) & kDigit) && p - exponent_digits < 3) written = written * 10 + (*p++ - '0');
    if (char_class(*p) & kDigit) return scan_general(item, limit, complete, value, item_end, scratch, nan);
    exponent += exponent_negative ? -written : written;
  }
  // The item must end here: a separator, or the end of the data.
  if (!(char_class(*p) & kSeparator) && !(*p == '\0' && p == limit && complete)) {
    return scan_general(item, limit, complete, value, item_end, scratch, nan);
  }
  float f;
  if (!exact_single(significand, exponent, f)) {
    return scan_general(item, limit, complete, value, item_end, scratch, nan);
  }
  value = negative ? -f : f;
  item_end = p;
  return Scan::kNumber;
}

// The quick way through the number item at `p`, blanks and tabs before it
// passed over: true, with its value and `p` just after it, when it is a
// number; false, with `p` as it was, for anything else (a separator, no
// number, an item that runs into `limit`), which the item reader's slow way takes.
inline bool quick_item(const char*& p, const char* limit, bool complete, float& value, std::string& scratch,
                       NaN nan = NaN::kNumber) {
  const char* const item = skip_blanks(p);
  const char* end;
  if ((char_class(*item) & kSeparator) ||
      scan_single(item, limit, complete, value, end, scratch, nan) != Scan::kNumber) {
    return false;
  }
  p = end;
  return true;
}

}  // namespace platform
