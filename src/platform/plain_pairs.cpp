#include "platform/plain_pairs.h"

#include <cstring>

#include "platform/plain_number.h"

namespace platform {

PlainRun plain_pairs_scalar(const char* p, const char* stop, float* xs, float* ys, std::size_t count) {
  PlainRun run;
  run.end = p;
  while (run.pairs < count && p < stop) {
    const char* q = p;
    while (*q == ' ' || *q == '\t') ++q;
    float x, y;
    q = read_plain_number(q, x);
    if (!q) break;
    while (*q == ' ' || *q == '\t' || *q == ',') ++q;
    q = read_plain_number(q, y);
    if (!q) break;
    while (*q == ' ' || *q == '\t') ++q;
    if (*q == '\n') {
      ++q;
    } else if (*q == '\r') {
      q += q[1] == '\n' ? 2 : 1;
    } else {
      break;
    }
    // No number or line end may be cut by the end of the buffer.
    if (q >= stop) break;
    xs[run.pairs] = x;
    ys[run.pairs] = y;
    ++run.pairs;
    p = q;
  }
  run.end = p;
  run.lines = run.pairs;
  run.line_end_last = run.pairs > 0;
  return run;
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
