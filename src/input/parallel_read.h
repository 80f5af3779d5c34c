#pragma once
// Reading the blocks of a large input on several cores at once, with exactly
// the result of reading it in one pass.

#include <cstdint>

#include "peak/peak_table.h"

// For tests: the number of segments to cut the input into (0: one per
// hardware thread), and the least input after the count line worth cutting.
inline int g_forced_segments = 0;
inline std::uint64_t g_parallel_min_bytes = std::uint64_t{8} << 20;

// Reads the blocks that follow the count line on `channel` (which it leaves
// where it is) in segments, each from a line starting with "TS", each into a
// table of its own, and merges the tables in input order. True when that
// proved to give exactly what reading in one pass gives: every segment read
// without damage up to exactly where the next begins, and no end marker before
// the last. Otherwise, or when the input is small or the machine has one
// core, false, with `table` as it was.
bool read_blocks_in_parallel(int channel, PeakTable& table, std::int32_t node_count);
