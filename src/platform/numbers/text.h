#pragma once
// Text slicing and comparison.

#include <algorithm>
#include <cstddef>
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

}  // namespace platform
