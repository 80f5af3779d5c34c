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

// True when a line holds what no text holds: a NUL (UTF-16 read as bytes
// has one in every other place), or two characters in a row whose UTF-16
// units each consist of two bytes of plain 8-bit text (letters, digits,
// blanks, line ends), as 8-bit text read as UTF-16 shows. The line is UTF-8
// as the readers see it, from an 8-bit file or turned from UTF-16, and the
// same text gives the same answer either way; bytes that are no UTF-8 are
// taken one by one.
bool holds_foreign_text(std::string_view line);
