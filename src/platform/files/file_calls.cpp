#include "platform/files/file_calls.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <new>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif
#endif

namespace platform {
namespace {

// A test's faults; read by readers and printers on every thread.
std::atomic<Faults*> g_faults{nullptr};

Faults* faults() { return g_faults.load(std::memory_order_relaxed); }

}  // namespace

void install_faults(Faults* installed) { g_faults.store(installed, std::memory_order_relaxed); }

std::filesystem::path file_in_folder(const std::filesystem::path::string_type& prefix, std::string_view name) {
  return std::filesystem::path(prefix + std::filesystem::path(name).native());
}

std::unique_ptr<char[]> new_buffer(std::size_t size, Buffer use) {
  Faults* const f = faults();
  if (f && f->memory_output && use == Buffer::kMemory) return nullptr;
  return std::unique_ptr<char[]>(new (std::nothrow) char[size]);
}

std::uint64_t random_number() {
  Faults* const f = faults();
  if (f && f->random_part) return f->random_part();
  std::uint64_t value = 0;
#ifdef _WIN32
  if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value, BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0) {
    return value;
  }
  const auto pid = static_cast<std::uint64_t>(_getpid());
#else
#if defined(__linux__) && defined(SYS_getrandom)
  if (syscall(SYS_getrandom, &value, sizeof value, 0) == static_cast<long>(sizeof value)) return value;
#endif
  // Older kernels: the device, or at least what tells this moment and process apart.
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    const ssize_t got = ::read(fd, &value, sizeof value);
    ::close(fd);
    if (got == static_cast<ssize_t>(sizeof value)) return value;
  }
  const auto pid = static_cast<std::uint64_t>(getpid());
#endif
  const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return now * 0x9E3779B97F4A7C15u ^ pid << 32 ^ reinterpret_cast<std::uintptr_t>(&value);
}

#ifdef _WIN32
// Tests run on Linux: the Windows calls know no faults.
int open_for_reading(const std::filesystem::path& name, int& error) {
  const int fd = _wopen(name.c_str(), _O_RDONLY | _O_BINARY);
  error = fd < 0 ? errno : 0;
  // The C runtime calls a file that another program holds "no permission".
  if (fd < 0 && (_doserrno == 32 || _doserrno == 33)) error = EBUSY;  // sharing or lock violation
  return fd;
}

std::size_t read_fully(int fd, char* data, std::size_t size, int& error) {
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
namespace {

// Makes `call` until no signal interrupts it; an injected interruption comes first.
template <class Make>
auto retrying(Call kind, int& error, Make call) {
  Faults* const f = faults();
  if (f && f->before_call) f->before_call(kind);
  for (;;) {
    decltype(call()) result;
    if (interrupt_due(f, kind)) {
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

// A call that a test makes fail with `code`: -1, as the system's would.
int refused(int code, int& error) {
  error = code;
  return -1;
}

// Where the next read or write of `fd` happens; -1 where it cannot be told (a pipe).
std::int64_t position(int fd) { return ::lseek(fd, 0, SEEK_CUR); }

}  // namespace

int open_retrying(const char* name, int flags, int mode, int& error) {
  Faults* const f = faults();
  if (f && f->output_open && (flags & O_CREAT)) return refused(EACCES, error);
  return retrying(Call::kOpen, error, [&] { return ::open(name, flags | O_CLOEXEC, mode); });
}

int open_for_reading(const std::filesystem::path& name, int& error) {
  return open_retrying(name.c_str(), O_RDONLY, 0, error);
}

std::size_t read_fully(int fd, char* data, std::size_t size, int& error) {
  error = 0;
  // A test's faults: a change to the file before the read, or reads that
  // fail from an offset on.
  Faults* const f = faults();
  const std::int64_t at = f ? position(fd) : -1;
  if (at >= 0 && f->before_read) f->before_read(static_cast<std::uint64_t>(at));
  std::size_t allowed = size;
  const bool limited = at >= 0 && f->read_after >= 0 && at + static_cast<std::int64_t>(size) > f->read_after;
  if (limited) allowed = static_cast<std::size_t>(std::max<std::int64_t>(0, f->read_after - at));
  std::size_t got = 0;
  while (got < allowed) {
    const ssize_t n = retrying(Call::kRead, error, [&] { return ::read(fd, data + got, allowed - got); });
    if (n <= 0) break;  // the end, or a failure (error says which)
    got += static_cast<std::size_t>(n);
  }
  if (limited && got == allowed && error == 0) error = EIO;
  return got;
}

void close_descriptor(int fd) { ::close(fd); }

bool write_fully(int fd, const char* data, std::size_t size, int& error) {
  error = 0;
  // A test's disk that fills after so many bytes.
  Faults* const f = faults();
  const std::int64_t at = f && f->write_after >= 0 ? position(fd) : -1;
  const bool full = at >= 0 && at + static_cast<std::int64_t>(size) > f->write_after;
  std::size_t left = full ? static_cast<std::size_t>(std::max<std::int64_t>(0, f->write_after - at)) : size;
  while (left > 0) {
    const ssize_t n = retrying(Call::kWrite, error, [&] { return ::write(fd, data, left); });
    if (n < 0) return false;
    if (n == 0) {  // no progress and no reason: take it as a full disk
      error = ENOSPC;
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (full) return refused(ENOSPC, error) == 0;
  return true;
}

bool sync_retrying(int fd, int& error) {
  Faults* const f = faults();
  if (f && f->sync_error) return refused(f->sync_error, error) == 0;
  return retrying(Call::kSync, error, [&] { return ::fsync(fd); }) == 0;
}

bool sync_folder_retrying(int fd, int& error) {
  Faults* const f = faults();
  if (f && f->folder_sync) return refused(EIO, error) == 0;
  return retrying(Call::kFolderSync, error, [&] { return ::fsync(fd); }) == 0;
}

bool rename_retrying(const char* from, const char* to, int& error) {
  Faults* const f = faults();
  if (f && f->rename) return refused(EACCES, error) == 0;
  return retrying(Call::kRename, error, [&] { return std::rename(from, to); }) == 0;
}

bool close_checked(int fd, int& error) {
  error = 0;
  Faults* const f = faults();
  int result;
  if (f && f->output_close) {
    ::close(fd);
    return refused(EIO, error) == 0;
  }
  if (interrupt_due(f, Call::kClose)) {  // as the kernel does: closed, and yet "interrupted"
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

bool lock_retrying(int fd, int operation, int& error) {
  return retrying(Call::kOpen, error, [&] { return ::flock(fd, operation); }) == 0;
}
#endif

}  // namespace platform
