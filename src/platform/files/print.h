#pragma once
// Printing display text to an output channel.
//
// Numbers are shown in their shortest form that reads back as the same value
// ("0.5", "-0.25", "1e-07", "-0", "inf"); whole numbers in plain decimal.
// After an item, the descriptor says what follows: the next item directly,
// the next item at the next print zone (zones are 14 columns wide, counted
// from the first column, and at least one blank is left), or the line end,
// which is CR LF on every platform.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

#include "platform/descriptor.h"
#include "platform/files/output_channel.h"
#include "platform/numbers/shortest_single.h"
#include "platform/runtime.h"

namespace platform {

inline constexpr std::size_t kPrintZone = 14;

namespace print_detail {

// Room for any number's text, a line end and the blanks up to a zone.
inline constexpr std::size_t kItemRoom = 64 + kPrintZone;

inline char* put(char* out, float value) { return put_single(out, value); }
inline char* put(char* out, std::int32_t value) { return std::to_chars(out, out + 16, value).ptr; }

template <class T>
  requires std::is_same_v<T, float> || std::is_same_v<T, std::int32_t>
inline Status put_item(OutputChannel& c, std::uint8_t type, T value) {
  constexpr std::uint8_t kExpected = std::is_same_v<T, float> ? kItemSingle : kItemInteger;
  if ((type & kItemTypeBits) != kExpected) return failure(kBadCall, "descriptor");
  char* const out = c.room(kItemRoom);
  if (!out) return c.failure();
  c.wrote(put(out, value));
  return {};
}

inline Status put_item(OutputChannel& c, std::uint8_t type, std::string_view text) {
  if ((type & kItemTypeBits) != kItemText) return failure(kBadCall, "descriptor");
  for (;;) {
    char* const out = c.room(kItemRoom + 1);
    if (!out) return c.failure();
    const std::size_t n = std::min(text.size(), c.free_space() - kItemRoom);
    std::memcpy(out, text.data(), n);
    c.wrote(out + n);
    text.remove_prefix(n);
    if (text.empty()) return {};
  }
}

// What follows an item; each item leaves room for it. Blanks up to a zone are
// only written once another item follows them, so that no line ends in blanks.
inline void put_after(OutputChannel& c, std::uint8_t type, bool more_items) {
  const std::uint8_t after = type & kThenBits;
  if (after == kThenLineEnd) {
    char* const out = c.room(2);
    out[0] = '\r';
    out[1] = '\n';
    c.wrote_line_end(out + 2);
  } else if (after == kThenNextZone && more_items) {
    const std::size_t blanks = kPrintZone - c.column() % kPrintZone;
    char* const out = c.room(blanks);
    std::memset(out, ' ', blanks);
    c.wrote(out + blanks);
  }
}

}  // namespace print_detail

// Prints `items` to `channel` as `descriptor` lists them. Fails when the
// descriptor does not fit the items, or a write has failed.
template <class... Items>
inline Status print(OutputChannel& channel, std::span<const std::uint8_t> descriptor, const Items&... items) {
  if (channel.failed()) return channel.failure();
  if (!describes(descriptor, sizeof...(Items))) return failure(kBadCall, "descriptor");
  std::size_t index = 2;
  Status status;
  auto one = [&](const auto& item) {
    if (!status.ok()) return;
    const std::uint8_t type = descriptor[index++];
    status = print_detail::put_item(channel, type, item);
    if (status.ok()) print_detail::put_after(channel, type, index < descriptor.size());
  };
  (one(items), ...);
  return status;
}

// What print with the descriptor 02 00 04 84 prints, without reading the
// descriptor: x, blanks up to the next print zone, y, the line end. For the
// result's node lines, millions of them. False once a write has failed; the
// channel's failure() says how.
// x_read and y_read: the decimals x and y were read from, or 0.
inline bool print_pair_line(OutputChannel& channel, float x, float y, Decimal x_read = 0, Decimal y_read = 0) {
  if (channel.failed()) return false;
  char* const start = channel.room(2 * print_detail::kItemRoom);
  if (!start) return false;
  char* p = put_single(start, x, x_read);
  const std::size_t blanks = kPrintZone - (channel.column() + static_cast<std::size_t>(p - start)) % kPrintZone;
  std::memset(p, ' ', kPrintZone);  // all of them at once; the next item overwrites the rest
  p = put_single(p + blanks, y, y_read);
  p[0] = '\r';
  p[1] = '\n';
  channel.wrote_line_end(p + 2);
  return true;
}

}  // namespace platform
