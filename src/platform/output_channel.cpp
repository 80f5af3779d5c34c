#include "platform/output_channel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "platform/faults.h"
#include "platform/file_calls.h"
#include "platform/runtime.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace fs = std::filesystem;

namespace {

long long process_id() {
#ifdef _WIN32
  return _getpid();
#else
  return getpid();
#endif
}

// "<target>.tmp", the start of every temporary name for `target`.
fs::path::string_type temporary_stem(const fs::path& target) {
  fs::path stem = target.filename();
  stem += ".tmp";
  return stem.native();
}

// True when `name` is a temporary name for the target whose stem is `stem`:
// the stem and then a process id.
bool is_temporary_name(const fs::path::string_type& name, const fs::path::string_type& stem) {
  if (name.size() <= stem.size() || name.compare(0, stem.size(), stem) != 0) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()), name.end(),
                     [](auto c) { return c >= '0' && c <= '9'; });
}

#ifdef _WIN32
std::string windows_reason(DWORD code) { return std::error_code(static_cast<int>(code), std::system_category()).message(); }

// Creates the temporary file, shared for reading only: while this program
// has it open, nobody can delete it, and no clean-up takes it for a dead run's.
// The handle may delete and rename, so that the file is put in place through it.
void* create_temporary(const fs::path& name, std::string& reason) {
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    reason = windows_reason(GetLastError());
    return nullptr;
  }
  return h;
}

// Writes all of `data`, a part at a time if the system takes less.
bool write_all(void* handle, const char* data, std::size_t size, std::string& reason) {
  while (size > 0) {
    DWORD wrote = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!WriteFile(handle, data, ask, &wrote, nullptr)) {
      reason = windows_reason(GetLastError());
      return false;
    }
    if (wrote == 0) {
      reason = system_reason(ENOSPC);
      return false;
    }
    data += wrote;
    size -= wrote;
  }
  return true;
}

// Replaces `target` with the open file behind `handle`.
bool rename_open_file(void* handle, const fs::path& target, std::string& reason) {
  const fs::path::string_type& name = target.native();
  const std::size_t bytes = sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t);
  std::string storage(bytes, '\0');
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  if (SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(bytes))) return true;
  reason = windows_reason(GetLastError());
  return false;
}
#else
// Creates the temporary file and takes its lock, which `lock` holds until it
// is closed; `fd` writes it. A clean-up that removed the file between its
// creation and the lock leaves it without a name; it is then made again. The
// file takes the permissions of the target it will replace.
bool create_temporary(const fs::path& name, const fs::path& target, int& fd, int& lock, std::string& reason) {
  int error = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int file = open_retrying(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666, error);
    if (file < 0) {
      reason = system_reason(error);
      return false;
    }
    // A file system without locks still gets its result; only its dead runs'
    // temporaries cannot be told from live ones and are left alone.
    lock_retrying(file, LOCK_EX, error);
    struct stat st {};
    if (fstat(file, &st) == 0 && st.st_nlink == 0) {
      ::close(file);
      continue;
    }
    struct stat older {};
    if (stat(target.c_str(), &older) == 0 && S_ISREG(older.st_mode)) fchmod(file, older.st_mode & 07777);
    const int data = fcntl(file, F_DUPFD_CLOEXEC, 0);
    if (data < 0) {
      reason = system_reason(errno);
      ::unlink(name.c_str());
      ::close(file);
      return false;
    }
    fd = data;
    lock = file;
    return true;
  }
  reason = "temporary file removed again and again";
  return false;
}
#endif

}  // namespace

bool OutputChannel::open_file(const fs::path& target) {
  if (is_open()) return fail(kChannelInUse, "output channel");
  fs::path temporary = target;
  temporary += ".tmp" + std::to_string(process_id());
  buffer_.reset(new (std::nothrow) char[kOutputBufferSize]);
  if (!buffer_) return fail(kOutOfMemory, "output buffer");
  std::string reason;
  bool created = false;
  if (g_faults.output_open) {
    reason = system_reason(EACCES);
  } else {
#ifdef _WIN32
    handle_ = create_temporary(temporary, reason);
    created = handle_ != nullptr;
#else
    created = create_temporary(temporary, target, fd_, lock_, reason);
#endif
  }
  if (!created) {
    buffer_.reset();
    return fail(kAccessDenied, reason);
  }
  to_file_ = true;
  end_ = column_ = 0;
  written_ = 0;
  write_failed_ = false;
  first_failure_.clear();
  target_ = target;
  temporary_ = std::move(temporary);
  return true;
}

bool OutputChannel::open_memory() {
  if (is_open()) return fail(kChannelInUse, "output channel");
  buffer_.reset(new (std::nothrow) char[kOutputBufferSize]);
  if (!buffer_) return fail(kOutOfMemory, "output buffer");
  to_file_ = false;
  end_ = column_ = 0;
  write_failed_ = false;
  collected_.clear();
  return true;
}

bool OutputChannel::note_failure(std::string reason) {
  if (!write_failed_) {
    write_failed_ = true;
    first_failure_ = std::move(reason);
  }
  return fail(kWriteFailed, first_failure_);
}

bool OutputChannel::note_failure(int code) { return note_failure(system_reason(code)); }

