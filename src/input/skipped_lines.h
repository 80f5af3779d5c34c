#pragma once
// What a line holds that the header search passes over: numbers, which are
// values left over from a time step, or characters that no text has, which
// are damage. Blank lines and lines of text hold neither.

#include <cstddef>
#include <string>
#include <string_view>

struct NumbersInLine {
  bool data = false;                  // its first item is a number
  std::size_t numbers = 0;            // its items that are numbers
  bool comma_between_digits = false;  // "1,5": a decimal comma, or a thousands separator
};

// The number items of `line` (items split as the item reader splits them);
// `scratch` is working space for the conversion.
NumbersInLine numbers_in_line(const std::string& line, std::string& scratch);

// True when a line read from an 8-bit file holds a NUL byte: no text has one,
// but UTF-16 read as bytes has one in every other place.
bool holds_nul(std::string_view line);

// True when a line read from a UTF-16 file (as UTF-8) holds a character that
// no text has: NUL or another control character but the tab, a surrogate
// without its partner or a lone odd byte (both read as U+FFFD), U+FFFE or
// U+FFFF; or two characters in a row whose UTF-16 units each consist of two
// bytes of plain 8-bit text (letters, digits, blanks, line ends), as 8-bit
// text read as UTF-16 shows.
bool holds_foreign_utf16(std::string_view line);
