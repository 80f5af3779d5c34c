#include "platform/item_input.h"

namespace platform {

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

}  // namespace platform
