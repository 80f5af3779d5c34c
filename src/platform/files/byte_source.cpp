#include "platform/files/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/files/file_calls.h"
#include "platform/numbers/utf16.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace platform {
namespace fs = std::filesystem;

namespace {

bool is_line_end(char c) { return c == '\n' || c == '\r'; }

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

// The entries of name's folder that equal name apart from ASCII case, in
// the order of their names.
std::vector<fs::path> find_ignoring_case(const fs::path& name) {
  std::error_code ec;
  const fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(".");
  const std::string wanted = name.filename().string();
  std::vector<fs::path> found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (same_ignoring_case(it->path().filename().string(), wanted)) found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}
#endif

}  // namespace

Status ByteSource::start(int fd, const char* memory, std::size_t size, std::uint64_t file_left, std::uint64_t base) {
  buffer_ = new_buffer(kBufferSize + kPadding, Buffer::kInput);
  if (!buffer_) {
    if (fd >= 0) close_descriptor(fd);
    return failure(kOutOfMemory, system_reason(ENOMEM), name_);
  }
  fd_ = fd;
  memory_ = memory;
  memory_left_ = size;
  file_left_ = file_left;
  base_ = base;
  end_ = filled_ = mark_ = 0;
  buffer_[0] = '\0';
  source_done_ = exhausted_ = changed_ = false;
  before_buffer_ = '\n';
  last_byte_line_end_ = true;
  encoding_ = Encoding::kBytes;
  raw_.reset();
  raw_pos_ = raw_end_ = 0;
  mapped_pos_ = 0;
  mapped_bytes_ = 0;
  read_error_ = {};
  // Nothing is read yet: a read that fails belongs to the reading, not to the opening.
  first_fill_ = base == 0;
  return {};
}

Status ByteSource::open_file(const fs::path& name) {
  if (is_open()) return failure(kChannelInUse, "input", name);
  fs::path opened = name;
  int error = 0;
  int fd = open_for_reading(name, error);
#ifndef _WIN32  // Windows matches names without regard to case already
  if (fd < 0 && error == ENOENT) {
    const std::vector<fs::path> others = find_ignoring_case(name);
    if (others.size() == 1) {
      fd = open_for_reading(others.front(), error);
      opened = others.front();
    } else if (others.size() > 1) {  // which is meant is not for this program to guess
      std::string names;
      for (const fs::path& other : others) names += (names.empty() ? "" : ", ") + other.filename().string();
      return failure(kNameAmbiguous, names, name);
    }
  }
#endif
  if (fd < 0) return failure(error == ENOENT ? kFileNotFound : kAccessDenied, system_reason(error), name);
  FileStamp stamp;
  bool folder = false;
  if (!stamp_of_open_file(fd, stamp, folder) || folder) {
    close_descriptor(fd);
    return failure(kAccessDenied, system_reason(folder ? EISDIR : EIO), name);
  }
  name_ = opened;
  Status started = start(fd, nullptr, 0, UINT64_MAX, 0);
  if (!started.ok()) return started;
  whole_file_ = true;
  opened_ = stamp;
  return {};
}

Status ByteSource::open_range(const fs::path& name, std::uint64_t begin, std::uint64_t end) {
  if (is_open()) return failure(kChannelInUse, "input", name);
  if (end < begin) return failure(kBadCall, "open", name);
  int error = 0;
  const int fd = open_for_reading(name, error);
  if (fd < 0) return failure(kAccessDenied, system_reason(error), name);
#ifdef _WIN32
  const bool placed = _lseeki64(fd, static_cast<long long>(begin), SEEK_SET) >= 0;
#else
  const bool placed = lseek(fd, static_cast<off_t>(begin), SEEK_SET) >= 0;
#endif
  if (!placed) {
    const int code = errno;
    close_descriptor(fd);
    return failure(kReadFailed, system_reason(code), name);
  }
  name_ = name;
  Status started = start(fd, nullptr, 0, end - begin, begin);
  if (!started.ok()) return started;
  whole_file_ = false;
  first_fill_ = false;
  return {};
}

Status ByteSource::open_memory(const char* data, std::size_t size) {
  if (is_open()) return failure(kChannelInUse, "input");
  Status started = start(-1, data, size, UINT64_MAX, 0);
  if (!started.ok()) return started;
  whole_file_ = true;
  return {};
}

void ByteSource::close() {
  if (fd_ >= 0) close_descriptor(fd_);
  fd_ = -1;
  memory_ = nullptr;
  memory_left_ = 0;
  buffer_.reset();
  raw_.reset();
  end_ = filled_ = 0;
  name_.clear();
}

bool ByteSource::file_size(std::uint64_t& size) const {
  if (fd_ < 0 || !whole_file_ || !opened_.regular) return false;
  size = opened_.size;
  return true;
}

bool ByteSource::changed() {
  if (changed_ || fd_ < 0 || !whole_file_ || !opened_.regular) return changed_;
  FileStamp now, named;
  bool folder = false;
  changed_ = !stamp_of_open_file(fd_, now, folder) || now != opened_ || !stamp_of_name(name_, named) || named != opened_;
  return changed_;
}

