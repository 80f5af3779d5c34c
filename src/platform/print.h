#pragma once
// Printing display text to an output channel.
//
// Numbers are shown in their shortest form that reads back as the same value
// ("0.5", "-0.25", "1e-07", "-0", "inf"); whole numbers in plain decimal.
// After an item, the descriptor says what follows: 0x40 the next item directly,
// 0x00 the next item at the next print zone (zones are 14 columns wide,
// counted from the first column, and at least one blank is left), 0x80 the
// line end, which is CR LF on every platform.

#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>
#include <algorithm>

#include "platform/channel.h"
#include "platform/display.h"
#include "platform/item_input.h"
#include "platform/runtime.h"

namespace platform {

inline constexpr std::uint8_t kThenDirectly = 0x40;
inline constexpr std::uint8_t kThenNextZone = 0x00;
inline constexpr std::uint8_t kThenLineEnd = 0x80;
inline constexpr std::size_t kPrintZone = 14;

namespace print_detail {

// Room for any number's text, a line end and the blanks up to a zone.
inline constexpr std::size_t kItemRoom = 64 + kPrintZone;

inline bool make_room(Channel& c, std::size_t bytes) {
  return c.end + bytes <= kBufferSize || flush_output(c);
}

inline char* put(char* out, float value) { return put_single(out, value); }
inline char* put(char* out, std::int32_t value) { return std::to_chars(out, out + 16, value).ptr; }

template <class T>
  requires std::is_same_v<T, float> || std::is_same_v<T, std::int32_t>
inline bool put_item(Channel& c, std::uint8_t type, T value) {
  constexpr std::uint8_t kExpected = std::is_same_v<T, float> ? kItemSingle : kItemInteger;
  if ((type & 0x3F) != kExpected) return fail(kBadCall, "descriptor");
  if (!make_room(c, kItemRoom)) return false;
  char* const start = c.buffer.get() + c.end;
  const char* const end = put(start, value);
  c.end += static_cast<std::size_t>(end - start);
  c.column += static_cast<std::size_t>(end - start);
  return true;
}

inline bool put_item(Channel& c, std::uint8_t type, std::string_view text) {
  if ((type & 0x3F) != kItemText) return fail(kBadCall, "descriptor");
  for (;;) {
    if (!make_room(c, kItemRoom + 1)) return false;
    const std::size_t n = std::min(text.size(), kBufferSize - c.end - kItemRoom);
    std::memcpy(c.buffer.get() + c.end, text.data(), n);
    c.end += n;
    c.column += n;
    text.remove_prefix(n);
    if (text.empty()) return true;
  }
}

// What follows an item. Blanks up to a zone are only written once another
// item follows them, so that no line ends in blanks.
inline void put_after(Channel& c, std::uint8_t type, bool more_items) {
  const std::uint8_t after = type & 0xC0;
  if (after == kThenLineEnd) {
    char* out = c.buffer.get() + c.end;
    out[0] = '\r';
    out[1] = '\n';
    c.end += 2;
    c.column = 0;
  } else if (after == kThenNextZone && more_items) {
    const std::size_t zone = (c.column / kPrintZone + 1) * kPrintZone;
    std::memset(c.buffer.get() + c.end, ' ', zone - c.column);
    c.end += zone - c.column;
    c.column = zone;
  }
}

}  // namespace print_detail

// Prints `items` to `channel` as `descriptor` lists them: a 16-bit
// little-endian count, then one byte per item, its type (3 whole number, 4
// single, 8 text) and what follows it. False when the channel is not open
// for output, or any write to it has failed.
template <class... Items>
inline bool __vbaPrintFile(int channel, std::span<const std::uint8_t> descriptor, const Items&... items) {
  Channel* c = open_channel(channel, kModeOutput);
  if (!c) return false;
  if (c->write_failed) return fail(kWriteFailed, c->first_failure);
  const std::size_t count = descriptor.size() >= 2 ? descriptor[0] | (descriptor[1] << 8) : 0;
  if (count != sizeof...(Items) || descriptor.size() != 2 + count) return fail(kBadCall, "descriptor");
  std::size_t index = 2;
  bool ok = true;
  auto one = [&](const auto& item) {
    if (!ok) return;
    const std::uint8_t type = descriptor[index++];
    ok = print_detail::put_item(*c, type, item);
    if (ok) print_detail::put_after(*c, type, index < descriptor.size());
  };
  (one(items), ...);
  return ok;
}

}  // namespace platform
