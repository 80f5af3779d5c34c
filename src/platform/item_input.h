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
#include <type_traits>

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

// The quick way is taken while this much is left in the buffer, so that a
// short item never runs into its end.
inline constexpr std::size_t kNearEnd = 64;

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

// The rest of read_item, off the common path: an item cut by the end of the
// buffer, an item that is no number, a descriptor that asks for another type,
// the end of the file.
ItemResult read_item_slowly(Channel& c, std::uint8_t type, float& target);

#if defined(__GNUC__)
#define KASOR_HOT_INLINE [[gnu::always_inline]] inline
#else
#define KASOR_HOT_INLINE inline
#endif

KASOR_HOT_INLINE ItemResult read_item(Channel& c, std::uint8_t type, float& target) {
  if (type == kItemSingle && c.pos + kNearEnd < c.end) {
    const char* const data = c.buffer.get();
    const char* p = data + c.pos;
    // Blanks and tabs before the item; anything else the slow way.
    while (*p == ' ' || *p == '\t') ++p;
    if (!(char_class(*p) & kSeparator)) {
      float value;
      const char* item_end;
      if (scan_single(p, data + c.end, c.exhausted, value, item_end, c.scratch) == Scan::kNumber) {
        target = value;
        c.pos = static_cast<std::size_t>(item_end - data);
        c.line_fresh = false;
        return ItemResult::kRead;
      }
    }
  }
  return read_item_slowly(c, type, target);
}

// Reads items from `channel` into `targets` as `descriptor` lists them: a
// 16-bit little-endian count, then one type byte per item. Only single
// precision items (type 4) are read by this program.
template <class... Targets>
  requires(std::is_same_v<Targets, float> && ...)
KASOR_HOT_INLINE bool __vbaInputFile(int channel, std::span<const std::uint8_t> descriptor, Targets&... targets) {
  Channel* c = open_channel(channel, kModeInput);
  if (!c) return false;
  const std::size_t count = descriptor.size() >= 2 ? descriptor[0] | (descriptor[1] << 8) : 0;
  if (count != sizeof...(Targets) || descriptor.size() != 2 + count) return fail(kBadCall, "descriptor");
  float* const slots[] = {&targets...};
  bool all_read = true;
  for (std::size_t i = 0; i < sizeof...(Targets); ++i) {
    const ItemResult result = read_item(*c, descriptor[2 + i], *slots[i]);
    if (result == ItemResult::kStopped) return false;
    all_read = all_read && result == ItemResult::kRead;
  }
  end_item_line(*c);
  return all_read;
}

}  // namespace platform
