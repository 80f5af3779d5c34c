#pragma once
// The item reader: numbers taken straight from an input channel's buffer.
//
// Items are separated by runs of blanks, tabs, commas and line ends. An item
// that is no number leaves its variable as it was. Within a line it is passed
// over and the reader goes on with the next item. As the first item of a line
// it is left where it is, with the rest of the call: such a line is likely no
// data at all (a block header, say), and the caller reads it as a line.

#include <cstddef>
#include <cstdint>

#include "platform/char_class.h"
#include "platform/descriptor.h"
#include "platform/input_channel.h"
#include "platform/number.h"

#if defined(_MSC_VER)
#define KASOR_HOT_INLINE __forceinline
#elif defined(__GNUC__)
#define KASOR_HOT_INLINE [[gnu::always_inline]] inline
#else
#define KASOR_HOT_INLINE inline
#endif

namespace platform {

// The quick way is taken while this much is left in the buffer, so that a
// short item never runs into its end.
inline constexpr std::size_t kNearEnd = 64;

KASOR_HOT_INLINE void InputChannel::end_item_line() {
  for (;;) {
    char* const data = buffer_.get();
    const char* const limit = data + end_;
    const char* p = data + pos_;
    while (*p == ' ' || *p == '\t') ++p;
    pos_ = static_cast<std::size_t>(p - data);
    if (!exhausted_ && (p == limit || (*p == '\r' && p + 1 == limit))) {
      refill();
      continue;
    }
    if (*p == '\n' || *p == '\r') {
      if (*p == '\r' && p[1] == '\n') ++p;
      ++p;
      ++line_;
      line_fresh_ = true;
      pos_ = static_cast<std::size_t>(p - data);
    }
    return;
  }
}

KASOR_HOT_INLINE ItemResult InputChannel::read_item(std::uint8_t type, float& target) {
  if (type == kItemSingle && pos_ + kNearEnd < end_) {
    const char* const data = buffer_.get();
    const char* p = data + pos_;
    // Blanks and tabs before the item; anything else the slow way.
    while (*p == ' ' || *p == '\t') ++p;
    if (!(char_class(*p) & kSeparator)) {
      float value;
      const char* item_end;
      if (scan_single(p, data + end_, exhausted_, value, item_end, scratch_) == Scan::kNumber) {
        target = value;
        pos_ = static_cast<std::size_t>(item_end - data);
        line_fresh_ = false;
        return ItemResult::kRead;
      }
    }
  }
  return read_item_slowly(type, target);
}

KASOR_HOT_INLINE PairRead InputChannel::read_pair(float& x, float& y) {
  const ItemResult first = read_item(kItemSingle, x);
  if (first != ItemResult::kRead && first != ItemResult::kUnreadable) return pair_stopped(first);
  const ItemResult second = read_item(kItemSingle, y);
  if (second != ItemResult::kRead && second != ItemResult::kUnreadable) return pair_stopped(second);
  end_item_line();
  if (first == ItemResult::kRead && second == ItemResult::kRead) return {PairStatus::kRead, 0};
  return {PairStatus::kUnreadable, failed_line_};
}

}  // namespace platform
