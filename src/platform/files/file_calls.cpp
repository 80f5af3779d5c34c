#include "platform/files/file_calls.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>


#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32
int open_for_reading(const std::filesystem::path& name, int& error, Faults*) {
  const int fd = _wopen(name.c_str(), _O_RDONLY | _O_BINARY);
  error = fd < 0 ? errno : 0;
  // The C runtime calls a file that another program holds "no permission".
  if (fd < 0 && (_doserrno == 32 || _doserrno == 33)) error = EBUSY;  // sharing or lock violation
  return fd;
}

std::size_t read_fully(int fd, char* data, std::size_t size, int& error, Faults*) {
  error = 0;
  std::size_t got = 0;
  while (got < size) {
    const auto ask = static_cast<unsigned>(std::min<std::size_t>(size - got, INT_MAX));
    const int n = _read(fd, data + got, ask);
    if (n < 0) {
      error = errno;
      break;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

void close_descriptor(int fd) { _close(fd); }
#else
// Makes `call` until no signal interrupts it; an injected interruption comes first.
template <class Make>
auto retrying(Faults* faults, Call kind, int& error, Make call) {
  if (faults && faults->before_call) faults->before_call(kind);
  for (;;) {
    decltype(call()) result;
    if (interrupt_due(faults, kind)) {
      result = -1;
      errno = EINTR;
    } else {
      result = call();
    }
    if (result != -1) {
      error = 0;
      return result;
    }
    if (errno != EINTR) {
      error = errno;
      return result;
    }
  }
}

int open_retrying(const char* name, int flags, int mode, int& error, Faults* faults) {
  return retrying(faults, Call::kOpen, error, [&] { return ::open(name, flags | O_CLOEXEC, mode); });
}

int open_for_reading(const std::filesystem::path& name, int& error, Faults* faults) {
  return open_retrying(name.c_str(), O_RDONLY, 0, error, faults);
}

std::size_t read_fully(int fd, char* data, std::size_t size, int& error, Faults* faults) {
  error = 0;
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = retrying(faults, Call::kRead, error, [&] { return ::read(fd, data + got, size - got); });
    if (n <= 0) break;  // the end, or a failure (error says which)
    got += static_cast<std::size_t>(n);
  }
  return got;
}

void close_descriptor(int fd) { ::close(fd); }

bool write_fully(int fd, const char* data, std::size_t size, int& error, Faults* faults) {
  error = 0;
  while (size > 0) {
    const ssize_t n = retrying(faults, Call::kWrite, error, [&] { return ::write(fd, data, size); });
    if (n < 0) return false;
    if (n == 0) {  // no progress and no reason: take it as a full disk
      error = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool sync_retrying(int fd, int& error, Faults* faults) {
  return retrying(faults, Call::kSync, error, [&] { return ::fsync(fd); }) == 0;
}

bool sync_folder_retrying(int fd, int& error, Faults* faults) {
  return retrying(faults, Call::kFolderSync, error, [&] { return ::fsync(fd); }) == 0;
}

bool rename_retrying(const char* from, const char* to, int& error, Faults* faults) {
  return retrying(faults, Call::kRename, error, [&] { return std::rename(from, to); }) == 0;
}

bool close_checked(int fd, int& error, Faults* faults) {
  error = 0;
  int result;
  if (interrupt_due(faults, Call::kClose)) {  // as the kernel does: closed, and yet "interrupted"
    ::close(fd);
    result = -1;
    errno = EINTR;
  } else {
    result = ::close(fd);
  }
  if (result == 0 || errno == EINTR) return true;
  error = errno;
  return false;
}

bool lock_retrying(int fd, int operation, int& error, Faults* faults) {
  return retrying(faults, Call::kOpen, error, [&] { return ::flock(fd, operation); }) == 0;
}
#endif

}  // namespace platform
