#pragma once

namespace platform {

// The cores this process may run on: on Linux those its affinity allows (so
// that `taskset -c 0 kasor-max` reads on one thread), elsewhere the machine's.
int usable_cores();

}  // namespace platform
