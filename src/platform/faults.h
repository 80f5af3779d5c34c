#pragma once
// Failures made to happen on purpose, so that tests can see what the program
// does when the system fails it: a failed read, a full disk, a refused rename,
// a call interrupted by a signal, a file that grows while it is read.
// Only tests set these; the program never does, and no setting or variable
// reaches them.

#include <cstdint>
#include <functional>

namespace platform {

// The system calls that a signal can interrupt.
enum class Call { kOpen, kRead, kWrite, kSync, kRename, kClose, kFolderSync, kCount };

struct Faults {
  std::int64_t read_after = -1;    // offset in an input file from which reads fail
  bool output_open = false;        // creating an output file fails
  std::int64_t write_after = -1;   // bytes an output file takes before writes fail as on a full disk
  bool sync = false;               // making an output file durable fails
  bool output_close = false;       // closing an output file fails
  bool rename = false;             // putting the output in place fails
  bool folder_sync = false;        // making the rename durable fails
  // The next this many calls of each kind return "interrupted" before they run.
  int interrupted[static_cast<int>(Call::kCount)] = {};
  // Called before each read of an input file, with the offset it reads at.
  std::function<void(std::uint64_t)> before_read;
};

inline Faults g_faults;

// True when an interruption of `call` is due; it is then used up.
inline bool interrupt_due(Call call) {
  int& left = g_faults.interrupted[static_cast<int>(call)];
  if (left <= 0) return false;
  --left;
  return true;
}

}  // namespace platform
