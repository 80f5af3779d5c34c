#include "platform/text.h"

#include <string>

#include "platform/runtime.h"

namespace platform {

bool __vbaI4ErrVar(std::string_view text, std::int32_t& value) {
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
    if (magnitude > std::int64_t{1} << 31) return fail(kNoWholeNumber, "out of range");
  }
  const bool no_digits = i == first_digit;
  skip_blanks();
  if (no_digits || i != text.size()) return fail(kNoWholeNumber, std::string(text.substr(0, 40)));
  const std::int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX) return fail(kNoWholeNumber, "out of range");
  value = static_cast<std::int32_t>(result);
  return true;
}

}  // namespace platform
