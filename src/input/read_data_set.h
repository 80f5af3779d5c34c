#pragma once
// The reading phase: the count line, then every block of pairs up to the end
// marker or the end of the file, each pair offered to the peak table.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "input/ways.h"
#include "peak/peak_table.h"
#include "platform/files/input_channel.h"

// What reading tells as it goes. Each may be left empty: a warning then goes
// unsaid (it is counted all the same), the progress unheard.
struct ReadReports {
  // A warning: whole lines, "Warnung: ..." and the line end.
  std::function<void(const std::string& text)> warning;
  // So many more bytes of the input read, by any reader, on any thread.
  std::function<void(std::uint64_t bytes)> read;
  // Reading in parts was given up (for damage it found, when `damaged`), and
  // starts again in one pass at this offset of the input.
  std::function<void(std::uint64_t offset, bool damaged)> restart;
};

struct ReadOptions {
  // Segments to read the blocks in at once, one per core; 1 reads in one pass.
  int segments = 1;
  // The least input after the count line worth cutting into segments.
  std::uint64_t parallel_from_bytes = std::uint64_t{8} << 20;
  // The way runs of pairs are read and offered, chosen at the start.
  const Way* way = &kScalarWay;
  ReadReports reports;
  // Where a read in segments leaves the tables of the later segments, to be
  // merged a chunk of nodes at a time while the result is printed; merged
  // at once, on this thread, when null (a reader that writes nothing).
  LaterPeaks* later = nullptr;
};

struct ReadResult {
  bool count_line_found = false;
  // The count line names a node count from 1 to kNodeCapacity; nothing else
  // is read when it does not.
  bool count_valid = false;
  std::uint64_t count_line_number = 0;
  std::string count_line;            // as read
  bool count_line_too_long = false;  // longer than kLineKeep: its count is not read
  platform::Status read_error;       // before the count line: the file could not be read
  std::uint64_t damaged_places = 0;  // pairs, blocks and lines lost to damage, each warned about
  std::uint64_t nan_pairs = 0;       // pairs with a NaN, never a peak; warned about once
  std::uint64_t blocks = 0;          // block headers read
  bool changed = false;              // the file changed while it was read
  bool cut_pair_taken = false;       // the last pair came from a last line without a line end

  // True when the peaks are what a clean reading of the whole file gives.
  bool clean() const { return count_valid && damaged_places == 0 && nan_pairs == 0 && blocks > 0 && !changed; }
};

// Reads the data set from `in`, whose next line is its first. Sets
// `node_count` from the count line, and stops there when it is no count from
// 1 to the table's capacity. Large inputs are read in segments where that
// gives exactly the result of one pass. Warns through the options' reports
// of every damaged place, of pairs with a NaN, of a file that changed while
// it was read, and of a data set without blocks.
ReadResult read_data_set(platform::InputChannel& in, PeakTable& table, std::int32_t& node_count,
                         const ReadOptions& options);

// Whether a line is a block header: its first two characters are "TS".
bool is_block_header(std::string_view line);

// A pair read from a last line without a line end: it may be cut short, so
// it is offered only once the file has shown that it did not change.
struct HeldPair {
  bool held = false;
  std::int32_t node = 0;
  float x = 0, y = 0;
};

struct BlocksRead {
  std::uint64_t damaged_places = 0;
  std::uint64_t nan_pairs = 0;
  std::uint64_t first_nan_line = 0;
  std::uint64_t blocks = 0;
  bool end_marker = false;  // reading ended at an end marker
  HeldPair last_pair;
};

// The block loop, from where `in` stands (just after the count line, or at
// the start of a line) to an end marker or the end of the data. Damage, and
// values left over after a block, are warned about through the options'
// reports, and counted always; pairs with a NaN are counted.
BlocksRead read_blocks(platform::InputChannel& in, PeakTable& table, std::int32_t node_count,
                       const ReadOptions& options);
