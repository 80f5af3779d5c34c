// The AVX2 way of reading runs of pairs.
#include <algorithm>
#include <bit>

#include "input/ways.h"
#include "platform/numbers/char_class.h"
#include "platform/numbers/decimal.h"
#include "platform/numbers/parse_single.h"
#include "platform/target.h"

#if KASOR_AVX2_KERNELS
#include <immintrin.h>

using platform::Decimal;
using platform::kDecimalPowerBias;
using platform::kDecimalPowerShift;
using platform::kMostExactPower;
using platform::kMostExactSignificand;
using platform::kNearEnd;
using platform::NaN;
using platform::past_line_end;
using platform::Scan;
using platform::scan_single;
using platform::skip_blanks;

namespace {

// A stretch is read in blocks of 64 bytes, at most this many at a time.
constexpr std::size_t kMostBlocks = 128;
constexpr std::size_t kMostItems = 2 * 256;
// Each item's shape is read from this many bits of the mask planes from its
// first byte on: the longest item of the common form ("-1234.567e+01", 13
// characters) and the separator after it fit.
constexpr int kWindowBits = 25;
// The common form has at most this many digits, which one 8-byte gather holds.
constexpr int kMostDigits = 8;
// An exponent of the common form: its letter, its sign and two digits.
constexpr int kExponentLength = 4;

// Bits of the 64 bytes at p, one per byte: where they are separators
// (blank, tab, comma, CR, LF), where they are digits or points, where they
// are points or minus signs, and where a line ends (an LF, or a CR not
// followed by one). Of the two middle planes a digit has the first bit
// alone, a point both, a minus the second alone: three planes, not four, for
// each item's shape to be gathered from.
struct Block {
  std::uint64_t separators;
  std::uint64_t digits_points;
  std::uint64_t points_minus;
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

KASOR_AVX2 inline std::uint32_t digits_points32(__m256i v) {
  const __m256i t = _mm256_sub_epi8(v, _mm256_set1_epi8('0'));
  const __m256i digits = _mm256_cmpeq_epi8(_mm256_min_epu8(t, _mm256_set1_epi8(9)), t);
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(digits, _mm256_cmpeq_epi8(v, _mm256_set1_epi8('.')))));
}

KASOR_AVX2 inline std::uint32_t points_minus32(__m256i v) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(
      _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('.')), _mm256_cmpeq_epi8(v, _mm256_set1_epi8('-')))));
}

KASOR_AVX2 inline Block classify(const char* p) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  auto both = [](std::uint32_t l, std::uint32_t h) { return l | std::uint64_t{h} << 32; };
  const std::uint64_t lf = both(equal32(low, '\n'), equal32(high, '\n'));
  const std::uint64_t cr = both(equal32(low, '\r'), equal32(high, '\r'));
  const std::uint64_t lf_next = (lf >> 1) | std::uint64_t{p[64] == '\n'} << 63;
  return {both(separators32(low), separators32(high)), both(digits_points32(low), digits_points32(high)),
          both(points_minus32(low), points_minus32(high)), lf | (cr & ~lf_next)};
}

// The masks of a stretch, a bit a byte, kept to read each item's shape from,
// and two blocks of zeros after them, so that a window of 32 bits from any
// byte of the stretch stays inside.
struct Masks {
  std::uint64_t separators[kMostBlocks + 2];
  std::uint64_t digits_points[kMostBlocks + 2];
  std::uint64_t points_minus[kMostBlocks + 2];
};

// The number of trailing zeros of each lane (0 < x < 2^31), from the exponent
// of its lowest set bit as a float; -127 for x == 0.
KASOR_AVX2 inline __m256i trailing_zeros(__m256i x) {
  const __m256i lowest = _mm256_and_si256(x, _mm256_sub_epi32(_mm256_setzero_si256(), x));
  const __m256i bits = _mm256_castps_si256(_mm256_cvtepi32_ps(lowest));
  return _mm256_sub_epi32(_mm256_srli_epi32(bits, 23), _mm256_set1_epi32(127));
}

