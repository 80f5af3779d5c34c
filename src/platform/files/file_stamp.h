#pragma once
// What a file was when it was opened: enough to tell that it changed since,
// the same way on Linux and Windows.

#include <cstdint>
#include <filesystem>

namespace platform {

struct FileStamp {
  bool regular = false;  // a file on a disk, not a pipe or a device
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in the system's finest unit
  std::uint64_t volume = 0;   // with `file`, which file it is
  std::uint64_t file = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file open as `fd` (a C runtime descriptor on Windows);
// `folder` tells whether it is a folder. False when the system cannot say.
bool stamp_of_open_file(int fd, FileStamp& stamp, bool& folder);

// The stamp of the file that `name` names now; false when there is none.
bool stamp_of_name(const std::filesystem::path& name, FileStamp& stamp);

}  // namespace platform
