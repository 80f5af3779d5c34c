#include "platform/runtime.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "platform/numbers/whole_number.h"
#include "platform/system/console.h"

namespace platform {
namespace {
// Each thread keeps its own error number: readers of several parts of one
// file at once must not see each other's failures.
thread_local int g_error = kNoError;
thread_local std::string g_reason;
bool g_continue_on_failure = false;
}  // namespace

Status failure(Error error, std::string reason, std::filesystem::path file) {
  return Status{error, std::move(reason), std::move(file)};
}

std::string system_reason(int code) {
  switch (code) {
    case EACCES:
    case EPERM: return "keine Berechtigung";
    case EISDIR: return "ist ein Ordner";
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return "Datenträger voll";
    case EROFS: return "Datenträger nur lesbar";
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
      return "von einem anderen Programm belegt";
    case ENAMETOOLONG: return "Pfad zu lang";
    case EIO: return "Ein-/Ausgabefehler";
    case ENOENT: return "nicht vorhanden";
    case ENOMEM: return "nicht genug Speicher";
    case EFBIG: return "Datei zu groß für die Grenze, die dem Programm gesetzt ist";
    default: return std::error_code(code, std::generic_category()).message();
  }
}

#ifdef _WIN32
std::string windows_reason(unsigned long code) {
  switch (code) {
    case 5: return system_reason(EACCES);          // ERROR_ACCESS_DENIED
    case 32:                                         // ERROR_SHARING_VIOLATION
    case 33: return system_reason(EBUSY);           // ERROR_LOCK_VIOLATION
    case 39:                                         // ERROR_HANDLE_DISK_FULL
    case 112: return system_reason(ENOSPC);         // ERROR_DISK_FULL
    case 19: return system_reason(EROFS);           // ERROR_WRITE_PROTECT
    case 206: return system_reason(ENAMETOOLONG);   // ERROR_FILENAME_EXCED_RANGE
    case 23:                                         // ERROR_CRC
    case 29:                                         // ERROR_WRITE_FAULT
    case 30:                                         // ERROR_READ_FAULT
    case 1117: return system_reason(EIO);           // ERROR_IO_DEVICE
    case 2:                                          // ERROR_FILE_NOT_FOUND
    case 3: return system_reason(ENOENT);           // ERROR_PATH_NOT_FOUND
    case 8:                                          // ERROR_NOT_ENOUGH_MEMORY
    case 14: return system_reason(ENOMEM);          // ERROR_OUTOFMEMORY
    default: return std::error_code(static_cast<int>(code), std::system_category()).message();
  }
}
#endif

int error_number() { return g_error; }

Status failure_of_this_thread() { return failure(static_cast<Error>(g_error), g_reason); }

bool record(const Status& status) {
  g_error = status.error;
  g_reason = status.reason;
  if (!g_continue_on_failure) {
    report("Fehler: unerwarteter Fehler im Programm (Nummer " + std::to_string(static_cast<int>(status.error)) + ": " +
           g_reason + "); Programm beendet.\n");
    std::exit(kExitStartFailed);
  }
  return false;
}

void __vbaOnError(int mode) { g_continue_on_failure = (mode == -1); }

bool __vbaI4ErrVar(std::string_view text, std::int32_t& value) { return parse_whole_number(text, value); }

void reset_error_number() {
  g_error = kNoError;
  g_reason.clear();
}

}  // namespace platform