// kWindowBits bits of a mask plane from each item's first byte on.
KASOR_AVX2 inline __m256i window(const std::uint64_t* plane, __m256i byte, __m256i shift) {
  const __m256i w = _mm256_i32gather_epi32(reinterpret_cast<const int*>(plane), byte, 1);
  return _mm256_and_si256(_mm256_srlv_epi32(w, shift), _mm256_set1_epi32((1 << kWindowBits) - 1));
}

// The significands of four items: up to 8 digits in the 8 bytes from each
// item's first mantissa character (its sign left out), the point at byte
// `point` squeezed out, `digits` of them kept, as 64-bit lanes.
KASOR_AVX2 inline __m256i significands(const char* p, __m128i first, __m128i point, __m128i digits) {
  __m256i x = _mm256_i32gather_epi64(reinterpret_cast<const long long*>(p), first, 1);
  const __m256i d = _mm256_cvtepu32_epi64(point);
  // Below the point as it is, above it one byte down: the point is gone.
  const __m256i below = _mm256_sub_epi64(_mm256_sllv_epi64(_mm256_set1_epi64x(1), _mm256_slli_epi64(d, 3)),
                                         _mm256_set1_epi64x(1));
  x = _mm256_or_si256(_mm256_and_si256(x, below), _mm256_andnot_si256(below, _mm256_srli_epi64(x, 8)));
  // Digit values, moved up so that the last digit is the top byte and zeros
  // (leading digits) fill the bytes below the first.
  x = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
  const __m256i unused = _mm256_sub_epi64(_mm256_set1_epi64x(8), _mm256_cvtepu32_epi64(digits));
  x = _mm256_sllv_epi64(x, _mm256_slli_epi64(unused, 3));
  const __m256i twos = _mm256_maddubs_epi16(x, _mm256_set1_epi16(0x010A));  // bytes (10, 1)
  const __m256i fours = _mm256_madd_epi16(twos, _mm256_set1_epi32(0x00010064));  // words (100, 1)
  return _mm256_add_epi64(_mm256_mul_epu32(fours, _mm256_set1_epi64x(10000)), _mm256_srli_epi64(fours, 32));
}

// The common form of an item: an optional minus, one to eight characters of
// digits with at most one point, and optionally e or E, a sign and two
// digits. Its significand, if at most 2^24, and its power of ten, if at most
// 10 either way, are exact singles, so one IEEE multiplication or division
// gives the correctly rounded value: Clinger's fast path (W. D. Clinger,
// "How to Read Floating Point Numbers Accurately", PLDI 1990), as fast_float
// takes it for a mantissa up to max_mantissa_fast_path; the limits are
// platform/numbers/decimal.h's, where the decimals kept are packed. Eight items are read at once, in 32-bit
// lanes, in two steps over a stretch: first the shape of each from the
// masks, then the values from the text. Each step's loads depend only on
// what the step before stored, so that the groups of eight overlap in the
// processor instead of waiting for each other's loads.

// The shape of an item, packed: the number of digits before its point (all
// of them without one), of its digits, 1 for an exponent, 1 for a minus, and
// the top bit set when it is not of the common form.
constexpr int kDigitsShift = 4, kExponentShift = 8, kMinusShift = 9;

