#include "platform/channel.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/faults.h"
#include "platform/runtime.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace fs = std::filesystem;

namespace {

std::string system_reason(int code) {
  return std::error_code(code, std::generic_category()).message();
}

std::FILE* open_file(const fs::path& name, bool for_writing) {
#ifdef _WIN32
  return _wfopen(name.c_str(), for_writing ? L"wb" : L"rb");
#else
  return std::fopen(name.c_str(), for_writing ? "wb" : "rb");
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

long long process_id() {
#ifdef _WIN32
  return _getpid();
#else
  return getpid();
#endif
}

bool start_input(Channel& c, std::FILE* file, const char* memory, std::size_t size,
                 std::uint64_t file_left = UINT64_MAX, std::uint64_t base = 0) {
  c.buffer.reset(new (std::nothrow) char[kBufferSize + kPadding]);
  if (!c.buffer) {
    if (file) std::fclose(file);
    return fail(kOutOfMemory, "input buffer");
  }
  if (file) std::setvbuf(file, nullptr, _IONBF, 0);  // the channel buffers; stdio need not copy again
  c.file = file;
  c.memory = memory;
  c.memory_left = size;
  c.file_left = file_left;
  c.base = base;
  c.mode = kModeInput;
  c.pos = c.end = 0;
  c.buffer[0] = '\0';
  c.exhausted = c.read_error = false;
  c.line_fresh = true;
  c.line = 1;
  c.failed_line = 0;
  refill(c);
  // A UTF-8 byte order mark is no part of the first line.
  if (base == 0 && c.end >= 3 && std::memcmp(c.buffer.get(), "\xEF\xBB\xBF", 3) == 0) c.pos = 3;
  return true;
}

bool open_input(Channel& c, const fs::path& name) {
  fs::path opened = name;
  std::FILE* file = open_file(name, false);
#ifndef _WIN32  // Windows matches names without regard to case already
  if (!file && errno == ENOENT) {
    const fs::path other = find_ignoring_case(name);
    if (!other.empty()) {
      file = open_file(other, false);
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
  c.name = opened;
  return start_input(c, file, nullptr, 0);
}

bool open_output(Channel& c, const fs::path& name) {
  fs::path temporary = name;
  temporary += ".tmp" + std::to_string(process_id());
  c.buffer.reset(new (std::nothrow) char[kBufferSize]);
  if (!c.buffer) return fail(kOutOfMemory, "output buffer");
  std::FILE* file = g_faults.output_open ? nullptr : open_file(temporary, true);
  if (!file) {
    const int code = g_faults.output_open ? EACCES : errno;
    c.buffer.reset();
    return fail(code == ENOENT ? kFileNotFound : kAccessDenied, system_reason(code));
  }
  std::setvbuf(file, nullptr, _IONBF, 0);
  c.file = file;
  c.mode = kModeOutput;
  c.end = 0;
  c.column = 0;
  c.write_failed = false;
  c.written = 0;
  c.first_failure.clear();
  c.target = name;
  c.temporary = std::move(temporary);
  return true;
}

bool note_write_failure(Channel& c, int code) {
  if (!c.write_failed) {
    c.write_failed = true;
    c.first_failure = system_reason(code);
  }
  return fail(kWriteFailed, c.first_failure);
}

// Flushes, makes durable and closes the temporary file, then moves it over the target.
bool finish_output(Channel& c) {
  bool ok = flush_output(c);
  if (ok && std::fflush(c.file) != 0) ok = note_write_failure(c, errno);
#ifdef _WIN32
  if (ok && _commit(_fileno(c.file)) != 0) ok = note_write_failure(c, errno);
#else
  if (ok && fsync(fileno(c.file)) != 0 && errno != EINVAL) ok = note_write_failure(c, errno);
#endif
  if ((std::fclose(c.file) != 0 || g_faults.output_close) && ok) {
    ok = note_write_failure(c, g_faults.output_close ? EIO : errno);
  }
  c.file = nullptr;
  if (ok && g_faults.rename) {
    ok = note_write_failure(c, EACCES);
  } else if (ok) {
#ifdef _WIN32
    // A replacing move: rename() on Windows refuses an existing target.
    if (!MoveFileExW(c.temporary.c_str(), c.target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ok = note_write_failure(c, EACCES);
    }
#else
    if (std::rename(c.temporary.c_str(), c.target.c_str()) != 0) ok = note_write_failure(c, errno);
#endif
  }
  if (!ok) {
    std::error_code ignored;
    fs::remove(c.temporary, ignored);
  }
  return ok;
}

void reset(Channel& c) {
  c.mode = 0;
  c.file = nullptr;
  c.memory = nullptr;
  c.memory_left = 0;
  c.name.clear();
  c.base = 0;
  c.file_left = 0;
  c.buffer.reset();
  c.pos = c.end = 0;
  c.scratch.clear();
  c.target.clear();
  c.temporary.clear();
  c.collected.clear();
  c.collected.shrink_to_fit();
}

}  // namespace

Channel* channel_not_open(int number, int mode) {
  if (number < 1 || number > kMaxChannel) {
    fail(kBadCall, "channel number " + std::to_string(number));
  } else {
    fail(kChannelNotOpen, "channel " + std::to_string(number) + " not open in mode " + std::to_string(mode));
  }
  return nullptr;
}

bool __vbaFileOpen(int mode, int record_length, int channel, const fs::path& name) {
  if (channel < 1 || channel > kMaxChannel || record_length != -1 ||
      (mode != kModeInput && mode != kModeOutput)) {
    return fail(kBadCall, "open");
  }
  Channel& c = g_channels[channel];
  if (c.mode != 0) return fail(kChannelInUse, "channel " + std::to_string(channel));
  return mode == kModeInput ? open_input(c, name) : open_output(c, name);
}

bool open_input_range(int channel, const fs::path& name, std::uint64_t begin, std::uint64_t end) {
  if (channel < 1 || channel > kMaxChannel || end < begin) return fail(kBadCall, "open");
  Channel& c = g_channels[channel];
  if (c.mode != 0) return fail(kChannelInUse, "channel " + std::to_string(channel));
  std::FILE* file = open_file(name, false);
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
  c.name = name;
  return start_input(c, file, nullptr, 0, end - begin, begin);
}

std::uint64_t input_offset(int channel) {
  const Channel& c = g_channels[channel];
  return c.base + c.pos;
}

bool input_file_size(int channel, std::uint64_t& size) {
  if (channel < 1 || channel > kMaxChannel || g_channels[channel].mode != kModeInput ||
      !g_channels[channel].file) {
    return false;
  }
  std::error_code ec;
  const auto bytes = fs::file_size(g_channels[channel].name, ec);
  if (ec) return false;
  size = bytes;
  return true;
}

bool open_memory_input(int channel, const char* data, std::size_t size) {
  if (channel < 1 || channel > kMaxChannel) return fail(kBadCall, "open");
  Channel& c = g_channels[channel];
  if (c.mode != 0) return fail(kChannelInUse, "channel " + std::to_string(channel));
  return start_input(c, nullptr, data, size);
}

bool __vbaFileClose(int channel) {
  if (channel < 1 || channel > kMaxChannel || g_channels[channel].mode == 0) {
    return fail(kChannelNotOpen, "channel " + std::to_string(channel));
  }
  Channel& c = g_channels[channel];
  bool ok = true;
  if (c.mode == kModeOutput && c.file) {
    ok = finish_output(c);
  } else if (c.file) {
    std::fclose(c.file);
  }
  reset(c);
  return ok;
}

void discard_output(int channel) {
  if (channel < 1 || channel > kMaxChannel || g_channels[channel].mode != kModeOutput) return;
  Channel& c = g_channels[channel];
  if (c.file) {
    std::fclose(c.file);
    std::error_code ignored;
    fs::remove(c.temporary, ignored);
  }
  reset(c);
}

bool open_memory_output(int channel) {
  if (channel < 1 || channel > kMaxChannel) return fail(kBadCall, "open");
  Channel& c = g_channels[channel];
  if (c.mode != 0) return fail(kChannelInUse, "channel " + std::to_string(channel));
  c.buffer.reset(new (std::nothrow) char[kBufferSize]);
  if (!c.buffer) return fail(kOutOfMemory, "output buffer");
  c.mode = kModeOutput;
  c.end = 0;
  c.column = 0;
  c.write_failed = false;
  c.collected.clear();
  return true;
}

bool take_memory_output(int channel, std::string& bytes) {
  Channel* c = open_channel(channel, kModeOutput);
  if (!c || c->file) return fail(kBadCall, "not a memory channel");
  flush_output(*c);
  bytes = std::move(c->collected);
  reset(*c);
  return true;
}

bool write_bytes(int channel, std::string_view bytes) {
  Channel* c = open_channel(channel, kModeOutput);
  if (!c) return false;
  while (!bytes.empty()) {
    if (c->end == kBufferSize && !flush_output(*c)) return false;
    const std::size_t n = std::min(bytes.size(), kBufferSize - c->end);
    std::memcpy(c->buffer.get() + c->end, bytes.data(), n);
    c->end += n;
    bytes.remove_prefix(n);
  }
  c->column = 0;
  return !c->write_failed;
}

void close_all_channels() {
  for (int number = 1; number <= kMaxChannel; ++number) {
    Channel& c = g_channels[number];
    if (c.mode == kModeOutput) discard_output(number);
    if (c.mode == kModeInput && c.file) std::fclose(c.file);
    reset(c);
  }
}

bool refill(Channel& c) {
  if (c.exhausted) return false;
  char* data = c.buffer.get();
  const std::size_t kept = c.end - c.pos;
  if (c.pos > 0) {
    std::memmove(data, data + c.pos, kept);
    c.base += c.pos;
    c.pos = 0;
    c.end = kept;
  }
  const std::size_t room = c.file ? static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize - c.end, c.file_left))
                                  : kBufferSize - c.end;
  std::size_t got = 0;
  if (room == 0 && c.file && c.file_left == 0) c.exhausted = true;
  if (room > 0) {
    if (c.file) {
      got = std::fread(data + c.end, 1, room, c.file);
      c.file_left -= got;
    } else {
      got = std::min(room, c.memory_left);
      std::memcpy(data + c.end, c.memory, got);
      c.memory += got;
      c.memory_left -= got;
    }
    c.end += got;
    if (got < room || (c.file && c.file_left == 0)) {
      c.exhausted = true;
      if (c.file && std::ferror(c.file)) {
        c.read_error = true;
        fail(kReadFailed, system_reason(errno));
      }
    }
  }
  data[c.end] = '\0';
  return got > 0;
}

bool end_of_file(int channel) {
  if (channel < 1 || channel > kMaxChannel || g_channels[channel].mode != kModeInput) return true;
  Channel& c = g_channels[channel];
  return c.pos == c.end && !refill(c);
}

bool read_failed(int channel) {
  return channel >= 1 && channel <= kMaxChannel && g_channels[channel].read_error;
}

bool flush_output(Channel& c) {
  if (c.write_failed) return false;
  if (!c.file) {  // output to memory
    c.collected.append(c.buffer.get(), c.end);
    c.end = 0;
    return true;
  }
  errno = 0;
  std::size_t bytes = c.end;
  bool disk_full = false;
  if (g_faults.write_after >= 0 && c.written + bytes > static_cast<std::uint64_t>(g_faults.write_after)) {
    bytes = static_cast<std::size_t>(static_cast<std::uint64_t>(g_faults.write_after) - std::min<std::uint64_t>(c.written, g_faults.write_after));
    disk_full = true;
  }
  if (bytes > 0 && std::fwrite(c.buffer.get(), 1, bytes, c.file) != bytes) {
    return note_write_failure(c, errno ? errno : EIO);
  }
  c.written += bytes;
  if (disk_full) return note_write_failure(c, ENOSPC);
#ifdef __linux__
  // Start writing to the disk now, so that the sync at the close has little left to wait for.
  sync_file_range(fileno(c.file), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  c.end = 0;
  return true;
}

}  // namespace platform
