#pragma once
// The item reader: numbers taken straight from an input channel's buffer.
//
// Items are separated by runs of blanks, tabs, commas and line ends. Each call
// reads the items its descriptor lists and then takes blanks and tabs and one
// line end, so that a file whose last line holds the last items is at its end
// afterwards.
//
// An item that is no number leaves its variable as it was and the call fails.
// Within a line it is taken and the call goes on with the next item. As the
// first item of a line it is left where it is, with the rest of the call: such
// a line is likely no data at all (a block header, say), and the caller reads
// it as a line.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/channel.h"
#include "platform/char_class.h"
#include "platform/number.h"
#include "platform/runtime.h"

namespace platform {

// Item types in a descriptor.
inline constexpr std::uint8_t kItemInteger = 3;
inline constexpr std::uint8_t kItemSingle = 4;
inline constexpr std::uint8_t kItemText = 8;

enum class ItemResult { kRead, kUnreadable, kStopped };

// Takes separators up to the next item. False at the end of the file.
inline bool skip_separators(Channel& c) {
  for (;;) {
    char* const data = c.buffer.get();
    const char* const limit = data + c.end;
    const char* p = data + c.pos;
    bool split_line_end = false;
    for (;;) {
      const char ch = *p;
      if (!(char_class(ch) & kSeparator)) break;
      if (ch == '\n') {
        ++c.line;
        c.line_fresh = true;
      } else if (ch == '\r') {
        if (p + 1 == limit && !c.exhausted) {  // a CR LF may be cut by the buffer's end
          split_line_end = true;
          break;
        }
        if (p[1] != '\n') {
          ++c.line;
          c.line_fresh = true;
        }
      }
      ++p;
    }
    c.pos = static_cast<std::size_t>(p - data);
    if (!split_line_end && p != limit) return true;
    if (!split_line_end && c.exhausted) return false;
    refill(c);
  }
}

// Takes blanks and tabs and then one line end, after the last item of a call.
inline void end_item_line(Channel& c) {
  for (;;) {
    char* const data = c.buffer.get();
    const char* const limit = data + c.end;
    const char* p = data + c.pos;
    while (*p == ' ' || *p == '\t') ++p;
    c.pos = static_cast<std::size_t>(p - data);
    if (!c.exhausted && (p == limit || (*p == '\r' && p + 1 == limit))) {
      refill(c);
      continue;
    }
    if (*p == '\n' || *p == '\r') {
      if (*p == '\r' && p[1] == '\n') ++p;
      ++p;
      ++c.line;
      c.line_fresh = true;
      c.pos = static_cast<std::size_t>(p - data);
    }
    return;
  }
}

// Takes the rest of an item too long for the buffer.
void skip_long_item(Channel& c);

inline ItemResult read_item(Channel& c, std::uint8_t type, float& target) {
  if (type != kItemSingle) {
    fail(kBadCall, "descriptor");
    return ItemResult::kStopped;
  }
  if (!skip_separators(c)) {
    c.failed_line = c.line;
    fail(kPastEnd, "end of file");
    return ItemResult::kStopped;
  }
  float value;
  const char* item_end;
  Scan scan;
  for (;;) {
    const char* const data = c.buffer.get();
    scan = scan_single(data + c.pos, data + c.end, c.exhausted, value, item_end, c.scratch);
    if (scan != Scan::kNeedMore) break;
    if (c.pos == 0 && c.end == kBufferSize) break;  // longer than the buffer: no number of ours
    refill(c);
  }
  if (scan == Scan::kNumber) {
    target = value;
    c.pos = static_cast<std::size_t>(item_end - c.buffer.get());
    c.line_fresh = false;
    return ItemResult::kRead;
  }
  c.failed_line = c.line;
  if (c.line_fresh) {
    fail(kLineNotData, "line " + std::to_string(c.line));
    return ItemResult::kStopped;
  }
  if (scan == Scan::kNeedMore) {
    skip_long_item(c);
  } else {
    c.pos = static_cast<std::size_t>(item_end - c.buffer.get());
  }
  fail(kNotANumber, "line " + std::to_string(c.line));
  return ItemResult::kUnreadable;
}

// Reads items from `channel` into `targets` as `descriptor` lists them: a
// 16-bit little-endian count, then one type byte per item. Only single
// precision items (type 4) are read by this program.
template <class... Targets>
inline bool __vbaInputFile(int channel, std::span<const std::uint8_t> descriptor, Targets&... targets) {
  Channel* c = open_channel(channel, kModeInput);
  if (!c) return false;
  const std::size_t count = descriptor.size() >= 2 ? descriptor[0] | (descriptor[1] << 8) : 0;
  if (count != sizeof...(Targets) || descriptor.size() != 2 + count) return fail(kBadCall, "descriptor");
  std::size_t index = 2;
  bool all_read = true;
  bool stopped = false;
  auto one = [&](auto& target) {
    if (stopped) return;
    const ItemResult result = read_item(*c, descriptor[index++], target);
    all_read = all_read && result == ItemResult::kRead;
    stopped = result == ItemResult::kStopped;
  };
  (one(targets), ...);
  if (!stopped) end_item_line(*c);
  return all_read;
}

}  // namespace platform
