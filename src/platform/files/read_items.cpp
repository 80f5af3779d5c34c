#include "platform/files/input_channel.h"

namespace platform {

// Takes separators up to the next item. False at the end of the data.
bool InputChannel::skip_separators() {
  for (;;) {
    char* const data = buffer_.get();
    const char* const limit = data + end_;
    const char* p = data + pos_;
    bool split_line_end = false;
    for (;;) {
      const char ch = *p;
      if (!(char_class(ch) & kSeparator)) break;
      if (ch == '\n') {
        ++line_;
        line_fresh_ = true;
      } else if (ch == '\r') {
        if (p + 1 == limit && !exhausted_) {  // a CR LF may be cut by the buffer's end
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
    if (!split_line_end && exhausted_) return false;
    refill();
  }
}

// Takes the rest of an item too long for the buffer.
void InputChannel::skip_long_item() {
  for (;;) {
    char* const data = buffer_.get();
    const char* p = data + pos_;
    while (!(char_class(*p) & (kSeparator | kStop))) ++p;
    pos_ = static_cast<std::size_t>(p - data);
    if (*p == '\0' && pos_ != end_) {
      ++pos_;
      continue;
    }
    if (pos_ == end_ && refill()) continue;
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
    const char* const data = buffer_.get();
    scan = scan_single(data + pos_, data + end_, exhausted_, value, item_end, scratch_);
    if (scan != Scan::kNeedMore) break;
    const bool more = refill();
    if (pos_ == end_) return item_failed(ItemResult::kEndOfData);  // the data ended before the item
    if (!more && !exhausted_) break;  // longer than the buffer: no number of ours
  }
  if (scan == Scan::kNumber) {
    target = value;
    pos_ = static_cast<std::size_t>(item_end - buffer_.get());
    line_fresh_ = false;
    return ItemResult::kRead;
  }
  if (line_fresh_) return item_failed(ItemResult::kLineNotData);
  if (scan == Scan::kNeedMore) {
    skip_long_item();
  } else {
    pos_ = static_cast<std::size_t>(item_end - buffer_.get());
  }
  return item_failed(ItemResult::kUnreadable);
}

std::size_t InputChannel::read_plain_pairs(const PairBuffers& out, std::size_t count, ParsePairs parse) {
  char* const data = buffer_.get();
  const PlainRun run = parse(data + pos_, data + end_, out, count, scratch_);
  if (run.pairs > 0) {
    pos_ = static_cast<std::size_t>(run.end - data);
    line_ += run.lines;
    line_fresh_ = run.line_end_last;
  }
  return run.pairs;
}

PairRead InputChannel::pair_stopped(ItemResult result) const {
  if (result == ItemResult::kLineNotData) return {PairStatus::kLineNotData, failed_line_};
  // A failed read: reported at the line it kept from being read.
  if (!read_error_.ok()) return {PairStatus::kReadError, line_};
  // The end of the data: reported at the last line that was read.
  return {PairStatus::kEndOfData, line_ - (line_fresh_ ? 1 : 0)};
}

}  // namespace platform
