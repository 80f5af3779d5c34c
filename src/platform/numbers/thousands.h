#pragma once
// Whole numbers as German text shows them: a dot between thousands
// ("2.200.000"), so that large counts and line numbers read at a glance.

#include <cstdint>
#include <string>

namespace platform {

inline std::string with_thousands(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t at = digits.size(); at > 3;) {
    at -= 3;
    digits.insert(at, 1, '.');
  }
  return digits;
}

}  // namespace platform
