#include "platform/process.h"

#include <cstring>
#include <system_error>
#include <thread>

#include "platform/runtime.h"
#include "platform/simd.h"

#ifdef __linux__
#include <sched.h>
#endif

namespace platform {

bool working_folder(std::filesystem::path::string_type& folder) {
  std::error_code ec;
  const std::filesystem::path current = std::filesystem::current_path(ec);
  if (ec) return fail(kNoFolder, ec.message());
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

Simd fastest_simd() {
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt")) {
    return Simd::kAvx2;
  }
#endif
  return Simd::kScalar;
}

Simd simd_named(const char* name, Simd fallback) {
  Simd named = fallback;
  if (name && std::strcmp(name, "scalar") == 0) named = Simd::kScalar;
  if (name && std::strcmp(name, "avx2") == 0) named = Simd::kAvx2;
  return named <= fastest_simd() ? named : fastest_simd();
}

}  // namespace platform
