#pragma once
// What the program needs to know of its process: the working folder and the
// cores it may run on.

#include <filesystem>

namespace platform {

// The process's current folder, as a path text without a trailing separator.
// Fails (and leaves `folder` as it was) when there is none, e.g. it was removed.
bool working_folder(std::filesystem::path::string_type& folder);

// The platform's path separator, as text to put after a folder.
inline constexpr std::filesystem::path::value_type kPathSeparator[] = {
    std::filesystem::path::preferred_separator, 0};

// The cores this process may run on: on Linux those its affinity allows (so
// that `taskset -c 0 kasor-max` reads on one thread), elsewhere the machine's.
int usable_cores();

}  // namespace platform
