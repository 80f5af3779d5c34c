#include "platform/line_input.h"

#include <algorithm>

#include "platform/channel.h"
#include "platform/char_class.h"
#include "platform/runtime.h"

namespace platform {
bool __vbaLineInputStr(int channel, std::string& line) {
  Channel* c = open_channel(channel, kModeInput);
  if (!c) return false;
  if (c->pos == c->end && !refill(*c)) {
    c->failed_line = c->line;
    return fail(kPastEnd, "end of file");
  }
  line.clear();
  bool cut = false;
  for (;;) {
    char* const data = c->buffer.get();
    const char* const limit = data + c->end;
    const char* const start = data + c->pos;
    const char* p = start;
    while (!(char_class(*p) & kStop)) ++p;
    const std::size_t room = kLineKeep - line.size();
    const std::size_t length = static_cast<std::size_t>(p - start);
    line.append(start, std::min(room, length));
    cut = cut || length > room;
    if (*p == '\0') {
      c->pos = static_cast<std::size_t>(p - data);
      if (p != limit) {  // a NUL within the line belongs to it
        ++c->pos;
        if (line.size() < kLineKeep) line.push_back('\0'); else cut = true;
        continue;
      }
      if (refill(*c)) continue;
      break;  // the last line has no line end
    }
    // A line end: CR, LF or CR LF.
    ++p;
    c->pos = static_cast<std::size_t>(p - data);
    if (p[-1] == '\r') {
      if (p == limit && !c->exhausted) refill(*c);
      if (c->buffer[c->pos] == '\n' && c->pos < c->end) ++c->pos;
    }
    ++c->line;
    break;
  }
  c->line_fresh = true;
  c->line_cut = cut;
  return true;
}

bool line_was_cut(int channel) {
  return channel >= 1 && channel <= kMaxChannel && g_channels[channel].line_cut;
}

}  // namespace platform
