#pragma once
// Runs of pairs read many at a time with AVX2: the fast way through the bulk
// of a block on a CPU that has it (InputChannel::read_plain_pairs).
//
// A run reads pairs of plain numbers: an optional sign, digits with at most
// one point (at least one digit, at most fifteen), optionally an exponent
// letter (E, e, D, d), a sign and one to three digits. It stops before the
// first pair it cannot read so, before `stop` and after `count` pairs; the
// item reader then reads that pair, damage and all. The values are exactly
// the item reader's, and the run ends where the item reader would stand after
// its last pair: after the blanks and tabs that follow it and one line end.

#include <cstddef>
#include <cstdint>

#include "platform/simd.h"

namespace platform {

struct PlainRun {
  std::size_t pairs = 0;
  const char* end = nullptr;  // after the last pair read
  std::uint64_t lines = 0;    // line ends passed
  bool line_end_last = false;  // the run ended with a line end
};

// Every item of a stretch found at once with AVX2, then each parsed on its own
// (SSE), so that one item's length does not hold up the next. Pairs may share
// or span lines. Only on a CPU with AVX2.
PlainRun plain_pairs_avx2(const char* p, const char* stop, float* xs, float* ys, std::size_t count);

}  // namespace platform
