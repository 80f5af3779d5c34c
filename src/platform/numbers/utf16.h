#pragma once
// UTF-16 text, as Windows tools save it ("Unicode" in Notepad, PowerShell's
// Out-File), turned into UTF-8, the bytes the readers take.

#include <cstddef>
#include <cstdint>

namespace platform {

struct Transcoded {
  std::size_t consumed;  // bytes of UTF-16 taken
  std::size_t produced;  // bytes of UTF-8 written
};

// Transcodes the UTF-16 at `in` (`size` bytes) into UTF-8 at `out`, as much
// as fits in `room` bytes. A surrogate without its partner becomes U+FFFD.
// A high surrogate or an odd byte at the end of `in` waits for the next call,
// unless `last` says that nothing follows: then it becomes U+FFFD too.
Transcoded utf16_to_utf8(const unsigned char* in, std::size_t size, bool big_endian, bool last, char* out,
                         std::size_t room);

// The bytes of UTF-16 that the UTF-8 at `utf8` was made from by utf16_to_utf8
// (2 for each character, 4 beyond the 16-bit range).
std::uint64_t utf16_size_of(const char* utf8, std::size_t size);

// True when the start of a file (`size` bytes at `data`; `whole` when that is
// all of it) reads as UTF-16 little-endian without a byte order mark: one of
// its first 16 lines that are not empty is one or more characters below
// 256, none of them NUL, each followed by a zero byte, and ends with a line
// end (or the file). A line with other characters (a euro sign, say) shows
// nothing either way; but two in a row that are each two bytes of 8-bit text
// show 8-bit text, and then the file is none.
bool looks_like_utf16le(const unsigned char* data, std::size_t size, bool whole);

}  // namespace platform
