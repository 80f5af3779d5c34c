#pragma once
// What each byte is to the readers.

#include <array>
#include <cstdint>

namespace platform {

enum : std::uint8_t {
  kSeparator = 1,  // between items: blank, tab, comma, CR, LF
  kDigit = 4,
  kStop = 8,       // ends a scan for the end of a line: CR, LF and the NUL after the buffer's data
};

inline constexpr std::array<std::uint8_t, 256> kCharClass = [] {
  std::array<std::uint8_t, 256> table{};
  for (unsigned char c : {' ', '\t', ','}) table[c] = kSeparator;
  table['\r'] = table['\n'] = kSeparator | kStop;
  table[0] = kStop;
  for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = kDigit;
  return table;
}();

inline std::uint8_t char_class(char c) { return kCharClass[static_cast<unsigned char>(c)]; }

// Past the blanks and tabs at p.
inline const char* skip_blanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

// Past one line end at p (LF, CR LF or a lone CR); p itself when none stands there.
inline const char* past_line_end(const char* p) {
  if (*p == '\n') return p + 1;
  if (*p == '\r') return p + (p[1] == '\n' ? 2 : 1);
  return p;
}

}  // namespace platform
