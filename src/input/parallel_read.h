#pragma once
// Reading the blocks of a large input on several cores at once, with exactly
// the result of reading it in one pass.

#include <cstdint>

#include "input/read_data_set.h"
#include "peak/peak_table.h"
#include "platform/files/input_channel.h"

// The whole run stays within this much memory on any number of cores.
inline constexpr std::uint64_t kMemoryBudget = std::uint64_t{256} << 20;

// The most segments whose tables fit in the budget for `node_count` nodes,
// beside the run's own table, buffers and printers: at least 1.
int segments_within_budget(std::int32_t node_count);

// Reads the blocks that follow the count line on `in` (which it leaves where
// it is) in segments, each from a line starting with "TS", each into a table
// of its own, and merges the tables in input order (or hands the later ones
// over in the options' `later`, to be merged while printing). Returns true when that
// proved to give exactly what reading in one pass gives: every segment read
// without damage, left-over values or NaN up to exactly where the next
// begins, no end marker before the last, and the file unchanged; `read` then
// holds the number of block headers read and the last segment's held pair,
// which belongs in `last_table`. Otherwise, or when the input is small,
// UTF-16 or one segment is asked for, returns false, with `table` as it was.
bool read_blocks_in_parallel(platform::InputChannel& in, PeakTable& table, std::int32_t node_count,
                             const ReadOptions& options, BlocksRead& read, PeakTable*& last_table);
