#include "platform/system/cpu.h"

#include "platform/target.h"

namespace platform {

bool cpu_has_avx2() {
#if KASOR_AVX2_KERNELS
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt");
#else
  return false;
#endif
}

}  // namespace platform
