#pragma once
// Whole numbers in text, as the count line gives them.

#include <cstdint>
#include <string_view>

namespace platform {

// Converts `text` to a 32-bit signed whole number: blanks and tabs, an
// optional sign, decimal digits, blanks and tabs. Anything else, or a value
// outside the 32-bit range, fails and leaves `value` as it was.
bool parse_whole_number(std::string_view text, std::int32_t& value);

}  // namespace platform
