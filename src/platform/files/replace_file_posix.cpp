// Replacing a file on POSIX: flock on the temporary file while it is written
// and until it has its final name; rename(2) over the target; fsync of the
// folder after it; an interruption removes the temporary first
// (platform/system/interruption.h).
#include "platform/files/replace_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/files/file_calls.h"
#include "platform/system/interruption.h"

namespace platform::replace_detail {
namespace fs = std::filesystem;

long long process_id() { return getpid(); }

bool write_protected(const fs::path& target) {
  struct stat st {};
  if (lstat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // Without any write permission it is protected for root too, who passes
  // every permission.
  return (st.st_mode & 0222) == 0 || (access(target.c_str(), W_OK) != 0 && errno == EACCES);
}

// Creates the temporary file, never through a link nor over an existing
// file, and takes its lock. A clean-up that removed the file between its
// creation and the lock leaves it without a name; it is then made again. A
// file system without locks still gets its result; only its dead runs'
// temporaries cannot be told from live ones and are left alone.
Status create_temporary(Replacement& r, bool& exists) {
  int error = 0;
  const fs::path folder = r.temporary.has_parent_path() ? r.temporary.parent_path() : fs::path(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Made and noted at once: an interruption finds it noted whenever it
    // exists, and only a file this run made is removed by one.
    defer_interruptions();
    const int file = open_retrying(r.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666, error);
    if (file >= 0) note_unfinished_file(r.temporary.c_str());
    resume_interruptions();
    exists = file < 0 && error == EEXIST;
    if (file < 0) return failure(kNoTemporary, system_reason(error), folder);
    lock_retrying(file, LOCK_EX, error);
    struct stat st {};
    if (fstat(file, &st) == 0 && st.st_nlink == 0) {
      note_unfinished_file(nullptr);
      ::close(file);
      continue;
    }
    struct stat older {};
    if (stat(r.target.c_str(), &older) == 0 && S_ISREG(older.st_mode)) fchmod(file, older.st_mode & 07777);
    // The lock belongs to the open file, which a second descriptor keeps open
    // after the one that writes is closed.
    const int data = fcntl(file, F_DUPFD_CLOEXEC, 0);
    if (data < 0) {
      const int code = errno;
      ::unlink(r.temporary.c_str());
      ::close(file);
      return failure(kAccessDenied, system_reason(code), r.temporary);
    }
    r.fd = data;
    r.lock = file;
    return {};
  }
  return failure(kAccessDenied, "temporary file removed again and again", r.temporary);
}

Status write_temporary(Replacement& r, const char* data, std::size_t size) {
  int error = 0;
  if (!write_fully(r.fd, data, size, error)) return failure(kWriteFailed, system_reason(error), r.temporary);
#ifdef __linux__
  // Start writing to the disk now, so that the sync at the close has little left to wait for.
  sync_file_range(r.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  return {};
}

Status sync_temporary(Replacement& r) {
  int error = 0;
  // EINVAL: a file that cannot be synced, on a file system that keeps nothing.
  if (sync_retrying(r.fd, error) || error == EINVAL) return {};
  return failure(kWriteFailed, system_reason(error), r.temporary);
}

Status close_written(Replacement& r) {
  int error = 0;
  const bool closed = close_checked(r.fd, error);
  r.fd = -1;
  if (!closed) return failure(kWriteFailed, system_reason(error), r.temporary);
  return {};
}

Status rename_over_target(Replacement& r) {
  int error = 0;
  if (rename_retrying(r.temporary.c_str(), r.target.c_str(), error)) return {};
  return failure(kWriteFailed, system_reason(error), r.target);
}

void release(Replacement& r) {
  note_unfinished_file(nullptr);
  if (r.fd >= 0) ::close(r.fd);
  if (r.lock >= 0) ::close(r.lock);
  r.fd = r.lock = -1;
}

// Removed only with its lock in hand, only when it holds nothing or the
// start of a result, and only while that name still belongs to the file
// locked: its writer is gone, and it was this program.
void remove_if_dead(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat held {}, named {};
  char start[sizeof kResultStart - 1];
  if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
      (held.st_size == 0 || (pread(fd, start, sizeof start, 0) == static_cast<ssize_t>(sizeof start) &&
                             std::memcmp(start, kResultStart, sizeof start) == 0)) &&
      lstat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
    ::unlink(path.c_str());
  }
  ::close(fd);
}

Status sync_name(const fs::path& file) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  int error = 0;
  const int fd = open_retrying(folder.c_str(), O_RDONLY | O_DIRECTORY, 0, error);
  if (fd < 0) return failure(kWriteFailed, system_reason(error), folder);
  int ignored = 0;
  // EINVAL: a folder that cannot be synced, on a file system that keeps nothing.
  const bool synced = sync_folder_retrying(fd, error) || error == EINVAL;
  close_checked(fd, ignored);
  if (!synced) return failure(kWriteFailed, system_reason(error), folder);
  return {};
}

}  // namespace platform::replace_detail
