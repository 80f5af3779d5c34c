#include "platform/item_input.h"

#include <string>

#include "platform/plain_pairs.h"

#include "platform/runtime.h"

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

// Records an item that could not be read, and returns `result`.
ItemResult InputChannel::item_failed(ItemResult result) {
  failed_line_ = line_;
  switch (result) {
    case ItemResult::kEndOfData: fail(kPastEnd, "end of file"); break;
    case ItemResult::kLineNotData: fail(kLineNotData, "line " + std::to_string(line_)); break;
    default: fail(kNotANumber, "line " + std::to_string(line_)); break;
  }
  return result;
}

ItemResult InputChannel::read_item_slowly(std::uint8_t type, float& target) {
  if (type != kItemSingle) {
    fail(kBadCall, "descriptor");
    return ItemResult::kBadCall;
  }
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

std::size_t InputChannel::read_plain_pairs(float* xs, float* ys, std::size_t count, Simd simd) {
  char* const data = buffer_.get();
  if (simd == Simd::kAvx2) {
    // Everything a run may touch lies before this, so that no number or line
    // end is cut by the end of the buffer, and every look-ahead stays inside it.
    const char* const stop = data + end_ - std::min<std::size_t>(end_, kNearEnd);
    const PlainRun run = plain_pairs_avx2(data + pos_, stop, xs, ys, count);
    if (run.pairs > 0) {
      pos_ = static_cast<std::size_t>(run.end - data);
      line_ += run.lines;
      line_fresh_ = run.line_end_last;
    }
    return run.pairs;
  }
  // The scalar way: pair after pair, two items on one line, each read the
  // quick way of read_item, and then what follows them.
  std::size_t read = 0;
  for (; read < count && pos_ + kNearEnd < end_; ++read) {
    const char* const near_end = data + end_ - kNearEnd;
    const char* p = data + pos_;
    float x, y;
    const char* end;
    while (*p == ' ' || *p == '\t') ++p;
    if ((char_class(*p) & kSeparator) || scan_single(p, data + end_, exhausted_, x, end, scratch_) != Scan::kNumber) break;
    p = end;
    while (*p == ' ' || *p == '\t') ++p;
    if ((char_class(*p) & kSeparator) || scan_single(p, data + end_, exhausted_, y, end, scratch_) != Scan::kNumber ||
        end >= near_end) {
      break;
    }
    xs[read] = x;
    ys[read] = y;
    pos_ = static_cast<std::size_t>(end - data);
    line_fresh_ = false;
    end_item_line();
  }
  return read;
}

PairRead InputChannel::pair_stopped(ItemResult result) const {
  if (result == ItemResult::kLineNotData) return {PairStatus::kLineNotData, failed_line_};
  // A failed read: reported at the line it kept from being read.
  if (read_error_) return {PairStatus::kReadError, line_};
  // The end of the data: reported at the last line that was read.
  return {PairStatus::kEndOfData, line_ - (line_fresh_ ? 1 : 0)};
}

}  // namespace platform
