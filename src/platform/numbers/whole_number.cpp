#include "platform/numbers/whole_number.h"

namespace platform {

bool parse_whole_number(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  skip_blanks();
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  const std::size_t first_digit = i;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > std::int64_t{1} << 31) return false;
  }
  const bool no_digits = i == first_digit;
  skip_blanks();
  if (no_digits || i != text.size()) return false;
  const std::int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX) return false;
  value = static_cast<std::int32_t>(result);
  return true;
}

}  // namespace platform
