#pragma once
// Back to the state at the program's start, for tests, which run many
// programs' worth of calls in one process: every channel closed, no failure
// recorded, continue-on-failure off.

#include "platform/channels.h"
#include "platform/runtime.h"

inline void reset_runtime() {
  platform::close_all_channels();
  platform::reset_error_number();
  platform::__vbaOnError(0);
}
