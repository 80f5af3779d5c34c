#include "platform/files/file_stamp.h"

#ifdef _WIN32  // the file's information by its handle

#include <io.h>
#include <windows.h>

namespace platform {
namespace {

bool stamp_of_handle(HANDLE handle, FileStamp& stamp) {
  stamp.regular = GetFileType(handle) == FILE_TYPE_DISK;
  if (!stamp.regular) return true;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  stamp.size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  stamp.modified = static_cast<std::int64_t>(std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32 |
                                             info.ftLastWriteTime.dwLowDateTime);
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.file = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  return true;
}

}  // namespace

bool stamp_of_open_file(int fd, FileStamp& stamp, bool& folder) {
  folder = false;  // a folder does not open as a file here
  return stamp_of_handle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), stamp);
}

bool stamp_of_name(const std::filesystem::path& name, FileStamp& stamp) {
  const HANDLE handle = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = stamp_of_handle(handle, stamp);
  CloseHandle(handle);
  return ok;
}

}  // namespace platform

#else  // stat(2)

#include <sys/stat.h>

namespace platform {
namespace {

FileStamp stamp_from(const struct stat& st) {
  FileStamp stamp;
  stamp.regular = S_ISREG(st.st_mode);
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  stamp.volume = static_cast<std::uint64_t>(st.st_dev);
  stamp.file = static_cast<std::uint64_t>(st.st_ino);
  return stamp;
}

}  // namespace

bool stamp_of_open_file(int fd, FileStamp& stamp, bool& folder) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  folder = S_ISDIR(st.st_mode);
  stamp = stamp_from(st);
  return true;
}

bool stamp_of_name(const std::filesystem::path& name, FileStamp& stamp) {
  struct stat st {};
  if (stat(name.c_str(), &st) != 0) return false;
  stamp = stamp_from(st);
  return true;
}

}  // namespace platform

#endif
