#pragma once
// The whole run, from the start to the exit status.

#include <string>
#include <string_view>

#include "input/read_data_set.h"
#include "output/write_peak_data_set.h"

// Exit statuses of the program.
inline constexpr int kExitOk = 0;             // result written from a cleanly read input
inline constexpr int kExitNoInput = 1;        // the input could not be opened
inline constexpr int kExitNotWritten = 2;     // the result could not be written; an older one is kept
inline constexpr int kExitNotADataSet = 3;    // no count line, or one that names no count the table holds
inline constexpr int kExitDamagedInput = 4;   // result written, but the input was damaged
inline constexpr int kExitNoMemory = 5;       // not enough memory for the peak table or the buffers

struct RunOptions {
  ReadOptions read;
  WriteOptions write;
  // Said before the run starts: that arguments are ignored, say.
  std::string notice;
};

// The options for this machine: a segment and a writer for each core the
// process may use.
RunOptions options_for_this_machine();

// Reads "KASOR.dat" from the working folder and writes "KASOR_max.dat" beside
// it. Returns the exit status.
int run(const RunOptions& options);

// The messages of standard error as a box shows them: at most the first six
// lines, a line that says how many were left out, and the last.
std::string box_text(std::string_view messages);

// Where nobody can read standard error (a Windows program started from
// Explorer), a run that ended with `status` 2 to 5 shows what standard error
// would have said in a box: a stop sign for a failure, an exclamation mark
// for a damaged input. A clean run stays silent.
void show_what_nobody_saw(int status);
