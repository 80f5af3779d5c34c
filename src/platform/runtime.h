#pragma once
// The runtime layer's face: the error number and the continue-on-failure
// policy that every service shares, and the value a failure is inside the
// layer.
//
// Several services keep the names the program has always called them by
// (__vbaFileOpen, __vbaI4ErrVar, ...). Identifiers with a double underscore are
// reserved for the C++ implementation, but these are the services' established
// names and every caller knows them so; they stay, inside namespace platform.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

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
  kWriteFailed = 10,    // disk full, rename refused, ...
  kReadFailed = 11,
  kOutOfRange = 12,     // an index outside a table
  kNoFolder = 14,       // the working folder cannot be found
  kNameAmbiguous = 15,  // several entries have the name apart from case; none is taken
  kWriteProtected = 16, // a file the user may not write, which is kept so
  kNoTemporary = 17,    // no file can be made in the folder (the failure's file)
};

// What an operation came to, as a value: nothing failed, or the error, the
// system's reason (or ours) and the file it concerns. Inside the layer,
// operations return it; the numbered services record it as the error number.
struct [[nodiscard]] Status {
  Error error = kNoError;
  std::string reason;
  std::filesystem::path file;
  bool ok() const { return error == kNoError; }
};

Status failure(Error error, std::string reason, std::filesystem::path file = {});

// Why a call of the system failed, in German: the program's own words for
// the common causes (no permission, a folder, a full disk, a read-only file
// system, a file in use, a path too long, an input/output error, a missing
// file, too little memory), the system's own text for the rest. `code` is an
// errno value.
std::string system_reason(int code);

#ifdef _WIN32
// The same for a Windows error code (GetLastError).
std::string windows_reason(unsigned long code);
#endif

// The number of the latest failure on this thread; 0 until something fails.
// Nothing in the program clears it.
int error_number();

// The latest failure on this thread, as a value.
Status failure_of_this_thread();

// Records a failure as this thread's error number and returns false, so that
// a service of the channels' face can end with `return record(...)`. Before
// __vbaOnError(-1) a failure ends the run instead: one line on standard error
// and exit status 5. Everywhere else a failure is a Status, returned.
bool record(const Status& status);

// -1 switches on continue-on-failure; 0 switches it off again.
void __vbaOnError(int mode);

// Exit status of a run ended by a failure before continue-on-failure is on.
inline constexpr int kExitStartFailed = 5;

// Converts `text` to a 32-bit signed whole number (numbers/whole_number.h);
// false for a text that is none, and `value` keeps what it held.
bool __vbaI4ErrVar(std::string_view text, std::int32_t& value);

// This thread's error number back to 0, as at the program's start. Only for
// a process that runs the program more than once: tests.
void reset_error_number();

}  // namespace platform
