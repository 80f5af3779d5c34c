#include "input/skipped_lines.h"

#include <cstdint>

#include "platform/numbers/char_class.h"
#include "platform/numbers/parse_single.h"

namespace {

bool is_digit(char c) { return platform::char_class(c) & platform::kDigit; }

// A byte of plain 8-bit text.
bool is_text_byte(std::uint32_t b) { return b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b <= 0x7E); }

// The character at utf8[i] (well-formed UTF-8, as the UTF-16 reader writes it),
// and past it in `i`.
std::uint32_t next_character(std::string_view utf8, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(utf8[i++]);
  const int more = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
  std::uint32_t c = more == 0 ? lead : lead & (0x3Fu >> more);
  for (int k = 0; k < more && i < utf8.size(); ++k) c = c << 6 | (static_cast<unsigned char>(utf8[i++]) & 0x3Fu);
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

bool holds_nul(std::string_view line) { return line.find('\0') != std::string_view::npos; }

bool holds_foreign_utf16(std::string_view line) {
  bool after_two_text_bytes = false;
  for (std::size_t i = 0; i < line.size();) {
    const std::uint32_t c = next_character(line, i);
    if ((c < 0x20 && c != '\t') || c == 0xFFFD || c == 0xFFFE || c == 0xFFFF) return true;
    const bool two_text_bytes = c >= 0x100 && c < 0x10000 && is_text_byte(c >> 8) && is_text_byte(c & 0xFF);
    if (two_text_bytes && after_two_text_bytes) return true;
    after_two_text_bytes = two_text_bytes;
  }
  return false;
}
