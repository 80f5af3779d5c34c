#include "platform/files/input_channel.h"

namespace platform {

// Takes separators up to the next item. False at the end of the data.
bool InputChannel::skip_separators() {
  for (;;) {
    char* const data = source_.data();
    const char* const limit = data + source_.end();
    const char* p = data + pos_;
    bool split_line_end = false;
    for (;;) {
      const char ch = *p;
      if (!(char_class(ch) & kSeparator)) break;
      if (ch == '\n') {
        ++line_;
        line_fresh_ = true;
      } else if (ch == '\r') {
        if (p + 1 == limit && !source_.exhausted()) {  // a CR LF may be cut by the buffer's end
          split_line_end = true;
          break;
        }
        if (p[1] != '\n') {
          ++line_;
          line_fresh_ = true;
        }
      }
      ++p;
    }
    pos_ = static_cast<std::size_t>(p - data);
    if (!split_line_end && p != limit) return true;
    if (!split_line_end && source_.exhausted()) return false;
    refill();
  }
}

// Takes the rest of an item too long for the buffer.
void InputChannel::skip_long_item() {
  for (;;) {
    char* const data = source_.data();
    const char* p = data + pos_;
    while (!(char_class(*p) & (kSeparator | kStop))) ++p;
    pos_ = static_cast<std::size_t>(p - data);
    if (*p == '\0' && pos_ != source_.end()) {
      ++pos_;
      continue;
    }
    if (pos_ == source_.end() && refill()) continue;
    line_fresh_ = false;
    return;
  }
}

// Notes the line of an item that could not be read, and returns `result`.
ItemResult InputChannel::item_failed(ItemResult result) {
  failed_line_ = line_;
  return result;
}

ItemResult InputChannel::read_item_slowly(std::uint8_t type, float& target) {
  if (type != kItemSingle) return ItemResult::kBadCall;
  if (!skip_separators()) return item_failed(ItemResult::kEndOfData);
  float value;
  const char* item_end;
  Scan scan;
  for (;;) {
    const char* const data = source_.data();
    scan = scan_single(data + pos_, data + source_.end(), source_.exhausted(), value, item_end, scratch_);
    if (scan != Scan::kNeedMore) break;
    const bool more = refill();
    if (pos_ == source_.end()) return item_failed(ItemResult::kEndOfData);  // the data ended before the item
    if (!more && !source_.exhausted()) break;  // longer than the buffer: no number of ours
  }
  if (scan == Scan::kNumber) {
    target = value;
    pos_ = static_cast<std::size_t>(item_end - source_.data());
    line_fresh_ = false;
    return ItemResult::kRead;
  }
  if (line_fresh_) return item_failed(ItemResult::kLineNotData);
  if (scan == Scan::kNeedMore) {
    skip_long_item();
  } else {
    pos_ = static_cast<std::size_t>(item_end - source_.data());
  }
  return item_failed(ItemResult::kUnreadable);
}

}  // namespace platform
