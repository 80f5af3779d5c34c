#include "platform/files/input_channel.h"

namespace platform {

Status InputChannel::started(Status opened) {
  pos_ = 0;
  line_fresh_ = true;
  line_cut_ = false;
  line_ = 1;
  failed_line_ = 0;
  return opened;
}

Status InputChannel::open_file(const std::filesystem::path& name) { return started(source_.open_file(name)); }

Status InputChannel::open_range(const std::filesystem::path& name, std::uint64_t begin, std::uint64_t end) {
  return started(source_.open_range(name, begin, end));
}

Status InputChannel::open_memory(const char* data, std::size_t size) {
  return started(source_.open_memory(data, size));
}

void InputChannel::close() {
  source_.close();
  pos_ = 0;
  scratch_.clear();
}

}  // namespace platform
