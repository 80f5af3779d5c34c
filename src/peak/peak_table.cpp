#include "peak/peak_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "platform/runtime.h"

bool create_peak_table(PeakTable& table, std::int32_t nodes) {
  const std::size_t kSlots = static_cast<std::size_t>(std::clamp(nodes, 0, kNodeCapacity)) + 1;
  // calloc: zeroed at once, and pages that no node reaches are never touched.
  table.magnitude = static_cast<float*>(std::calloc(kSlots, sizeof(float)));
  table.x = static_cast<float*>(std::calloc(kSlots, sizeof(float)));
  table.y = static_cast<float*>(std::calloc(kSlots, sizeof(float)));
  if (!table.magnitude || !table.x || !table.y) {
    release_peak_table(table);
    return platform::fail(platform::kOutOfMemory, "nicht genug Speicher für die Knotentabelle");
  }
  return true;
}

void release_peak_table(PeakTable& table) {
  std::free(table.magnitude);
  std::free(table.x);
  std::free(table.y);
  table = PeakTable{};
}

void clear_peak_table(PeakTable& table, std::int32_t nodes) {
  if (nodes <= 0) return;
  const std::size_t bytes = (static_cast<std::size_t>(std::min(nodes, kNodeCapacity)) + 1) * sizeof(float);
  std::memset(table.magnitude, 0, bytes);
  std::memset(table.x, 0, bytes);
  std::memset(table.y, 0, bytes);
}

// Magnitudes above the single-precision range all round to infinity; comparing
// them in double keeps the larger vector rather than simply the first. Called
// for every pair offered to a node whose peak is infinite.
void offer_beyond_single_range(PeakTable& table, std::int32_t node, float x, float y) {
  auto exact = [](float a, float b) {
    return platform::square_root(platform::__vbaPowerR8(a, 2.0) + platform::__vbaPowerR8(b, 2.0));
  };
  if (exact(x, y) > exact(table.x[node], table.y[node])) {
    table.x[node] = x;
    table.y[node] = y;
  }
}

namespace {

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
// Four nodes at a time: their sums of squares compared with their peaks'
// squares at once, and only where a sum is larger (or a peak is infinite) is
// anything rooted or stored.
__attribute__((target("avx2"))) void offer_run_avx2(PeakTable& table, std::int32_t first, const float* xs,
                                                    const float* ys, std::size_t count) {
  std::size_t i = 0;
  const __m256d infinity = _mm256_set1_pd(std::numeric_limits<double>::infinity());
  const __m256i low_halves = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
  for (; i + 4 <= count; i += 4) {
    const std::int32_t node = first + static_cast<std::int32_t>(i);
    const __m128 x4 = _mm_loadu_ps(xs + i);
    const __m128 y4 = _mm_loadu_ps(ys + i);
    const __m256d x = _mm256_cvtps_pd(x4);
    const __m256d y = _mm256_cvtps_pd(y4);
    const __m256d sum = _mm256_add_pd(_mm256_mul_pd(x, x), _mm256_mul_pd(y, y));
    const __m128 peak4 = _mm_loadu_ps(table.magnitude + node);
    const __m256d peak = _mm256_cvtps_pd(peak4);
    const __m256d larger = _mm256_cmp_pd(sum, _mm256_mul_pd(peak, peak), _CMP_GT_OQ);
    const int infinite = _mm256_movemask_pd(_mm256_cmp_pd(peak, infinity, _CMP_EQ_OQ));
    if (_mm256_movemask_pd(larger) == 0 && infinite == 0) continue;  // the common case, once peaks settle
    const __m128 magnitude = _mm256_cvtpd_ps(_mm256_sqrt_pd(sum));
    const __m128 larger4 = _mm_castsi128_ps(
        _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(larger), low_halves)));
    const __m128 take = _mm_and_ps(larger4, _mm_cmpgt_ps(magnitude, peak4));
    _mm_storeu_ps(table.magnitude + node, _mm_blendv_ps(peak4, magnitude, take));
    _mm_storeu_ps(table.x + node, _mm_blendv_ps(_mm_loadu_ps(table.x + node), x4, take));
    _mm_storeu_ps(table.y + node, _mm_blendv_ps(_mm_loadu_ps(table.y + node), y4, take));
    for (int lane = 0; lane < 4; ++lane) {
      if (infinite >> lane & 1) offer_beyond_single_range(table, node + lane, xs[i + lane], ys[i + lane]);
    }
  }
  for (; i < count; ++i) offer(table, first + static_cast<std::int32_t>(i), xs[i], ys[i]);
}
#endif

}  // namespace

void offer_run(PeakTable& table, std::int32_t first, const float* xs, const float* ys, std::size_t count,
               platform::Simd simd) {
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
  // Nodes outside the table are left to offer, which passes them over.
  if (simd == platform::Simd::kAvx2 && first >= 1 && first + static_cast<std::int64_t>(count) - 1 <= kNodeCapacity) {
    offer_run_avx2(table, first, xs, ys, count);
    return;
  }
#endif
  (void)simd;
  for (std::size_t i = 0; i < count; ++i) offer(table, first + static_cast<std::int32_t>(i), xs[i], ys[i]);
}

bool no_such_node(std::int32_t node) {
  return platform::fail(platform::kOutOfRange, "node " + std::to_string(node));
}