// The lengths and shapes of eight items; a length is negative when the
// item's first separator is more than 24 bytes on.
KASOR_AVX2 inline void shape_eight(const Masks& m, const std::uint32_t* starts, std::int32_t* lengths,
                                   std::int32_t* shapes) {
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i start = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(starts));
  const __m256i byte = _mm256_srli_epi32(start, 3);
  const __m256i shift = _mm256_and_si256(start, _mm256_set1_epi32(7));
  const __m256i separators = window(m.separators, byte, shift);
  const __m256i digits_points = window(m.digits_points, byte, shift);
  const __m256i points_minus = window(m.points_minus, byte, shift);
  const __m256i digit_bits = _mm256_andnot_si256(points_minus, digits_points);
  const __m256i point_bits = _mm256_and_si256(points_minus, digits_points);
  const __m256i sign = _mm256_and_si256(_mm256_andnot_si256(digits_points, points_minus), one);  // 1 for a leading minus
  const __m256i length = trailing_zeros(separators);

  // The mantissa runs from after the sign to the first byte that is neither
  // digit nor point: the item's end, or the letter of an exponent four
  // bytes before it whose last two bytes are digits. The bit after the
  // window counts as such a byte, so that every mantissa ends.
  const __m256i four = _mm256_set1_epi32(kExponentLength);
  const __m256i other =
      _mm256_andnot_si256(_mm256_or_si256(digits_points, sign), _mm256_set1_epi32((1 << (kWindowBits + 1)) - 1));
  const __m256i mantissa_end = trailing_zeros(other);
  const __m256i has_exponent = _mm256_cmpeq_epi32(mantissa_end, _mm256_sub_epi32(length, four));
  const __m256i exponent_digits =
      _mm256_and_si256(_mm256_srlv_epi32(digit_bits, _mm256_sub_epi32(length, _mm256_set1_epi32(2))), _mm256_set1_epi32(3));
  const __m256i mantissa = _mm256_andnot_si256(sign, _mm256_sub_epi32(_mm256_sllv_epi32(one, mantissa_end), one));
  const __m256i points = _mm256_and_si256(point_bits, mantissa);
  const __m256i two_points = _mm256_and_si256(points, _mm256_sub_epi32(points, one));
  const __m256i has_point = _mm256_cmpgt_epi32(points, zero);
  const __m256i characters = _mm256_sub_epi32(mantissa_end, sign);
  const __m256i count = _mm256_add_epi32(characters, has_point);  // has_point is -1 or 0
  const __m256i before_point = _mm256_blendv_epi8(count, _mm256_sub_epi32(trailing_zeros(points), sign), has_point);

  // Not of the common form, each lane all ones or zero. An item longer than
  // the window has a negative length, which no mantissa ends at or four
  // bytes before.
  const __m256i all = _mm256_set1_epi32(-1);
  const __m256i ends_at_the_item_end = _mm256_cmpeq_epi32(mantissa_end, length);
  const __m256i ends_at_an_exponent = _mm256_and_si256(has_exponent, _mm256_cmpeq_epi32(exponent_digits, _mm256_set1_epi32(3)));
  const __m256i ends_elsewhere = _mm256_xor_si256(_mm256_or_si256(ends_at_the_item_end, ends_at_an_exponent), all);
  const __m256i more_points = _mm256_xor_si256(_mm256_cmpeq_epi32(two_points, zero), all);
  const __m256i too_many_digits = _mm256_cmpgt_epi32(characters, _mm256_set1_epi32(kMostDigits));
  const __m256i no_digit = _mm256_cmpgt_epi32(one, count);
  const __m256i failed =
      _mm256_or_si256(_mm256_or_si256(ends_elsewhere, more_points), _mm256_or_si256(too_many_digits, no_digit));
  const __m256i shape = _mm256_or_si256(
      _mm256_or_si256(before_point, _mm256_slli_epi32(count, kDigitsShift)),
      _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(has_exponent, _mm256_set1_epi32(1 << kExponentShift)),
                                      _mm256_slli_epi32(sign, kMinusShift)),
                      _mm256_and_si256(failed, _mm256_set1_epi32(INT32_MIN))));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(lengths), length);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(shapes), shape);
}

