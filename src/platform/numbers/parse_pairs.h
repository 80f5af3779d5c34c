#pragma once
// Runs of pairs: the bulk of a block read many pairs at a time, by one of
// two kernels of the same contract (the ways of reading, input/ways.h).
//
// A run reads pairs of numbers from `p` on, each pair followed by blanks and
// tabs and at most one line end, as the item reader leaves them. It stops
// before the first pair it cannot read so (damage, a number in an unusual
// form), after `count` pairs, and before anything that reaches the last 64
// bytes before `end`, where a NUL stands and the data may go on; the item
// reader then reads that pair, damage and all. The values are exactly the
// item reader's, and the run ends where the item reader would stand after its
// last pair.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A run stops this far before the end of the data it was given.
inline constexpr std::size_t kNearEnd = 64;

struct PlainRun {
  std::size_t pairs = 0;
  const char* end = nullptr;   // after the last pair read
  std::uint64_t lines = 0;     // line ends passed
  bool line_end_last = false;  // the run ended with a line end
};

// A way of reading runs; `scratch` is working space for unusual numbers.
using ParsePairs = PlainRun (*)(const char* p, const char* end, float* xs, float* ys, std::size_t count,
                                std::string& scratch);

// Pair after pair, each number the item reader's quick way. The reference.
PlainRun parse_pairs_scalar(const char* p, const char* end, float* xs, float* ys, std::size_t count,
                            std::string& scratch);

// Every item of a stretch found at once with AVX2, then each parsed on its own
// (SSE), so that one item's length does not hold up the next. Takes plain
// numbers only: an optional sign, digits with at most one point (one to
// fifteen digits), optionally an exponent letter (E, e, D, d), a sign and one
// to three digits. Pairs may share or span lines. Only on a CPU with AVX2.
PlainRun parse_pairs_avx2(const char* p, const char* end, float* xs, float* ys, std::size_t count,
                          std::string& scratch);

}  // namespace platform
