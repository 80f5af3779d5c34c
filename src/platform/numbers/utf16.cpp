#include "platform/numbers/utf16.h"

namespace platform {
namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;

unsigned unit_at(const unsigned char* p, bool big_endian) {
  return big_endian ? (unsigned{p[0]} << 8 | p[1]) : (unsigned{p[1]} << 8 | p[0]);
}

// Writes `c` as UTF-8; returns its length.
std::size_t put_utf8(char* out, std::uint32_t c) {
  auto byte = [](std::uint32_t v) { return static_cast<char>(static_cast<unsigned char>(v)); };
  if (c < 0x80) {
    out[0] = byte(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = byte(0xC0 | c >> 6);
    out[1] = byte(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = byte(0xE0 | c >> 12);
    out[1] = byte(0x80 | (c >> 6 & 0x3F));
    out[2] = byte(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = byte(0xF0 | c >> 18);
  out[1] = byte(0x80 | (c >> 12 & 0x3F));
  out[2] = byte(0x80 | (c >> 6 & 0x3F));
  out[3] = byte(0x80 | (c & 0x3F));
  return 4;
}

}  // namespace

Transcoded utf16_to_utf8(const unsigned char* in, std::size_t size, bool big_endian, bool last, char* out,
                         std::size_t room) {
  std::size_t i = 0, o = 0;
  while (room - o >= 4) {  // room for any character
    if (size - i < 2) {
      if (size - i == 1 && last) {  // an odd byte at the very end
        o += put_utf8(out + o, kReplacement);
        ++i;
      }
      break;
    }
    const unsigned unit = unit_at(in + i, big_endian);
    if (unit < 0x80) {  // the common case
      out[o++] = static_cast<char>(unit);
      i += 2;
      continue;
    }
    std::uint32_t c = unit;
    std::size_t units = 1;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (size - i < 4 && !last) break;  // its partner may come with the next call
      const unsigned next = size - i >= 4 ? unit_at(in + i + 2, big_endian) : 0;
      if (next >= 0xDC00 && next <= 0xDFFF) {
        c = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
        units = 2;
      } else {
        c = kReplacement;
      }
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      c = kReplacement;
    }
    o += put_utf8(out + o, c);
    i += 2 * units;
  }
  return {i, o};
}

std::uint64_t utf16_size_of(const char* utf8, std::size_t size) {
  std::uint64_t bytes = 0;
  for (std::size_t k = 0; k < size; ++k) {
    const auto b = static_cast<unsigned char>(utf8[k]);
    if ((b & 0xC0) != 0x80) bytes += b >= 0xF0 ? 4 : 2;  // each character's first byte
  }
  return bytes;
}

bool looks_like_utf16le(const unsigned char* data, std::size_t size, bool whole) {
  constexpr int kLinesLookedAt = 16;
  auto is_text_byte = [](unsigned char b) { return b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b <= 0x7E); };
  int lines = 0;
  std::size_t characters = 0;  // of the line so far, each below 256 and no NUL
  bool shows_it = true;        // no other character in the line so far
  bool text_pair = false;      // the unit before was two bytes of 8-bit text
  std::size_t i = 0;
  for (; i + 1 < size && lines < kLinesLookedAt; i += 2) {
    const bool line_end = data[i + 1] == 0 && (data[i] == '\n' || data[i] == '\r');
    if (line_end) {
      if (shows_it && characters > 0) return true;
      if (characters > 0 || !shows_it) ++lines;
      characters = 0;
      shows_it = true;
    } else if (data[i + 1] == 0 && data[i] != 0) {
      ++characters;
    } else {
      shows_it = false;
      // 8-bit text seen as UTF-16: a file that starts so is no UTF-16, whatever follows.
      const bool pair = is_text_byte(data[i]) && is_text_byte(data[i + 1]);
      if (pair && text_pair) return false;
      text_pair = pair;
      continue;
    }
    text_pair = false;
  }
  // A last line without a line end, if it is all the file has.
  return whole && i == size && shows_it && characters > 0;
}

}  // namespace platform