// The values of eight items of known shapes, and the decimals they were read
// from; the lanes of items that are not of the common form marked in `slow`.
KASOR_AVX2 inline void value_eight(const char* p, const std::uint32_t* starts, const std::int32_t* lengths,
                                   const std::int32_t* shapes, float* values, Decimal* decimals,
                                   std::uint32_t& slow) {
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i four = _mm256_set1_epi32(kExponentLength);
  const __m256i low_nibble = _mm256_set1_epi32(0xF);
  const __m256i start = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(starts));
  const __m256i length = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lengths));
  const __m256i shape = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shapes));
  const __m256i before_point = _mm256_and_si256(shape, low_nibble);
  const __m256i count = _mm256_and_si256(_mm256_srli_epi32(shape, kDigitsShift), low_nibble);
  const __m256i has_exponent = _mm256_sub_epi32(_mm256_setzero_si256(), _mm256_and_si256(_mm256_srli_epi32(shape, kExponentShift), one));
  const __m256i sign = _mm256_and_si256(_mm256_srli_epi32(shape, kMinusShift), one);

  // The exponent's four bytes: its letter, its sign and its two digits.
  const __m256i tail = _mm256_i32gather_epi32(reinterpret_cast<const int*>(p),
                                              _mm256_add_epi32(start, _mm256_sub_epi32(_mm256_max_epi32(length, four), four)), 1);
  const __m256i low_byte = _mm256_set1_epi32(0xFF);
  const __m256i letter = _mm256_and_si256(_mm256_or_si256(tail, _mm256_set1_epi32(0x20)), low_byte);
  const __m256i exponent_sign = _mm256_and_si256(_mm256_srli_epi32(tail, 8), low_byte);
  const __m256i negative_exponent = _mm256_cmpeq_epi32(exponent_sign, _mm256_set1_epi32('-'));
  const __m256i good_exponent =
      _mm256_and_si256(_mm256_cmpeq_epi32(letter, _mm256_set1_epi32('e')),
                       _mm256_or_si256(negative_exponent, _mm256_cmpeq_epi32(exponent_sign, _mm256_set1_epi32('+'))));
  const __m256i exponent_value = _mm256_add_epi32(
      _mm256_mullo_epi32(_mm256_sub_epi32(_mm256_and_si256(_mm256_srli_epi32(tail, 16), low_byte), _mm256_set1_epi32('0')),
                         _mm256_set1_epi32(10)),
      _mm256_sub_epi32(_mm256_srli_epi32(tail, 24), _mm256_set1_epi32('0')));
  const __m256i exponent = _mm256_and_si256(
      has_exponent, _mm256_sub_epi32(_mm256_xor_si256(exponent_value, negative_exponent), negative_exponent));
  const __m256i q = _mm256_sub_epi32(exponent, _mm256_sub_epi32(count, before_point));

  // The significands, four items at a time in 64-bit lanes, then 32-bit.
  const __m256i first = _mm256_add_epi32(start, sign);
  const __m256i low = significands(p, _mm256_castsi256_si128(first), _mm256_castsi256_si128(before_point),
                                   _mm256_castsi256_si128(count));
  const __m256i high = significands(p, _mm256_extracti128_si256(first, 1), _mm256_extracti128_si256(before_point, 1),
                                    _mm256_extracti128_si256(count, 1));
  const __m256i even = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
  const __m256i w = _mm256_permute2x128_si256(_mm256_permutevar8x32_epi32(low, even),
                                              _mm256_permutevar8x32_epi32(high, even), 0x20);

  // Not for the fast path (only the lanes' top bits count): not of the
  // common form (the shape's top bit), an exponent that is none, or a
  // significand or power of ten that is no exact single.
  const __m256i bad_exponent = _mm256_andnot_si256(good_exponent, has_exponent);
  const __m256i significand_too_large = _mm256_cmpgt_epi32(w, _mm256_set1_epi32(static_cast<int>(kMostExactSignificand)));
  const __m256i power_too_large = _mm256_cmpgt_epi32(_mm256_abs_epi32(q), _mm256_set1_epi32(kMostExactPower));
  const __m256i failed = _mm256_or_si256(_mm256_or_si256(shape, bad_exponent),
                                         _mm256_or_si256(significand_too_large, power_too_large));

  // w times or over 10^|q|: both exact singles, one correctly rounded operation.
  // A permutation picks a lane by the low three bits of the power: 0 to 7
  // from the first table, 8, 9 and 10 from the first lanes of the second
  // (the rest is never picked).
  static_assert(kMostExactPower == 10, "the tables hold the powers up to 10^10");
  const __m256i power = _mm256_abs_epi32(q);
  const __m256 low_powers = _mm256_setr_ps(1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f);
  const __m256 high_powers = _mm256_setr_ps(1e8f, 1e9f, 1e10f, 1e10f, 1e10f, 1e10f, 1e10f, 1e10f);
  const __m256 scale = _mm256_blendv_ps(_mm256_permutevar8x32_ps(low_powers, power),
                                        _mm256_permutevar8x32_ps(high_powers, power),
                                        _mm256_castsi256_ps(_mm256_cmpgt_epi32(power, _mm256_set1_epi32(7))));
  const __m256 whole = _mm256_cvtepi32_ps(w);
  __m256 value = _mm256_blendv_ps(_mm256_mul_ps(whole, scale), _mm256_div_ps(whole, scale), _mm256_castsi256_ps(q));
  value = _mm256_or_ps(value, _mm256_castsi256_ps(_mm256_slli_epi32(sign, 31)));
  _mm256_storeu_ps(values, value);
  // The decimals, packed as platform::decimal packs one.
  const __m256i decimal =
      _mm256_or_si256(w, _mm256_slli_epi32(_mm256_add_epi32(q, _mm256_set1_epi32(kDecimalPowerBias)), kDecimalPowerShift));
  _mm256_storeu_ps(reinterpret_cast<float*>(decimals), _mm256_blendv_ps(_mm256_castsi256_ps(decimal), _mm256_setzero_ps(), _mm256_castsi256_ps(failed)));
  slow = static_cast<std::uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(failed)));
}

