#include "platform/item_input.h"

namespace platform {
namespace {

// Takes separators up to the next item. False at the end of the file.
bool skip_separators(Channel& c) {
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

// Takes the rest of an item too long for the buffer.
void skip_long_item(Channel& c) {
  for (;;) {
    char* const data = c.buffer.get();
    const char* p = data + c.pos;
    while (!(char_class(*p) & (kSeparator | kStop))) ++p;
    c.pos = static_cast<std::size_t>(p - data);
    if (*p == '\0' && c.pos != c.end) {
      ++c.pos;
      continue;
    }
    if (c.pos == c.end && refill(c)) continue;
    c.line_fresh = false;
    return;
  }
}

}  // namespace

ItemResult read_item_slowly(Channel& c, std::uint8_t type, float& target) {
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


}  // namespace platform
