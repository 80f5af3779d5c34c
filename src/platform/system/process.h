#pragma once
// What the program needs to know of its process, and asks of it: the working
// folder, the cores it may run on, and signals that must not end it.

#include <filesystem>
#include <string>

namespace platform {

// The process's current folder, as a path text without a trailing separator.
// False, with the system's reason, when there is none (it was removed, say);
// `folder` is then as it was.
bool working_folder(std::filesystem::path::string_type& folder, std::string& reason);

// The platform's path separator, as text to put after a folder.
inline constexpr std::filesystem::path::value_type kPathSeparator[] = {
    std::filesystem::path::preferred_separator, 0};

// The cores this process may run on: on Linux those its affinity allows (so
// that `taskset -c 0 kasor-max` reads on one thread), elsewhere the machine's.
int usable_cores();

// A standard error that nobody reads any more (a pipe closed by `head`) and a
// limit on the size of files (`ulimit -f`) end no run: writes then fail, and
// the run goes on, says what failed where it can and keeps an older result.
// Nothing on Windows, which has no such signals.
void ignore_signals_of_failed_writes();

}  // namespace platform
