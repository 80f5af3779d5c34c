#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/files/input_channel.h"

namespace platform {

namespace {

// The bytes of x that are 0, as the top bit of each; above the first, a byte
// may be marked wrongly, so only the lowest mark counts.
constexpr std::uint64_t zero_bytes(std::uint64_t x) {
  return (x - 0x0101010101010101u) & ~x & 0x8080808080808080u;
}

// The first CR, LF or NUL from p on, eight bytes at a time: the buffer's
// padding keeps the reads past its closing NUL inside it.
const char* find_stop(const char* p) {
  static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");
  for (;; p += 8) {
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    const std::uint64_t stops =
        zero_bytes(x ^ 0x0A0A0A0A0A0A0A0Au) | zero_bytes(x ^ 0x0D0D0D0D0D0D0D0Du) | zero_bytes(x);
    if (stops) return p + std::countr_zero(stops) / 8;
  }
}

}  // namespace

bool InputChannel::read_line(std::string& line) {
  if (pos_ == source_.end() && !refill()) return false;
  line.clear();
  bool cut = false;
  for (;;) {
    char* const data = source_.data();
    const char* const limit = data + source_.end();
    const char* const start = data + pos_;
    const char* p = find_stop(start);
    const std::size_t room = kLineKeep - line.size();
    const std::size_t length = static_cast<std::size_t>(p - start);
    line.append(start, std::min(room, length));
    cut = cut || length > room;
    if (*p == '\0') {
      pos_ = static_cast<std::size_t>(p - data);
      if (p != limit) {  // a NUL within the line belongs to it
        ++pos_;
        if (line.size() < kLineKeep) line.push_back('\0'); else cut = true;
        continue;
      }
      if (refill()) continue;
      break;  // the last line has no line end
    }
    // A line end: CR, LF or CR LF.
    ++p;
    pos_ = static_cast<std::size_t>(p - data);
    if (p[-1] == '\r') {
      if (p == limit && !source_.exhausted()) refill();
      if (pos_ < source_.end() && source_.data()[pos_] == '\n') ++pos_;
    }
    ++line_;
    break;
  }
  line_fresh_ = true;
  line_cut_ = cut;
  return true;
}

bool InputChannel::skip_to_line_starting(char first, char second) {
  char previous = '\n';  // the byte before pos_
  for (;;) {
    if (pos_ == source_.end() && !refill()) return false;
    char* const data = source_.data();
    const char* const limit = data + source_.end();
    bool wait_for_more = false;
    for (const char* c = data + pos_; c < limit; ++c) {
      c = static_cast<const char*>(std::memchr(c, first, static_cast<std::size_t>(limit - c)));
      if (!c) break;
      // A line starts after an LF, or after a CR not followed by one.
      const char before = c == data + pos_ ? previous : c[-1];
      if (before != '\n' && before != '\r') continue;
      if (c + 1 == limit) {  // the second byte is still to come
        previous = before;
        pos_ = static_cast<std::size_t>(c - data);
        wait_for_more = true;
        break;
      }
      if (c[1] == second) {
        pos_ = static_cast<std::size_t>(c - data);
        line_fresh_ = true;
        return true;
      }
    }
    if (wait_for_more) {
      if (!refill()) return false;
      continue;
    }
    if (source_.end() > pos_) previous = data[source_.end() - 1];
    pos_ = source_.end();
  }
}

}  // namespace platform
