#pragma once
// Runs of pairs: the bulk of a block read many pairs at a time, by one of
// two kernels of the same contract (the ways of reading, input/ways.h).
//
// A run reads pairs of numbers from `p` on, each pair followed by blanks and
// tabs and at most one line end, as the item reader leaves them. It stops
// before the first pair it cannot read so (damage) or that holds a NaN, after
// `count` pairs, and before anything that reaches the last 64 bytes before
// `end`, where a NUL stands and the data may go on; the item reader then
// reads that pair, damage, NaN and all. The values are exactly the
// item reader's, and the run ends where the item reader would stand after its
// last pair.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/numbers/decimal.h"

namespace platform {

// A run stops this far before the end of the data it was given.
inline constexpr std::size_t kNearEnd = 64;

struct PlainRun {
  std::size_t pairs = 0;
  const char* end = nullptr;   // after the last pair read
  std::uint64_t lines = 0;     // line ends passed
  bool line_end_last = false;  // the run ended with a line end
};

// Where a run puts the pairs it reads, x and y by turns: pair i is
// (xy[2i], xy[2i + 1]), read from the decimals read[2i] and read[2i + 1], or
// 0 where the way does not keep them. Room for 2 * count + 8 of each: a way
// may write past the pairs it reads.
struct PairBuffers {
  float* xy;
  Decimal* read;
};

// A way of reading runs; `scratch` is working space for unusual numbers.
using ParsePairs = PlainRun (*)(const char* p, const char* end, const PairBuffers& out, std::size_t count,
                                std::string& scratch);

// Pair after pair, each number the item reader's quick way. The reference;
// keeps no decimals.
PlainRun parse_pairs_scalar(const char* p, const char* end, const PairBuffers& out, std::size_t count,
                            std::string& scratch);

// Every item of a stretch found at once with AVX2, then read eight at a
// time; the few of another form one by one, as the item reader's quick way
// reads them. Pairs may share or span lines. Keeps the decimals of the
// common form. Only on a CPU with AVX2.
PlainRun parse_pairs_avx2(const char* p, const char* end, const PairBuffers& out, std::size_t count,
                          std::string& scratch);

}  // namespace platform
