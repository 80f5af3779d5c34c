// Replacing a file on Windows: the temporary file is created without delete
// sharing, so that no clean-up can remove it while it is written, and renamed
// through its own handle; flushed once more under its new name afterwards.
#include "platform/files/replace_file.h"

#include <process.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace platform::replace_detail {
namespace fs = std::filesystem;

namespace {

Status windows_failure(Error error, const fs::path& file) {
  return failure(error, windows_reason(GetLastError()), file);
}

}  // namespace

long long process_id() { return _getpid(); }

bool write_protected(const fs::path& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Marks the open file to be deleted when its last handle closes, or not.
bool delete_on_close(HANDLE handle, bool yes) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = yes ? TRUE : FALSE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof info);
}

}  // namespace

// Made new (never over a file or link of that name), shared for reading
// only: while this program has it open, nobody can delete it, and no
// clean-up takes it for a dead run's. The handle may delete and rename, so
// that the file is put in place through it. Until then the file goes when
// its handle closes: when the run ends by Ctrl-C, a closed console or a
// kill, Windows closes the handle and the file with it. Where the file
// system cannot do that, or a kill comes between the two calls, the next
// run's clean-up removes it.
Status create_temporary(Replacement& r, bool& exists) {
  const HANDLE h = CreateFileW(r.temporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
    return failure(kNoTemporary, windows_reason(code), r.temporary.parent_path());
  }
  exists = false;
  r.handle = h;
  delete_on_close(h, true);
  return {};
}

Status write_temporary(Replacement& r, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD wrote = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!WriteFile(r.handle, data, ask, &wrote, nullptr)) return windows_failure(kWriteFailed, r.temporary);
    if (wrote == 0) return failure(kWriteFailed, system_reason(ENOSPC), r.temporary);
    data += wrote;
    size -= wrote;
  }
  return {};
}

Status sync_temporary(Replacement& r) {
  if (FlushFileBuffers(r.handle)) return {};
  return windows_failure(kWriteFailed, r.temporary);
}

Status close_written(Replacement&) { return {}; }

Status rename_over_target(Replacement& r) {
  delete_on_close(r.handle, false);  // kept, from now on
  const fs::path::string_type& name = r.target.native();
  const std::size_t bytes = sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t);
  std::string storage(bytes, '\0');
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  if (SetFileInformationByHandle(r.handle, FileRenameInfo, info, static_cast<DWORD>(bytes))) return {};
  const DWORD code = GetLastError();
  // Windows calls a folder in the way "access denied"; said as POSIX says it.
  const DWORD attributes = GetFileAttributesW(r.target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return failure(kWriteFailed, system_reason(EISDIR), r.target);
  }
  return failure(kWriteFailed, windows_reason(code), r.target);
}

void release(Replacement& r) {
  if (r.handle) CloseHandle(r.handle);
  r.handle = nullptr;
}

// Opened without sharing, which fails while the run that writes it has it
// open; deleted through that handle when it holds nothing or the start of a
// result. A link is opened as itself and left alone.
void remove_if_dead(const fs::path& path) {
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION info{};
  char start[sizeof kResultStart - 1];
  DWORD got = 0;
  if (GetFileInformationByHandle(h, &info) &&
      !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
      ReadFile(h, start, sizeof start, &got, nullptr) &&
      (got == 0 || (got == sizeof start && std::memcmp(start, kResultStart, sizeof start) == 0))) {
    delete_on_close(h, true);
  }
  CloseHandle(h);
}

Status sync_name(const fs::path& file) {
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return windows_failure(kWriteFailed, file);
  const bool flushed = FlushFileBuffers(handle);
  const Status status = flushed ? Status{} : windows_failure(kWriteFailed, file);
  CloseHandle(handle);
  return status;
}

}  // namespace platform::replace_detail
