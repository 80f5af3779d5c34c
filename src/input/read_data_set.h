#pragma once
// The reading phase: the count line, then every block of pairs up to the end
// marker or the end of the file, each pair offered to the peak table.

#include <cstdint>
#include <string>

#include "peak/peak_table.h"

struct ReadResult {
  bool count_line_found = false;
  std::uint64_t damaged_places = 0;  // pairs or blocks lost to damage, each warned about
};

// Reads from channel 1, which is open for input, and closes it. Sets
// `node_count` from the count line. Stops as soon as the count is known to
// exceed the table's capacity. Large inputs are read in parallel where that
// gives exactly the same result.
ReadResult read_data_set(PeakTable& table, std::int32_t& node_count);

// Whether a line is a block header: its first two characters are "TS".
bool is_block_header(const std::string& line);

struct BlocksRead {
  std::uint64_t damaged_places = 0;
  bool end_marker = false;  // reading ended at an end marker
};

// The block loop, from where `channel` stands (just after the count line, or
// at the start of a line) to an end marker or the end of the data. Damage is
// warned about on standard error when `report` is set, and counted always.
BlocksRead read_blocks(int channel, PeakTable& table, std::int32_t node_count, bool report);
