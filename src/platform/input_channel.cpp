#include "platform/input_channel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/faults.h"
#include "platform/runtime.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace platform {
namespace fs = std::filesystem;

namespace {

std::FILE* open_for_reading(const fs::path& name) {
#ifdef _WIN32
  return _wfopen(name.c_str(), L"rb");
#else
  return std::fopen(name.c_str(), "rb");
#endif
}

#ifndef _WIN32
bool same_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
    if (ca != cb) return false;
  }
  return true;
}

// The one entry of name's folder that equals name apart from ASCII case, or
// an empty path when there is none or more than one.
fs::path find_ignoring_case(const fs::path& name) {
  std::error_code ec;
  const fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(".");
  const std::string wanted = name.filename().string();
  fs::path found;
  int matches = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (same_ignoring_case(it->path().filename().string(), wanted)) {
      found = it->path();
      ++matches;
    }
  }
  return matches == 1 ? found : fs::path();
}
#endif

bool is_folder(std::FILE* file) {
#ifdef _WIN32
  (void)file;  // a folder does not open as a file here
  return false;
#else
  struct stat st {};
  return fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

}  // namespace

bool InputChannel::start(std::FILE* file, const char* memory, std::size_t size, std::uint64_t file_left,
                         std::uint64_t base) {
  buffer_.reset(new (std::nothrow) char[kBufferSize + kPadding]);
  if (!buffer_) {
    if (file) std::fclose(file);
    return fail(kOutOfMemory, "input buffer");
  }
  if (file) std::setvbuf(file, nullptr, _IONBF, 0);  // the channel buffers; stdio need not copy again
  file_ = file;
  memory_ = memory;
  memory_left_ = size;
  file_left_ = file_left;
  base_ = base;
  pos_ = end_ = 0;
  buffer_[0] = '\0';
  exhausted_ = read_error_ = line_cut_ = false;
  line_fresh_ = true;
  line_ = 1;
  failed_line_ = 0;
  // Nothing is read yet: a read that fails belongs to the reading, not to the opening.
  first_read_ = base == 0;
  return true;
}

bool InputChannel::open_file(const fs::path& name) {
  if (is_open()) return fail(kChannelInUse, "input channel");
  fs::path opened = name;
  std::FILE* file = open_for_reading(name);
#ifndef _WIN32  // Windows matches names without regard to case already
  if (!file && errno == ENOENT) {
    const fs::path other = find_ignoring_case(name);
    if (!other.empty()) {
      file = open_for_reading(other);
      opened = other;
    }
  }
#endif
  if (!file) {
    const int code = errno;
    return fail(code == ENOENT ? kFileNotFound : kAccessDenied, system_reason(code));
  }
  if (is_folder(file)) {
    std::fclose(file);
    return fail(kAccessDenied, system_reason(EISDIR));
  }
  name_ = opened;
  return start(file, nullptr, 0, UINT64_MAX, 0);
}

bool InputChannel::open_range(const fs::path& name, std::uint64_t begin, std::uint64_t end) {
  if (is_open()) return fail(kChannelInUse, "input channel");
  if (end < begin) return fail(kBadCall, "open");
  std::FILE* file = open_for_reading(name);
  if (!file) return fail(kAccessDenied, system_reason(errno));
#ifdef _WIN32
  const bool placed = _fseeki64(file, static_cast<long long>(begin), SEEK_SET) == 0;
#else
  const bool placed = fseeko(file, static_cast<off_t>(begin), SEEK_SET) == 0;
#endif
  if (!placed) {
    std::fclose(file);
    return fail(kReadFailed, system_reason(errno));
  }
  name_ = name;
  return start(file, nullptr, 0, end - begin, begin);
}

bool InputChannel::open_memory(const char* data, std::size_t size) {
  if (is_open()) return fail(kChannelInUse, "input channel");
  return start(nullptr, data, size, UINT64_MAX, 0);
}

void InputChannel::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  memory_ = nullptr;
  memory_left_ = 0;
  buffer_.reset();
  pos_ = end_ = 0;
  name_.clear();
  scratch_.clear();
}

bool InputChannel::file_size(std::uint64_t& size) const {
  if (!file_) return false;
  std::error_code ec;
  const auto bytes = fs::file_size(name_, ec);
  if (ec) return false;
  size = bytes;
  return true;
}

bool InputChannel::refill() {
  if (exhausted_) return false;
  char* const data = buffer_.get();
  if (pos_ > 0) {
    std::memmove(data, data + pos_, end_ - pos_);
    base_ += pos_;
    end_ -= pos_;
    pos_ = 0;
  }
  const std::size_t held = end_;
  if (file_) {
    read_file();
  } else {
    const std::size_t got = std::min(kBufferSize - end_, memory_left_);
    std::memcpy(data + end_, memory_, got);
    memory_ += got;
    memory_left_ -= got;
    end_ += got;
    exhausted_ = memory_left_ == 0;
  }
  data[end_] = '\0';
  // A UTF-8 byte order mark is no part of the first line.
  if (first_read_ && end_ > 0) {
    first_read_ = false;
    if (end_ >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  }
  return end_ > std::max(held, pos_);
}

void InputChannel::read_file() {
  const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize - end_, file_left_));
  if (room == 0) {
    exhausted_ = file_left_ == 0;
    return;
  }
  // A read fault injected by a test: the file cannot be read from that offset on.
  std::size_t asked = room;
  bool cut_by_fault = false;
  if (g_faults.read_after >= 0) {
    const std::uint64_t at = base_ + end_;
    const auto limit = static_cast<std::uint64_t>(g_faults.read_after);
    if (at + asked > limit) {
      asked = at >= limit ? 0 : static_cast<std::size_t>(limit - at);
      cut_by_fault = true;
    }
  }
  const std::size_t got = asked > 0 ? std::fread(buffer_.get() + end_, 1, asked, file_) : 0;
  file_left_ -= got;
  end_ += got;
  if (got == room && file_left_ > 0) return;
  exhausted_ = true;
  if (!(cut_by_fault && got == asked) && !std::ferror(file_)) return;
  read_error_ = true;
  fail(kReadFailed, system_reason(cut_by_fault ? EIO : errno));
  // The line that the failed read cut off could end in a number cut short:
  // only whole lines count as read.
  const char* const data = buffer_.get();
  while (end_ > pos_ && data[end_ - 1] != '\n' && data[end_ - 1] != '\r') --end_;
}

}  // namespace platform
