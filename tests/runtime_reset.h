#pragma once
// Back to the state at the program's start, for tests, which run many
// programs' worth of calls in one process: every channel closed, no failure
// recorded, continue-on-failure off.

#include "platform/channels.h"
#include "platform/files/file_calls.h"
#include "platform/runtime.h"

inline void reset_runtime() {
  platform::close_all_channels();
  platform::reset_error_number();
  platform::__vbaOnError(0);
}

// Faults installed for as long as it lives, however the test ends.
class FaultsInstalled {
 public:
  explicit FaultsInstalled(platform::Faults& faults) { platform::install_faults(&faults); }
  ~FaultsInstalled() { platform::install_faults(nullptr); }
  FaultsInstalled(const FaultsInstalled&) = delete;
  FaultsInstalled& operator=(const FaultsInstalled&) = delete;
};