// Keeps the compiler from knowing x: once the start list of a block runs
// out, it would otherwise branch to a copy of the rest for the known zero,
// a branch that goes the other way with every block's number of items.
inline void hide(std::uint64_t& x) { asm("" : "+r"(x)); }

// Stage 1, the index of a stretch: the masks of its blocks, where its lines
// end, and where every item starts, as offsets from its start.
struct Index {
  Masks masks;
  std::uint64_t line_ends[kMostBlocks];
  std::uint32_t starts[kMostItems + 64 + 16];
  std::size_t blocks = 0;
  std::size_t started = 0;  // items found
};

// The next eight starts of items in a block, from the bits of `item_starts`
// (fewer are left as the bits run out; what is written past them is never read).
KASOR_AVX2 inline void put_eight_starts(std::uint32_t* out, std::uint32_t base, std::uint64_t& item_starts) {
#pragma GCC unroll 8
  for (int k = 0; k < 8; ++k) {
    out[k] = base + static_cast<std::uint32_t>(std::countr_zero(item_starts));
    item_starts &= item_starts - 1;
    hide(item_starts);
  }
}

// Indexes blocks of 64 bytes from `p` on, before `stop`, until `wanted` items
// and one more are found: the end of each one wanted lies before the next
// one's start. Two blocks of zeros follow the masks.
KASOR_AVX2 inline void index_stretch(const char* p, const char* stop, std::size_t wanted, Index& index) {
  std::uint64_t before = 1;  // the byte before p counts as a separator: p is where an item may start
  std::size_t& blocks = index.blocks;
  for (const char* block = p; block < stop && blocks < kMostBlocks && index.started <= wanted; block += 64, ++blocks) {
    const Block b = classify(block);
    index.masks.separators[blocks] = b.separators;
    index.masks.digits_points[blocks] = b.digits_points;
    index.masks.points_minus[blocks] = b.points_minus;
    index.line_ends[blocks] = b.line_ends;
    std::uint64_t item_starts = ~b.separators & ((b.separators << 1) | before);
    before = b.separators >> 63;
    const auto base = static_cast<std::uint32_t>(block - p);
    // Eight at a time; only a block with more items takes another round.
    std::uint32_t* out = index.starts + index.started;
    index.started += static_cast<std::size_t>(std::popcount(item_starts));
    for (; item_starts; out += 8) put_eight_starts(out, base, item_starts);
  }
  for (std::size_t k = 0; k < 2; ++k) {
    index.masks.separators[blocks + k] = index.masks.digits_points[blocks + k] = index.masks.points_minus[blocks + k] = 0;
  }
}

