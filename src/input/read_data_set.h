#pragma once
// The reading phase: the count line, then every block of pairs up to the end
// marker or the end of the file, each pair offered to the peak table.

#include <cstdint>

#include "peak/peak_table.h"

struct ReadResult {
  bool count_line_found = false;
  std::uint64_t damaged_places = 0;  // pairs or blocks lost to damage, each warned about
};

// Reads from channel 1, which is open for input, and closes it. Sets
// `node_count` from the count line. Stops as soon as the count is known to
// exceed the table's capacity.
ReadResult read_data_set(PeakTable& table, std::int32_t& node_count);
