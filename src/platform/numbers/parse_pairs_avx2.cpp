#include "platform/numbers/parse_pairs.h"

#include <algorithm>
#include <array>
#include <bit>

#include "platform/numbers/parse_single.h"
#include "platform/target.h"

#if KASOR_AVX2_KERNELS
#include <immintrin.h>

namespace platform {
namespace {

// A stretch is read in blocks of 64 bytes, at most this many at a time.
constexpr std::size_t kMostBlocks = 128;
constexpr std::size_t kMostItems = 2 * 256;

// For a mantissa that ends before byte m and has its point at byte d (d == m:
// none), the shuffle that moves its digits to the end of 16 bytes, the last
// digit into byte 15, and fills the bytes before them from byte 0 (whose
// digit value is zeroed before the shuffle unless it is a digit of the
// mantissa: then the mantissa has 16 characters, and is refused as too long).
struct Compaction {
  alignas(16) std::array<std::array<std::array<std::int8_t, 16>, 17>, 17> shuffle{};
};
constexpr Compaction kCompaction = [] {
  Compaction c;
  for (int m = 0; m <= 16; ++m) {
    for (int d = 0; d <= m; ++d) {
      int source = m - 1;
      for (int j = 15; j >= 0; --j) {
        if (source == d) --source;
        c.shuffle[m][d][j] = static_cast<std::int8_t>(source >= 0 ? source : 0x80);
        --source;
      }
    }
  }
  return c;
}();

// Bits of the 64 bytes at p: where they are separators (blank, tab, comma,
// CR, LF), and where a line ends (an LF, or a CR not followed by one).
struct Block {
  std::uint64_t separators;
  std::uint64_t line_ends;
};

KASOR_AVX2 inline std::uint32_t separators32(__m256i v) {
  // Each separator is the only one with its low nibble: a look-up by it
  // yields the byte itself for a separator and never for another byte.
  const __m256i table = _mm256_setr_epi8(' ', 0, 0, 0, 0, 0, 0, 0, 0, '\t', '\n', 0, ',', '\r', 0, 0,
                                         ' ', 0, 0, 0, 0, 0, 0, 0, 0, '\t', '\n', 0, ',', '\r', 0, 0);
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_shuffle_epi8(table, v))));
}

KASOR_AVX2 inline std::uint32_t equal32(__m256i v, char c) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(c))));
}

KASOR_AVX2 inline Block classify(const char* p) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  const std::uint64_t separators = separators32(low) | std::uint64_t{separators32(high)} << 32;
  const std::uint64_t lf = equal32(low, '\n') | std::uint64_t{equal32(high, '\n')} << 32;
  const std::uint64_t cr = equal32(low, '\r') | std::uint64_t{equal32(high, '\r')} << 32;
  const std::uint64_t lf_next = (lf >> 1) | std::uint64_t{p[64] == '\n'} << 63;
  return {separators, lf | (cr & ~lf_next)};
}

// The item [s, s + length), if it is a plain number: its value into `value`.
KASOR_AVX2 inline bool read_item(const char* s, unsigned length, float& value) {
  if (length > 16) return false;
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t);
  const std::uint32_t in_item = (1u << length) - 1;
  const std::uint32_t digits = static_cast<std::uint32_t>(_mm_movemask_epi8(is_digit)) & in_item;
  const std::uint32_t points =
      static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('.')))) & in_item;
  const bool negative = s[0] == '-';
  const unsigned first = negative || s[0] == '+';
  const std::uint32_t after_sign = in_item & ~((1u << first) - 1);
  // The mantissa: digits and at most one point, up to the first other character.
  const std::uint32_t other = after_sign & ~(digits | points);
  const unsigned m = other ? static_cast<unsigned>(std::countr_zero(other)) : length;
  const std::uint32_t mantissa = after_sign & ((1u << m) - 1);
  const std::uint32_t point = points & mantissa;
  const int mantissa_digits = std::popcount(digits & mantissa);
  if (mantissa_digits == 0 || mantissa_digits > 15 || std::popcount(point) > 1) return false;
  const unsigned d = point ? static_cast<unsigned>(std::countr_zero(point)) : m;
  int exponent = point ? -static_cast<int>(m - d - 1) : 0;
  if (m < length) {  // an exponent: its letter, a sign, one to three digits to the item's end
    if ((s[m] | 0x20) != 'e' && (s[m] | 0x20) != 'd') return false;
    unsigned q = m + 1;
    const bool exponent_negative = s[q] == '-';
    q += exponent_negative || s[q] == '+';
    const std::uint32_t rest = in_item & ~((1u << q) - 1);
    if (length - q < 1 || length - q > 3 || (digits & rest) != rest) return false;
    int written = 0;
    for (unsigned i = q; i < length; ++i) written = written * 10 + (s[i] - '0');
    exponent += exponent_negative ? -written : written;
  }
  // The digits, point left out, moved to the end of 16 bytes and combined in
  // twos, fours and eights.
  const __m128i values = _mm_and_si128(t, is_digit);
  const __m128i aligned =
      _mm_shuffle_epi8(values, _mm_load_si128(reinterpret_cast<const __m128i*>(kCompaction.shuffle[m][d].data())));
  const __m128i twos = _mm_maddubs_epi16(aligned, _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1));
  const __m128i fours = _mm_madd_epi16(twos, _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1));
  const __m128i packed = _mm_packus_epi32(fours, fours);
  const __m128i eights = _mm_madd_epi16(packed, _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1));
  const std::uint64_t high = static_cast<std::uint32_t>(_mm_cvtsi128_si32(eights));
  const std::uint64_t low = static_cast<std::uint32_t>(_mm_extract_epi32(eights, 1));
  float f;
  if (!exact_single(high * 100000000 + low, exponent, f)) return false;
  value = std::bit_cast<float>(std::bit_cast<std::uint32_t>(f) | std::uint32_t{negative} << 31);
  return true;
}

}  // namespace

