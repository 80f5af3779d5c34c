#include "platform/files/output_channel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files/file_calls.h"

namespace platform {
namespace fs = std::filesystem;

Status OutputChannel::open_file(const fs::path& target) {
  if (is_open()) return platform::failure(kChannelInUse, "output channel", target);
  buffer_ = new_buffer(kOutputBufferSize, Buffer::kOutput);
  if (!buffer_) return platform::failure(kOutOfMemory, system_reason(ENOMEM), target);
  Status begun = begin_replacement(target, file_);
  if (!begun.ok()) {
    buffer_.reset();
    return begun;
  }
  to_file_ = true;
  end_ = column_ = 0;
  failure_ = {};
  return {};
}

Status OutputChannel::open_memory() {
  if (is_open()) return platform::failure(kChannelInUse, "output channel");
  buffer_ = new_buffer(kOutputBufferSize, Buffer::kMemory);
  if (!buffer_) return platform::failure(kOutOfMemory, system_reason(ENOMEM));
  to_file_ = false;
  end_ = column_ = 0;
  failure_ = {};
  collected_.clear();
  return {};
}

bool OutputChannel::flush() {
  if (failed()) return false;
  if (!to_file_) {
    collected_.append(buffer_.get(), end_);
    end_ = 0;
    return true;
  }
  failure_ = write_replacement(file_, buffer_.get(), end_);
  end_ = 0;
  return failure_.ok();
}

void OutputChannel::reset() {
  to_file_ = false;
  buffer_.reset();
  end_ = column_ = 0;
  file_ = Replacement{};
  collected_.clear();
  collected_.shrink_to_fit();
}

Status OutputChannel::close() {
  if (!is_open()) return platform::failure(kChannelNotOpen, "output channel");
  Status status;
  if (to_file_) {
    if (flush()) {
      status = finish_replacement(file_);
    } else {
      status = failure_;
      abandon_replacement(file_);
    }
  }
  reset();
  return status;
}

void OutputChannel::discard() {
  if (to_file_) abandon_replacement(file_);
  reset();
}

std::string_view OutputChannel::printed() {
  if (collected_.empty()) return std::string_view(buffer_.get(), end_);  // all of it still in the buffer
  flush();
  return collected_;
}

void OutputChannel::empty() {
  collected_.clear();
  end_ = column_ = 0;
}

bool OutputChannel::write_bytes(std::string_view bytes) {
  // A large piece goes to the file as it is, not through the buffer.
  if (to_file_ && bytes.size() >= kOutputBufferSize / 4 && flush()) {
    failure_ = write_replacement(file_, bytes.data(), bytes.size());
    column_ = 0;
    return !failed();
  }
  while (!bytes.empty()) {
    char* out = room(1);
    if (!out) return false;
    const std::size_t n = std::min(bytes.size(), free_space());
    std::memcpy(out, bytes.data(), n);
    end_ += n;
    bytes.remove_prefix(n);
  }
  column_ = 0;
  return !failed();
}

}  // namespace platform