bool OutputChannel::flush() {
  if (write_failed_) return false;
  if (!to_file_) {
    collected_.append(buffer_.get(), end_);
    end_ = 0;
    return true;
  }
  std::size_t bytes = end_;
  bool disk_full = false;
  if (g_faults.write_after >= 0 && written_ + bytes > static_cast<std::uint64_t>(g_faults.write_after)) {
    const auto allowed = static_cast<std::uint64_t>(g_faults.write_after);
    bytes = static_cast<std::size_t>(allowed - std::min(written_, allowed));
    disk_full = true;
  }
#ifdef _WIN32
  std::string reason;
  if (!write_all(handle_, buffer_.get(), bytes, reason)) return note_failure(reason);
#else
  int error = 0;
  if (!write_fully(fd_, buffer_.get(), bytes, error)) return note_failure(error);
#endif
  written_ += bytes;
  if (disk_full) return note_failure(ENOSPC);
#ifdef __linux__
  // Start writing to the disk now, so that the sync at the close has little left to wait for.
  sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  end_ = 0;
  return true;
}

// Flushes and syncs the temporary file, closes it and moves it over the target.
bool OutputChannel::finish_file() {
  bool ok = flush();
  std::string reason;
#ifdef _WIN32
  if (ok && g_faults.sync) ok = note_failure(EIO);
  if (ok && !FlushFileBuffers(handle_)) ok = note_failure(windows_reason(GetLastError()));
  // Renamed while still open, so that no clean-up can take it in between.
  if (ok && g_faults.output_close) ok = note_failure(EIO);
  if (ok && g_faults.rename) ok = note_failure(EACCES);
  if (ok && !rename_open_file(handle_, target_, reason)) ok = note_failure(reason);
  CloseHandle(handle_);
  handle_ = nullptr;
#else
  int error = 0;
  if (ok && g_faults.sync) ok = note_failure(EIO);
  // EINVAL: a file that cannot be synced, on a file system that keeps nothing.
  if (ok && !sync_retrying(fd_, error) && error != EINVAL) ok = note_failure(error);
  const bool closed = close_checked(fd_, error);
  fd_ = -1;
  if (ok && (!closed || g_faults.output_close)) ok = note_failure(g_faults.output_close ? EIO : error);
  // The lock is held until the file has its final name.
  if (ok && g_faults.rename) ok = note_failure(EACCES);
  if (ok && !rename_retrying(temporary_.c_str(), target_.c_str(), error)) ok = note_failure(error);
#endif
  if (!ok) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
  return ok;
}

void OutputChannel::reset() {
#ifdef _WIN32
  handle_ = nullptr;
#else
  if (fd_ >= 0) ::close(fd_);
  if (lock_ >= 0) ::close(lock_);
  fd_ = lock_ = -1;
#endif
  to_file_ = false;
  buffer_.reset();
  end_ = column_ = 0;
  target_.clear();
  temporary_.clear();
  collected_.clear();
  collected_.shrink_to_fit();
}

bool OutputChannel::close() {
  if (!is_open()) return fail(kChannelNotOpen, "output channel");
  const bool ok = to_file_ ? finish_file() : true;
  reset();
  return ok;
}

void OutputChannel::discard() {
  if (to_file_) {
#ifdef _WIN32
    if (handle_) CloseHandle(handle_);
#else
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
#endif
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
  reset();
}

bool OutputChannel::take_memory(std::string& bytes) {
  if (!is_open() || to_file_) return fail(kBadCall, "not memory output");
  flush();
  bytes = std::move(collected_);
  reset();
  return true;
}

bool OutputChannel::write_bytes(std::string_view bytes) {
  while (!bytes.empty()) {
    char* out = room(1);
    if (!out) return false;
    const std::size_t n = std::min(bytes.size(), free_space());
    std::memcpy(out, bytes.data(), n);
    end_ += n;
    bytes.remove_prefix(n);
  }
  column_ = 0;
  return !write_failed_;
}

void remove_dead_temporaries(const fs::path& target) {
  const fs::path::string_type stem = temporary_stem(target);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    if (!is_temporary_name(path.filename().native(), stem)) continue;
#ifdef _WIN32
    // Fails while the run that writes it has it open.
    DeleteFileW(path.c_str());
#else
    // Removed only with its lock in hand, and only while that name still
    // belongs to the file locked: its writer is gone.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {}, named {};
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        lstat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
      ::unlink(path.c_str());
    }
    ::close(fd);
#endif
  }
}

bool make_name_durable(const fs::path& file, std::string& reason) {
  if (g_faults.folder_sync) {
    reason = system_reason(EIO);
    return false;
  }
#ifdef _WIN32
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    reason = windows_reason(GetLastError());
    return false;
  }
  const bool flushed = FlushFileBuffers(handle);
  if (!flushed) reason = windows_reason(GetLastError());
  CloseHandle(handle);
  return flushed;
#else
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  int error = 0;
  const int fd = open_retrying(folder.c_str(), O_RDONLY | O_DIRECTORY, 0, error);
  if (fd < 0) {
    reason = system_reason(error);
    return false;
  }
  int ignored = 0;
  // EINVAL: a folder that cannot be synced, on a file system that keeps nothing.
  const bool synced = sync_folder_retrying(fd, error) || error == EINVAL;
  if (!synced) reason = system_reason(error);
  close_checked(fd, ignored);
  return synced;
#endif
}

}  // namespace platform
