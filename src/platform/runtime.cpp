#include "platform/runtime.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "platform/channels.h"
#include "platform/console.h"
#include "platform/faults.h"

namespace platform {
namespace {
// Each thread keeps its own error number: readers of several parts of one
// file at once must not see each other's failures.
thread_local int g_error = kNoError;
thread_local std::string g_reason;
bool g_continue_on_failure = false;
}  // namespace

int error_number() { return g_error; }

const std::string& error_reason() { return g_reason; }

bool fail(Error error, std::string reason) {
  g_error = error;
  g_reason = std::move(reason);
  if (!g_continue_on_failure) {
    report("Fehler: Laufzeitfehler " + std::to_string(static_cast<int>(error)) + " (" + g_reason +
           "), Programm beendet.\n");
    std::exit(kExitStartFailed);
  }
  return false;
}

std::string system_reason(int code) { return std::error_code(code, std::generic_category()).message(); }

void __vbaOnError(int mode) { g_continue_on_failure = (mode == -1); }

void reset_for_tests() {
  close_all_channels();
  g_faults = Faults{};
  g_error = kNoError;
  g_reason.clear();
  g_continue_on_failure = false;
}

}  // namespace platform
