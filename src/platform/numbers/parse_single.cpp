#include "platform/numbers/parse_single.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace platform {
namespace {

bool equal_ignoring_case(std::string_view text, std::string_view lower_word) {
  if (text.size() != lower_word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((text[i] | 0x20) != lower_word[i]) return false;
  }
  return true;
}

bool is_digit(char c) { return char_class(c) & kDigit; }

// The words for values that are no finite number, as C runtimes print them
// (the sign already taken off): inf, infinity, nan and nan(...) in any case,
// and the forms of older Windows runtimes, 1.#INF, 1.#IND, 1.#QNAN and
// 1.#SNAN, with or without zeros and an exponent after them (1.#INF00,
// 1.#IND00e+000). False for anything else.
bool special_value(std::string_view text, float& magnitude) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  if (equal_ignoring_case(text, "inf") || equal_ignoring_case(text, "infinity")) {
    magnitude = kInfinity;
    return true;
  }
  if (text.size() >= 3 && equal_ignoring_case(text.substr(0, 3), "nan")) {
    std::string_view rest = text.substr(3);
    if (rest.empty() || (rest.size() >= 2 && rest.front() == '(' && rest.back() == ')' &&
                         std::all_of(rest.begin() + 1, rest.end() - 1, [](char c) {
                           return c == '_' || is_digit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
                         }))) {
      magnitude = kNaN;
      return true;
    }
    return false;
  }
  if (text.substr(0, 3) != "1.#") return false;
  text.remove_prefix(3);
  std::size_t word = 0;
  while (word < text.size() && ((text[word] | 0x20) >= 'a' && (text[word] | 0x20) <= 'z')) ++word;
  const std::string_view name = text.substr(0, word);
  if (equal_ignoring_case(name, "inf")) {
    magnitude = kInfinity;
  } else if (equal_ignoring_case(name, "ind") || equal_ignoring_case(name, "qnan") || equal_ignoring_case(name, "snan")) {
    magnitude = kNaN;
  } else {
    return false;
  }
  std::size_t i = word;
  while (i < text.size() && text[i] == '0') ++i;
  if (i < text.size() && (text[i] | 0x20) == 'e') {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t digits = i;
    while (i < text.size() && is_digit(text[i])) ++i;
    if (i == digits) return false;
  }
  return i == text.size();
}

// Checks the number grammar on `text` (the sign already taken off) and writes
// it to `out` in the form std::from_chars takes (exponent letter 'e').
// `order` is set to the decimal exponent of the leading non-zero digit plus
// one, which tells an overflow from an underflow.
bool normalise(std::string_view text, std::string& out, long long& order) {
  out.clear();
  std::size_t i = 0;
  long long integer_digits = 0;     // significant digits before the point
  long long leading_fraction_zeros = 0;
  bool seen_nonzero = false;
  int digits = 0;
  for (; i < text.size() && is_digit(text[i]); ++i, ++digits) {
    if (text[i] != '0') seen_nonzero = true;
    if (seen_nonzero) ++integer_digits;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && is_digit(text[i]); ++i, ++digits) {
      if (!seen_nonzero && text[i] == '0') ++leading_fraction_zeros;
      if (text[i] != '0') seen_nonzero = true;
    }
  }
  if (digits == 0) return false;
  out.append(text.substr(0, i));
  long long exponent = 0;
  if (i < text.size() && ((text[i] | 0x20) == 'e' || (text[i] | 0x20) == 'd')) {
    out.push_back('e');
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negative = text[i] == '-';
      out.push_back(text[i++]);
    }
    const std::size_t first = i;
    for (; i < text.size() && is_digit(text[i]); ++i) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (i == first) return false;
    out.append(text.substr(first, i - first));
    if (negative) exponent = -exponent;
  }
  if (i != text.size()) return false;
  order = exponent + (integer_digits > 0 ? integer_digits : -leading_fraction_zeros);
  return true;
}

}  // namespace

Scan scan_single_general(const char* item, const char* limit, bool complete, float& value,
                         const char*& item_end, std::string& scratch) {
  // The item runs to the next separator; a NUL inside the data is part of it.
  const char* end = item;
  for (;;) {
    while (!(char_class(*end) & (kSeparator | kStop))) ++end;
    if (*end != '\0' || end == limit) break;
    ++end;
  }
  if (end == limit && !complete) return Scan::kNeedMore;
  item_end = end;

  std::string_view text(item, static_cast<std::size_t>(end - item));
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);

  float magnitude;
  if (!special_value(text, magnitude)) {
    long long order = 0;
    if (!normalise(text, scratch, order)) return Scan::kNotANumber;
    const auto result =
        std::from_chars(scratch.data(), scratch.data() + scratch.size(), magnitude, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
      magnitude = order > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
    } else if (result.ec != std::errc() || result.ptr != scratch.data() + scratch.size()) {
      return Scan::kNotANumber;
    }
  }
  value = negative ? -magnitude : magnitude;
  return Scan::kNumber;
}

}  // namespace platform
