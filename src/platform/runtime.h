#pragma once
// The error number and the continue-on-failure policy that every runtime
// service shares.
//
// Several services keep the names the program has always called them by
// (__vbaFileOpen, __vbaInputFile, ...). Identifiers with a double underscore are
// reserved for the C++ implementation, but these are the services' established
// names and every caller knows them so; they stay, inside namespace platform.

#include <string>

namespace platform {

// The error numbers the services record. 0: nothing has failed since the start.
enum Error : int {
  kNoError = 0,
  kBadCall = 1,         // a channel number, mode or descriptor the service does not take
  kOutOfMemory = 2,
  kFileNotFound = 3,
  kAccessDenied = 4,    // exists, but cannot be opened: a folder, no permission, locked
  kChannelInUse = 5,
  kChannelNotOpen = 6,
  kPastEnd = 7,         // input past the end of the file
  kNotANumber = 8,      // an item that is no number, consumed
  kLineNotData = 9,     // the first item of a line is no number; the line is left unread
  kWriteFailed = 10,    // disk full, rename refused, ...
  kReadFailed = 11,
  kOutOfRange = 12,     // an index outside a table
  kNoWholeNumber = 13,  // a text that is no 32-bit whole number
  kNoFolder = 14,       // the working folder cannot be found
};

// The number of the latest failure on this thread; 0 until something fails.
// Nothing clears it.
int error_number();

// A short description of the latest failure (often the system's own words).
const std::string& error_reason();

// Records a failure and returns false, so that a service can end with
// `return fail(...)`. Before __vbaOnError(-1) a failure ends the run instead:
// one line on standard error and exit status 5.
bool fail(Error error, std::string reason = {});

// The system's words for an errno value.
std::string system_reason(int code);

// -1 switches on continue-on-failure; 0 switches it off again.
void __vbaOnError(int mode);

// Exit status of a run ended by a failure before continue-on-failure is on.
inline constexpr int kExitStartFailed = 5;

// Back to the state at program start: no failure, policy off, every channel
// closed, no fault injected. For tests, which run many programs' worth of calls in one process.
void reset_for_tests();

}  // namespace platform
