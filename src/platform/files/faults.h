#pragma once
// Failures made to happen on purpose, so that tests can see what the program
// does when the system fails it: a failed read, a full disk, a refused rename,
// a call interrupted by a signal, a file that grows while it is read. A test
// installs them where the files part calls the system (file_calls.h), the
// one place that knows of them; the program itself never makes one.

#include <atomic>
#include <cstdint>
#include <functional>

namespace platform {

// The system calls that a signal can interrupt.
enum class Call { kOpen, kRead, kWrite, kSync, kRename, kClose, kFolderSync, kCount };

struct Faults {
  std::int64_t read_after = -1;    // offset in an input file from which reads fail
  bool output_open = false;        // creating a file fails
  bool memory_output = false;      // output into memory cannot get its buffer
  std::int64_t write_after = -1;   // bytes an output file takes before writes fail as on a full disk
  int sync_error = 0;              // making an output file durable fails with this errno
  bool output_close = false;       // closing an output file fails
  bool rename = false;             // putting the output in place fails
  bool folder_sync = false;        // making the rename durable fails
  // The next this many calls of each kind return "interrupted" before they
  // run; readers on several threads take them.
  std::atomic<int> interrupted[static_cast<int>(Call::kCount)] = {};
  // Called before each read of an input file, with the offset it reads at.
  std::function<void(std::uint64_t)> before_read;
  // Called before each call of the system that a signal can interrupt.
  std::function<void(Call)> before_call;
  // Gives the random part of each temporary name in place of the system's
  // random numbers: two runs may then pick the same name.
  std::function<std::uint64_t()> random_part;
};

// True when an interruption of `call` is due; it is then used up.
inline bool interrupt_due(Faults* faults, Call call) {
  if (!faults) return false;
  std::atomic<int>& left = faults->interrupted[static_cast<int>(call)];
  int n = left.load(std::memory_order_relaxed);
  while (n > 0 && !left.compare_exchange_weak(n, n - 1, std::memory_order_relaxed)) {}
  return n > 0;
}

}  // namespace platform
