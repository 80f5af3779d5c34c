#include "platform/numbers/utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// UTF-16 little-endian from a list of code units.
std::string units(const std::vector<unsigned>& list) {
  std::string bytes;
  for (unsigned u : list) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

std::string transcode(const std::string& in, bool last, std::size_t* consumed = nullptr) {
  char out[64];
  const platform::Transcoded t = platform::utf16_to_utf8(reinterpret_cast<const unsigned char*>(in.data()), in.size(),
                                                         false, last, out, sizeof out);
  if (consumed) *consumed = t.consumed;
  return std::string(out, t.produced);
}

TEST(Utf16, BrokenTextBecomesReplacementCharacters) {
  const struct {
    std::string in;
    bool last;
    const char* out;
    std::size_t consumed;
  } cases[] = {
      {units({'N', 0xE4, 0x20AC}), true, "N\xC3\xA4\xE2\x82\xAC", 6},
      {units({0xD834, 0xDD1E}), true, "\xF0\x9D\x84\x9E", 4},          // a pair: one character beyond 16 bits
      {units({'a', 0xD834}), false, "a", 2},                           // its partner may still come
      {units({'a', 0xD834}), true, "a\xEF\xBF\xBD", 4},                // it never comes
      {units({0xD834, 'b'}), true, "\xEF\xBF\xBD" "b", 4},             // a high surrogate alone
      {units({0xDD1E, 'b'}), true, "\xEF\xBF\xBD" "b", 4},             // a low surrogate alone
      {units({'a'}) + "x", false, "a", 2},                              // an odd byte waits
      {units({'a'}) + "x", true, "a\xEF\xBF\xBD", 3},                   // and at the end is broken
  };
  for (const auto& c : cases) {
    std::size_t consumed = 0;
    EXPECT_EQ(transcode(c.in, c.last, &consumed), c.out);
    EXPECT_EQ(consumed, c.consumed);
    if (!c.last) continue;
    // What the text takes in UTF-16 is told from its UTF-8, but for the odd byte.
    const std::string utf8 = transcode(c.in, true);
    if (c.in.size() % 2 == 0) {
      EXPECT_EQ(platform::utf16_size_of(utf8.data(), utf8.size()), c.in.size());
    }
  }
}

TEST(Utf16, LittleEndianWithoutAMarkIsToldByItsFirstLines) {
  std::vector<unsigned> seventeen_lines;
  for (int line = 0; line < 16; ++line) seventeen_lines.insert(seventeen_lines.end(), {0x20AC, '\n'});
  seventeen_lines.insert(seventeen_lines.end(), {'N', 'D', '\n'});
  const struct {
    std::string start;
    bool whole;
    bool utf16;
  } cases[] = {
      {units({'N', 'D', ' ', '3', '\r', '\n'}), false, true},
      {units({'V', 0xE4, '\n', 0x20AC}), false, true},  // the first line shows it
      {units({'N', 'D', ' ', '3'}), true, true},        // the whole file, one line
      {units({'N', 'D', ' ', '3'}), false, false},      // its line end may still come
      {units({'\r', '\n', 'N', 'D', '\n'}), false, true},      // an empty first line shows nothing
      {units({'N', 0x20AC, '\r', 'N', 'D', '\r'}), false, true},  // nor one with a character beyond 255
      {units({'N', 0x20AC, '\n'}), false, false},
      {units(seventeen_lines), false, false},           // only the first 16 lines are looked at
      {"ND 2\r\n" + units({'T', 'S', '\r', '\n'}), false, false},  // 8-bit text, then UTF-16
      {units({'N', 0, 'D', '\n'}), false, false},       // a NUL
      {"ND 3\r\n", false, false},
      {std::string("N\0", 2), true, true},
      {std::string("N\0D", 3), true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::looks_like_utf16le(reinterpret_cast<const unsigned char*>(c.start.data()), c.start.size(), c.whole),
              c.utf16)
        << c.start.size();
  }
}

}  // namespace
