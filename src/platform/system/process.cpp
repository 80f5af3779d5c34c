#include "platform/system/process.h"

#include <system_error>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif
#ifndef _WIN32
#include <csignal>
#endif

namespace platform {

bool working_folder(std::filesystem::path::string_type& folder, std::string& reason) {
  std::error_code ec;
  const std::filesystem::path current = std::filesystem::current_path(ec);
  if (ec) {
    reason = ec.message();
    return false;
  }
  folder = current.native();
  return true;
}

int usable_cores() {
#ifdef __linux__
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

void ignore_signals_of_failed_writes() {
#ifndef _WIN32
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace platform