KASOR_AVX2 PlainRun parse_pairs_avx2(const char* p, const char* end, float* xs, float* ys, std::size_t count,
                                     std::string&) {
  PlainRun run;
  run.end = p;
  if (end - p <= static_cast<std::ptrdiff_t>(kNearEnd) || count == 0) return run;
  // Everything a run touches lies before this, so that no number or line end
  // is cut by the end of the data, and every look-ahead stays inside it.
  const char* const stop = end - kNearEnd;
  // Where every item of the stretch starts and ends, as offsets from p, and
  // the line ends of each block.
  std::uint32_t starts[kMostItems + 64], ends[kMostItems + 64];
  std::uint64_t line_ends[kMostBlocks];
  std::size_t started = 0, ended = 0, blocks = 0;
  const std::size_t wanted = 2 * std::min(count, kMostItems / 2);
  std::uint64_t before = 1;  // the byte before p counts as a separator: p is where an item may start
  for (const char* block = p; block < stop && blocks < kMostBlocks && ended < wanted; block += 64, ++blocks) {
    const Block b = classify(block);
    const std::uint64_t previous = (b.separators << 1) | before;
    std::uint64_t item_starts = ~b.separators & previous;
    std::uint64_t item_ends = b.separators & ~previous;
    before = b.separators >> 63;
    line_ends[blocks] = b.line_ends;
    const auto base = static_cast<std::uint32_t>(block - p);
    while (item_starts && started < kMostItems + 64) {
      starts[started++] = base + static_cast<std::uint32_t>(std::countr_zero(item_starts));
      item_starts &= item_starts - 1;
    }
    while (item_ends && ended < kMostItems + 64) {
      ends[ended++] = base + static_cast<std::uint32_t>(std::countr_zero(item_ends));
      item_ends &= item_ends - 1;
    }
  }
  // Each item is read on its own; the run ends before a pair with an item
  // that is no plain number, or that ends too near the end of the buffer.
  const std::size_t items = std::min({started, ended, wanted});
  const auto limit = static_cast<std::uint32_t>(stop - p);
  std::size_t pairs = 0;
  for (; 2 * pairs + 1 < items; ++pairs) {
    const std::size_t i = 2 * pairs;
    if (ends[i + 1] >= limit ||
        !read_item(p + starts[i], ends[i] - starts[i], xs[pairs]) ||
        !read_item(p + starts[i + 1], ends[i + 1] - starts[i + 1], ys[pairs])) {
      break;
    }
  }
  // After the last pair: blanks and tabs, then one line end. A pair whose
  // line end might be cut by the end of the buffer is left to the item reader.
  const char* q = nullptr;
  for (; pairs > 0; --pairs) {
    const char* const blanks_end = skip_blanks(p + ends[2 * pairs - 1]);
    q = past_line_end(blanks_end);
    run.line_end_last = q != blanks_end;
    if (q <= stop) break;
  }
  if (pairs == 0) return run;
  run.pairs = pairs;
  run.end = q;
  // The line ends passed, counted from the blocks' masks; a line end just
  // beyond the blocks read is the last pair's own.
  const auto passed = static_cast<std::size_t>(q - p);
  const std::size_t scanned = 64 * blocks;
  const std::size_t counted = std::min(passed, scanned);
  for (std::size_t k = 0; k < counted / 64; ++k) run.lines += static_cast<std::uint64_t>(std::popcount(line_ends[k]));
  if (counted % 64) {
    run.lines += static_cast<std::uint64_t>(std::popcount(line_ends[counted / 64] & ((std::uint64_t{1} << (counted % 64)) - 1)));
  }
  if (run.line_end_last && passed - 1 >= scanned) ++run.lines;
  return run;
}

}  // namespace platform

#else

namespace platform {
// No AVX2 kernels here: this way is never chosen, and an empty run would
// leave every pair to the item reader.
PlainRun parse_pairs_avx2(const char* p, const char*, float*, float*, std::size_t, std::string&) {
  PlainRun run;
  run.end = p;
  return run;
}
}  // namespace platform

#endif
