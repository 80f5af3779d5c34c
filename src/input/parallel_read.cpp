#include "input/parallel_read.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "input/read_data_set.h"
#include "platform/channel.h"
#include "platform/cores.h"
#include "platform/line_input.h"

namespace {

constexpr int kMostSegments = 32;
constexpr int kFirstSegmentChannel = 20;  // channels 20 to 51; 1 and 3 stay the program's
constexpr int kScanChannel = 19;

// The start of the first line that starts with "TS" at or after `from`, before
// `before`; 0 when there is none. Lines are read as the reader reads them, so
// a start is a start for it too.
std::uint64_t next_block_header(const std::filesystem::path& name, std::uint64_t from, std::uint64_t before,
                                std::uint64_t size) {
  // From the byte before: the rest of its line is passed over, and if that
  // byte ends a line, the next line starts exactly at `from`.
  if (!platform::open_input_range(kScanChannel, name, from - 1, size)) return 0;
  std::string line;
  line.reserve(platform::kLineKeep);
  std::uint64_t found = 0;
  platform::__vbaLineInputStr(kScanChannel, line);
  for (;;) {
    const std::uint64_t start = platform::input_offset(kScanChannel);
    if (start >= before || !platform::__vbaLineInputStr(kScanChannel, line)) break;
    if (is_block_header(line)) {
      found = start;
      break;
    }
  }
  platform::__vbaFileClose(kScanChannel);
  return found;
}

struct Segment {
  std::uint64_t begin = 0, end = 0;
  PeakTable table;  // the first segment reads into the run's own table
  BlocksRead read;
  bool opened = false;
  bool read_failed = false;
};

void read_segment(int number, const std::filesystem::path& name, Segment& segment, std::int32_t node_count) {
  const int channel = kFirstSegmentChannel + number;
  // Writing the zeros first gives each page of the table its own memory at
  // once. Otherwise its first read maps the shared zero page, and the write
  // after it must replace that page and interrupt every other core to do so.
  clear_peak_table(segment.table, node_count);
  segment.opened = platform::open_input_range(channel, name, segment.begin, segment.end);
  if (!segment.opened) return;
  segment.read = read_blocks(channel, segment.table, node_count, false);
  segment.read_failed = platform::read_failed(channel);
  platform::__vbaFileClose(channel);
}

}  // namespace

bool read_blocks_in_parallel(int channel, PeakTable& table, std::int32_t node_count) {
  const int wanted = g_forced_segments > 0 ? g_forced_segments : platform::usable_cores();
  const int segments_wanted = std::min(wanted, kMostSegments);
  std::uint64_t size = 0;
  if (segments_wanted < 2 || node_count <= 0 || !platform::input_file_size(channel, size)) return false;
  const std::filesystem::path name = platform::g_channels[channel].name;
  const std::uint64_t start = platform::input_offset(channel);
  if (size <= start || size - start < g_parallel_min_bytes) return false;

  // Cuts near evenly spaced offsets, each at a block header.
  std::vector<std::uint64_t> cuts{start};
  const std::uint64_t span = size - start;
  for (int k = 1; k < segments_wanted; ++k) {
    const std::uint64_t target = std::max(start + span * static_cast<std::uint64_t>(k) / segments_wanted, cuts.back() + 1);
    const std::uint64_t before = start + span * static_cast<std::uint64_t>(k + 1) / segments_wanted;
    if (target >= before) continue;
    const std::uint64_t cut = next_block_header(name, target, before, size);
    if (cut > cuts.back()) cuts.push_back(cut);
  }
  cuts.push_back(size);
  const std::size_t count = cuts.size() - 1;
  if (count < 2) return false;

  std::vector<Segment> segments(count);
  bool tables_ready = true;
  for (std::size_t i = 0; i < count; ++i) {
    segments[i].begin = cuts[i];
    segments[i].end = cuts[i + 1];
    if (i == 0) {
      segments[i].table = table;
    } else {
      tables_ready = tables_ready && create_peak_table(segments[i].table, node_count);
    }
  }

  if (tables_ready) {
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < count; ++i) {
      try {
        threads.emplace_back(read_segment, static_cast<int>(i), std::cref(name), std::ref(segments[i]), node_count);
      } catch (const std::system_error&) {  // no thread to be had: read it here
        read_segment(static_cast<int>(i), name, segments[i], node_count);
      }
    }
    read_segment(0, name, segments[0], node_count);
    for (std::thread& t : threads) t.join();
  }

  bool exact = tables_ready;
  for (std::size_t i = 0; i < count && exact; ++i) {
    const Segment& s = segments[i];
    exact = s.opened && !s.read_failed && s.read.damaged_places == 0 && (!s.read.end_marker || i + 1 == count);
  }
  if (exact) {
    // In input order, by the same rule: of equal magnitudes the earlier stays.
    for (std::size_t i = 1; i < count; ++i) {
      const PeakTable& part = segments[i].table;
      for (std::int32_t node = 1; node <= node_count; ++node) merge_peak(table, node, part);
    }
  } else {
    clear_peak_table(table, node_count);
  }
  for (std::size_t i = 1; i < count; ++i) release_peak_table(segments[i].table);
  return exact;
}
