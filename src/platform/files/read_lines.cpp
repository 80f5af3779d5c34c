#include <algorithm>

#include "platform/files/input_channel.h"

namespace platform {

bool InputChannel::read_line(std::string& line) {
  if (pos_ == end_ && !refill()) return false;
  line.clear();
  bool cut = false;
  for (;;) {
    char* const data = buffer_.get();
    const char* const limit = data + end_;
    const char* const start = data + pos_;
    const char* p = start;
    while (!(char_class(*p) & kStop)) ++p;
    const std::size_t room = kLineKeep - line.size();
    const std::size_t length = static_cast<std::size_t>(p - start);
    line.append(start, std::min(room, length));
    cut = cut || length > room;
    if (*p == '\0') {
      pos_ = static_cast<std::size_t>(p - data);
      if (p != limit) {  // a NUL within the line belongs to it
        ++pos_;
        if (line.size() < kLineKeep) line.push_back('\0'); else cut = true;
        continue;
      }
      if (refill()) continue;
      break;  // the last line has no line end
    }
    // A line end: CR, LF or CR LF.
    ++p;
    pos_ = static_cast<std::size_t>(p - data);
    if (p[-1] == '\r') {
      if (p == limit && !exhausted_) refill();
      if (pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
    }
    ++line_;
    break;
  }
  line_fresh_ = true;
  line_cut_ = cut;
  return true;
}

}  // namespace platform