std::uint64_t ByteSource::utf16_offset(std::size_t pos) const {
  if (mapped_pos_ > pos) mapped_pos_ = mapped_bytes_ = 0;
  mapped_bytes_ += utf16_size_of(buffer_.get() + mapped_pos_, pos - mapped_pos_);
  mapped_pos_ = pos;
  return base_ + mapped_bytes_;
}

std::size_t ByteSource::take(char* data, std::size_t size) {
  if (fd_ < 0) {
    const std::size_t got = std::min(size, memory_left_);
    std::memcpy(data, memory_, got);
    memory_ += got;
    memory_left_ -= got;
    source_done_ = memory_left_ == 0;
    return got;
  }
  const auto asked = static_cast<std::size_t>(std::min<std::uint64_t>(size, file_left_));
  if (asked == 0) {
    source_done_ = file_left_ == 0;
    return 0;
  }
  int error = 0;
  const std::size_t got = read_fully(fd_, data, asked, error);
  file_left_ -= got;
  if (got == asked && file_left_ > 0) return got;
  source_done_ = true;
  if (error != 0) read_error_ = failure(kReadFailed, system_reason(error), name_);
  return got;
}

void ByteSource::detect_encoding() {
  first_fill_ = false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer_.get());
  std::size_t skip = 0;
  if (filled_ >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
    mark_ = 3;  // a UTF-8 byte order mark is no part of the first line
    return;
  }
  if (filled_ >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    encoding_ = Encoding::kUtf16Le;
    skip = 2;
  } else if (filled_ >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    encoding_ = Encoding::kUtf16Be;
    skip = 2;
  } else if (looks_like_utf16le(bytes, filled_, source_done_)) {
    encoding_ = Encoding::kUtf16Le;
  } else {
    return;
  }
  // What was read goes to the UTF-16 side, to be turned into UTF-8 from there.
  raw_.reset(new (std::nothrow) unsigned char[kBufferSize]);
  if (!raw_) {  // read as bytes, as it is: it then has no count line to be found
    encoding_ = Encoding::kBytes;
    return;
  }
  raw_end_ = filled_ - skip;
  std::memcpy(raw_.get(), bytes + skip, raw_end_);
  raw_pos_ = 0;
  base_ = skip;
  filled_ = 0;
}

void ByteSource::fill() {
  char* const data = buffer_.get();
  if (encoding_ == Encoding::kBytes) {
    filled_ += take(data + filled_, kBufferSize - filled_);
    if (first_fill_) detect_encoding();
    if (encoding_ == Encoding::kBytes) {
      exhausted_ = source_done_;
      return;
    }
  }
  for (;;) {
    const Transcoded t = utf16_to_utf8(raw_.get() + raw_pos_, raw_end_ - raw_pos_, encoding_ == Encoding::kUtf16Be,
                                       source_done_, data + filled_, kBufferSize - filled_);
    raw_pos_ += t.consumed;
    filled_ += t.produced;
    if (source_done_ || kBufferSize - filled_ < 4) break;
    std::memmove(raw_.get(), raw_.get() + raw_pos_, raw_end_ - raw_pos_);
    raw_end_ -= raw_pos_;
    raw_pos_ = 0;
    const std::size_t got = take(reinterpret_cast<char*>(raw_.get()) + raw_end_, kBufferSize - raw_end_);
    raw_end_ += got;
    if (got == 0 && !source_done_) break;
  }
  exhausted_ = source_done_ && raw_pos_ == raw_end_;
}

bool ByteSource::refill(std::size_t& pos) {
  if (exhausted_) return false;
  char* const data = buffer_.get();
  if (end_ < filled_) data[end_] = hidden_;
  const std::size_t unread = end_ - pos;
  if (pos > 0) {
    before_buffer_ = data[pos - 1];
    base_ += encoding_ == Encoding::kBytes ? pos : utf16_offset(pos) - base_;
    std::memmove(data, data + pos, filled_ - pos);
    filled_ -= pos;
    pos = 0;
  }
  mapped_pos_ = 0;
  mapped_bytes_ = 0;
  fill();
  pos += mark_;
  mark_ = 0;
  if (exhausted_ && whole_file_ && fd_ >= 0) changed();
  std::size_t end = filled_;
  if (!exhausted_ || !read_error_.ok() || changed_) {
    // Up to the last line end: the rest of the line is still to come, or
    // never will come whole.
    while (end > pos && !is_line_end(data[end - 1])) --end;
    // No new line end in a full buffer: a line longer than the buffer, read
    // as it comes.
    if (end <= pos + unread && !exhausted_) end = filled_;
  }
  if (exhausted_) filled_ = end;
  end_ = end;
  hidden_ = data[end_];
  data[end_] = '\0';
  if (end_ > pos) last_byte_line_end_ = is_line_end(data[end_ - 1]);
  return end_ - pos > unread;
}

}  // namespace platform
