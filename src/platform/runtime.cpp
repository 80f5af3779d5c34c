#include "platform/runtime.h"

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

std::string system_reason(int code) { return std::error_code(code, std::generic_category()).message(); }

int error_number() { return g_error; }

const std::string& error_reason() { return g_reason; }

Status failure_of_this_thread() { return failure(static_cast<Error>(g_error), g_reason); }

bool record(const Status& status) {
  g_error = status.error;
  g_reason = status.reason;
  if (!g_continue_on_failure) {
    report("Fehler: Laufzeitfehler " + std::to_string(static_cast<int>(status.error)) + " (" + g_reason +
           "), Programm beendet.\n");
    std::exit(kExitStartFailed);
  }
  return false;
}

void __vbaOnError(int mode) { g_continue_on_failure = (mode == -1); }

bool __vbaI4ErrVar(std::string_view text, std::int32_t& value) {
  if (parse_whole_number(text, value)) return true;
  return fail(kNoWholeNumber, std::string(text.substr(0, 40)));
}

void reset_error_number() {
  g_error = kNoError;
  g_reason.clear();
}

}  // namespace platform
