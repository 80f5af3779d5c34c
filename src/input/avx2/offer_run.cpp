// The AVX2 way's offer: runs of pairs offered four nodes at a time.
#include "input/ways.h"
#include "platform/target.h"

#if KASOR_AVX2_KERNELS
#include <immintrin.h>

namespace {

// Four into `kept` where `take` is set.
KASOR_AVX2 inline void keep(float* kept, __m128 offered, __m128 take) {
  _mm_storeu_ps(kept, _mm_blendv_ps(_mm_loadu_ps(kept), offered, take));
}

}  // namespace

// Their sums of squares (sum_of_squares, four at once) compared with their
// peaks' squares at once, and only where a sum is larger (or a peak is
// infinite) is anything rooted or stored.
KASOR_AVX2 void offer_run_avx2(PeakTable& table, std::int32_t first, const PairBuffers& pairs,
                               std::size_t count) {
  std::size_t i = 0;
  // Nodes outside the table are left to offer, which passes them over.
  const bool inside = first >= 1 && first + static_cast<std::int64_t>(count) - 1 <= kNodeCapacity;
  const std::size_t quads = inside ? count / 4 * 4 : 0;
  const __m256d infinity = _mm256_set1_pd(std::numeric_limits<double>::infinity());
  const __m256i low_halves = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
  const __m256i apart = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);  // x, then y
  for (; i < quads; i += 4) {
    const std::int32_t node = first + static_cast<std::int32_t>(i);
    const __m256 xy = _mm256_permutevar8x32_ps(_mm256_loadu_ps(pairs.xy + 2 * i), apart);
    const __m128 x4 = _mm256_castps256_ps128(xy);
    const __m128 y4 = _mm256_extractf128_ps(xy, 1);
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
    keep(table.x + node, x4, take);
    keep(table.y + node, y4, take);
    const __m256 read = _mm256_permutevar8x32_ps(_mm256_loadu_ps(reinterpret_cast<const float*>(pairs.read + 2 * i)), apart);
    keep(reinterpret_cast<float*>(table.x_read + node), _mm256_castps256_ps128(read), take);
    keep(reinterpret_cast<float*>(table.y_read + node), _mm256_extractf128_ps(read, 1), take);
    for (int lane = 0; lane < 4; ++lane) {
      if (infinite >> lane & 1) {
        const std::size_t k = 2 * (i + static_cast<std::size_t>(lane));
        offer_beyond_single_range(table, node + lane, pairs.xy[k], pairs.xy[k + 1], pairs.read[k], pairs.read[k + 1]);
      }
    }
  }
  const PairBuffers rest{pairs.xy + 2 * i, pairs.read + 2 * i};
  offer_run_scalar(table, first + static_cast<std::int32_t>(i), rest, count - i);
}

#else

// No AVX2 kernels here: this way is never chosen.
void offer_run_avx2(PeakTable& table, std::int32_t first, const PairBuffers& pairs, std::size_t count) {
  offer_run_scalar(table, first, pairs, count);
}

#endif
