#include "input/skipped_lines.h"

#include <cstdint>

#include "platform/numbers/char_class.h"
#include "platform/numbers/parse_single.h"

namespace {

bool is_digit(char c) { return platform::char_class(c) & platform::kDigit; }

// A byte of plain 8-bit text.
bool is_text_byte(std::uint32_t b) { return b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b <= 0x7E); }

// The character at text[i], and past it in `i`; a byte that starts no
// well-formed UTF-8 character is taken alone, as itself.
std::uint32_t next_character(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  const std::size_t more = lead < 0xC2 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : 0;
  if (more == 0 || i + more > text.size()) return lead;
  std::uint32_t c = lead & (0x3Fu >> more);
  for (std::size_t k = 0; k < more; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return lead;
    c = c << 6 | (next & 0x3Fu);
  }
  i += more;
  return c;
}

}  // namespace

NumbersInLine numbers_in_line(const std::string& line, std::string& scratch) {
  NumbersInLine found;
  const char* const end = line.c_str() + line.size();  // a NUL stands there
  const char* p = line.c_str();
  bool first = true;
  for (;;) {
    while (p < end && (platform::char_class(*p) & platform::kSeparator)) ++p;
    if (p >= end) break;
    float value;
    const char* item_end;
    const bool number = platform::scan_single(p, end, true, value, item_end, scratch) == platform::Scan::kNumber;
    if (first && !number) return {};  // a line of text
    first = false;
    found.numbers += number;
    p = item_end;
  }
  found.data = found.numbers > 0;
  for (std::size_t i = 1; found.data && i + 1 < line.size(); ++i) {
    if (line[i] == ',' && is_digit(line[i - 1]) && is_digit(line[i + 1])) found.comma_between_digits = true;
  }
  return found;
}

bool holds_foreign_text(std::string_view line) {
  bool after_two_text_bytes = false;
  for (std::size_t i = 0; i < line.size();) {
    const std::uint32_t c = next_character(line, i);
    if (c == 0) return true;
    const bool two_text_bytes = c >= 0x100 && c < 0x10000 && is_text_byte(c >> 8) && is_text_byte(c & 0xFF);
    if (two_text_bytes && after_two_text_bytes) return true;
    after_two_text_bytes = two_text_bytes;
  }
  return false;
}
