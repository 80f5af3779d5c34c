#pragma once
// Runs of pairs read many at a time: the fast way through the bulk of a block.
//
// A run reads pairs of plain numbers (platform/plain_number.h) and stops
// before the first pair it cannot read so, before `stop` and after `count`
// pairs; the item reader then reads that pair, damage and all. Whatever way
// reads a run, the values are exactly the item reader's, and the run ends
// where the item reader would stand after its last pair: after the blanks and
// tabs that follow it and one line end.

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

// One pair after another, each on a line of its own, eight characters at a
// time: the reference, on every CPU.
PlainRun plain_pairs_scalar(const char* p, const char* stop, float* xs, float* ys, std::size_t count);

// Every item of a stretch found at once with AVX2, then each parsed on its own
// (SSE), so that one item's length does not hold up the next. Pairs may share
// or span lines. Only on a CPU with AVX2.
PlainRun plain_pairs_avx2(const char* p, const char* stop, float* xs, float* ys, std::size_t count);

}  // namespace platform