// Stage 2, the values: reads `items` items of the stretch at `p` into
// `out`, eight at a time, each item of another form on its own as the item
// reader's quick way reads it, with its length in `lengths`. Returns the
// pairs read: all, or those before the first item that is no number or a NaN.
KASOR_AVX2 inline std::size_t read_values(const char* p, const char* end, const Index& index, std::size_t items,
                                          const PairBuffers& out, std::int32_t* lengths, std::string& scratch) {
  float* const values = out.xy;
  Decimal* const decimals = out.read;
  std::int32_t shapes[kMostItems + 8];
  std::size_t pairs = items / 2;
  for (std::size_t group = 0; group < items; group += 8) {
    shape_eight(index.masks, index.starts + group, lengths + group, shapes + group);
  }
  for (std::size_t group = 0; group < items; group += 8) {
    std::uint32_t slow;
    value_eight(p, index.starts + group, lengths + group, shapes + group, values + group, decimals + group, slow);
    for (; slow; slow &= slow - 1) {
      const std::size_t i = group + static_cast<std::size_t>(std::countr_zero(slow));
      if (i >= items) break;
      // The quick way also finds the end of an item longer than a window. A
      // NaN ends the run too: the item reader reads that pair, and it is counted.
      const char* const item = p + index.starts[i];
      const char* item_end;
      if (scan_single(item, end, false, values[i], item_end, scratch, NaN::kNoNumber) != Scan::kNumber) {
        pairs = std::min(pairs, i / 2);
        break;
      }
      lengths[i] = static_cast<std::int32_t>(item_end - item);
    }
    if (2 * pairs < group + 8) break;  // the last group, or one with an item that is no plain number
  }
  return pairs;
}

// Stage 3, the line ends passed in the first `passed` bytes, counted from the
// blocks' masks; a line end just beyond the blocks indexed is the last pair's
// own (`line_end_last`).
inline std::uint64_t line_ends_passed(const Index& index, std::size_t passed, bool line_end_last) {
  const std::size_t scanned = 64 * index.blocks;
  const std::size_t counted = std::min(passed, scanned);
  std::uint64_t lines = 0;
  for (std::size_t k = 0; k < counted / 64; ++k) lines += static_cast<std::uint64_t>(std::popcount(index.line_ends[k]));
  if (counted % 64) {
    lines += static_cast<std::uint64_t>(
        std::popcount(index.line_ends[counted / 64] & ((std::uint64_t{1} << (counted % 64)) - 1)));
  }
  if (line_end_last && passed - 1 >= scanned) ++lines;
  return lines;
}

}  // namespace

KASOR_AVX2 PlainRun parse_pairs_avx2(const char* p, const char* end, const PairBuffers& out, std::size_t count,
                                     std::string& scratch) {
  PlainRun run;
  run.end = p;
  if (end - p <= static_cast<std::ptrdiff_t>(kNearEnd) || count == 0) return run;
  // Everything a run touches lies before this, so that no number or line end
  // is cut by the end of the data, and every look-ahead stays inside it.
  const char* const stop = end - kNearEnd;

  Index index;
  const std::size_t wanted = 2 * std::min(count, kMostItems / 2);
  index_stretch(p, stop, wanted, index);
  const std::size_t items = std::min(index.started > 0 ? index.started - 1 : 0, wanted) & ~std::size_t{1};
  for (std::size_t k = items; k < items + 8; ++k) index.starts[k] = 0;  // a last group of eight reads harmless items

  std::int32_t lengths[kMostItems + 8];
  std::size_t pairs = read_values(p, end, index, items, out, lengths, scratch);
  auto end_of = [&](std::size_t i) { return index.starts[i] + static_cast<std::uint32_t>(lengths[i]); };
  const auto limit = static_cast<std::uint32_t>(stop - p);
  while (pairs > 0 && end_of(2 * pairs - 1) >= limit) --pairs;

  // After the last pair: blanks and tabs, then one line end. A pair whose
  // line end might be cut by the end of the buffer is left to the item reader.
  const char* q = nullptr;
  for (; pairs > 0; --pairs) {
    const char* const blanks_end = skip_blanks(p + end_of(2 * pairs - 1));
    q = past_line_end(blanks_end);
    run.line_end_last = q != blanks_end;
    if (q <= stop) break;
  }
  if (pairs == 0) return run;
  run.pairs = pairs;
  run.end = q;
  run.lines = line_ends_passed(index, static_cast<std::size_t>(q - p), run.line_end_last);
  return run;
}

#else

// No AVX2 kernels here: this way is never chosen, and an empty run would
// leave every pair to the item reader.
PlainRun parse_pairs_avx2(const char* p, const char*, const PairBuffers&, std::size_t, std::string&) {
  PlainRun run;
  run.end = p;
  return run;
}

#endif
