#pragma once
// Failures made to happen on purpose, so that tests can see what the program
// does when the system fails it: a failed read, a full disk, a refused rename.
// Only tests set these; the program never does, and no setting or variable
// reaches them.

#include <cstdint>

namespace platform {

struct Faults {
  std::int64_t read_after = -1;    // offset in an input file from which reads fail
  bool output_open = false;        // creating an output file fails
  std::int64_t write_after = -1;   // bytes an output file takes before writes fail as on a full disk
  bool sync = false;               // making an output file durable fails
  bool output_close = false;       // closing an output file fails
  bool rename = false;             // putting the output in place fails
};

inline Faults g_faults;

}  // namespace platform
