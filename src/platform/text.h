#pragma once
// Text slicing, comparison and whole-number conversion.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// The first `count` characters, or the whole text when it is shorter.
inline std::string_view left_part(std::string_view text, std::size_t count) {
  return text.substr(0, std::min(count, text.size()));
}

// `length` characters from position `start` (counted from 1), or fewer at the
// end of the text; empty when `start` lies beyond it.
inline std::string_view middle_part(std::string_view text, std::size_t start, std::size_t length) {
  if (start < 1 || start > text.size()) return {};
  return text.substr(start - 1, length);
}

// Exact, case-sensitive equality.
inline bool __vbaVarTstEq(std::string_view a, std::string_view b) { return a == b; }

// Converts `text` to a 32-bit signed whole number: blanks and tabs, an
// optional sign, decimal digits, blanks and tabs. Anything else, or a value
// outside the 32-bit range, fails and leaves `value` as it was.
bool __vbaI4ErrVar(std::string_view text, std::int32_t& value);

}  // namespace platform
