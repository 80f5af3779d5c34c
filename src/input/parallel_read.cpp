#include "input/parallel_read.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/jobs.h"

namespace {

constexpr int kMostSegments = 32;
// What a run needs besides the segments' tables: its own table's slots, the
// buffers and the printers of the result, the program itself.
constexpr std::uint64_t kBesidesSegments = std::uint64_t{32} << 20;
// What each further segment needs besides its table: its buffer and the scan for its start.
constexpr std::uint64_t kPerSegment = std::uint64_t{2} << 20;

// The start of the first line that starts with "TS" at or after `from`, before
// `before`; 0 when there is none. Lines are read as the reader reads them, so
// a start is a start for it too.
std::uint64_t next_block_header(const std::filesystem::path& name, std::uint64_t from, std::uint64_t before,
                                std::uint64_t size) {
  // From the byte before: the rest of its line is passed over, and if that
  // byte ends a line, the next line starts exactly at `from`.
  platform::InputChannel scan;
  if (!scan.open_range(name, from - 1, size).ok()) return 0;
  std::string line;
  line.reserve(platform::kLineKeep);
  scan.read_line(line);
  if (!scan.skip_to_line_starting('T', 'S')) return 0;  // a block header's line starts with "TS"
  const std::uint64_t start = scan.offset();
  return start < before ? start : 0;
}

// Offsets that cut the input from `start` to `size` into at most `segments`
// parts near evenly spaced offsets, each at a block header. The first is
// `start` and the last `size`.
std::vector<std::uint64_t> choose_cuts(const std::filesystem::path& name, std::uint64_t start, std::uint64_t size,
                                       int segments) {
  std::vector<std::uint64_t> cuts{start};
  const std::uint64_t span = size - start;
  for (int k = 1; k < segments; ++k) {
    const std::uint64_t target = std::max(start + span * static_cast<std::uint64_t>(k) / segments, cuts.back() + 1);
    const std::uint64_t before = start + span * static_cast<std::uint64_t>(k + 1) / segments;
    if (target >= before) continue;
    const std::uint64_t cut = next_block_header(name, target, before, size);
    if (cut > cuts.back()) cuts.push_back(cut);
  }
  cuts.push_back(size);
  return cuts;
}

struct Segment {
  std::uint64_t begin = 0, end = 0;
  PeakTable table;  // the first segment reads into the run's own table
  BlocksRead read;
  bool opened = false;
  bool read_failed = false;
};

void read_segment(const std::filesystem::path& name, Segment& segment, std::int32_t node_count,
                  const ReadOptions& options) {
  prepare_peak_table(segment.table, node_count);
  platform::InputChannel in;
  segment.opened = in.open_range(name, segment.begin, segment.end).ok();
  if (!segment.opened) return;
  segment.read = read_blocks(in, segment.table, node_count, options);
  segment.read_failed = !in.read_error().ok();
}

// Reads the segments between `cuts`, the first into `table` on this thread,
// each other into a table of its own on a thread of its own, all in silence:
// a warning of theirs is the one pass's to give. Returns them, or nothing
// when a table could not be had.
std::vector<Segment> read_segments(const std::filesystem::path& name, const std::vector<std::uint64_t>& cuts,
                                   PeakTable& table, std::int32_t node_count, ReadOptions options) {
  options.reports.warning = nullptr;
  std::vector<Segment> segments(cuts.size() - 1);
  bool tables_ready = true;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    segments[i].begin = cuts[i];
    segments[i].end = cuts[i + 1];
    if (i == 0) {
      segments[i].table = table;
    } else {
      tables_ready = tables_ready && create_peak_table(segments[i].table, node_count);
    }
  }
  if (!tables_ready) {
    for (std::size_t i = 1; i < segments.size(); ++i) release_peak_table(segments[i].table);
    return {};
  }
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < segments.size(); ++i) {
    Segment& segment = segments[i];
    platform::start_job(threads, [&name, &segment, node_count, &options] { read_segment(name, segment, node_count, options); });
  }
  read_segment(name, segments[0], node_count, options);
  platform::finish_jobs(threads);
  return segments;
}

// True when the segments were read without anything to warn of: no damage,
// no values left over, no NaN. The one pass warns of those, in line order.
bool without_warnings(const Segment& s) {
  return s.opened && !s.read_failed && s.read.damaged_places == 0 && s.read.nan_pairs == 0;
}

// True when the segments together are exactly one pass: each read without
// warnings to its end, and no end marker or held pair before the last.
bool same_as_one_pass(const std::vector<Segment>& segments) {
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    const bool last = i + 1 == segments.size();
    if (!without_warnings(s) || (!last && (s.read.end_marker || s.read.last_pair.held))) return false;
  }
  return true;
}

}  // namespace

int segments_within_budget(std::int32_t node_count) {
  const std::uint64_t table = kPeakTableBytesPerNode * static_cast<std::uint64_t>(std::clamp(node_count, 0, kNodeCapacity));
  if (table + kBesidesSegments >= kMemoryBudget) return 1;
  const std::uint64_t further = (kMemoryBudget - table - kBesidesSegments) / (table + kPerSegment);
  return static_cast<int>(std::min<std::uint64_t>(1 + further, kMostSegments));
}

bool read_blocks_in_parallel(platform::InputChannel& in, PeakTable& table, std::int32_t node_count,
                             const ReadOptions& options, BlocksRead& read, PeakTable*& last_table) {
  const int segments_wanted = std::min(options.segments, segments_within_budget(node_count));
  // The file as it was opened; UTF-16 is read in one pass, its offsets being
  // no offsets of the text the readers see.
  std::uint64_t size = 0;
  if (segments_wanted < 2 || node_count <= 0 || !in.file_size(size) || in.encoding() != platform::Encoding::kBytes) {
    return false;
  }
  const std::uint64_t start = in.offset();
  if (size <= start || size - start < options.parallel_from_bytes) return false;

  const std::vector<std::uint64_t> cuts = choose_cuts(in.name(), start, size, segments_wanted);
  if (cuts.size() < 3) return false;
  std::vector<Segment> segments = read_segments(in.name(), cuts, table, node_count, options);
  if (segments.empty()) return false;
  // The segments opened the file by its name; if it changed, they may have
  // read another file, or part of one. The one pass reads it as it now is.
  const bool exact = same_as_one_pass(segments) && !in.changed();
  LaterPeaks later;
  for (std::size_t i = 1; i < segments.size(); ++i) later.tables.push_back(segments[i].table);
  if (exact) {
    // Merged now, or while the result is printed, a chunk at a time while
    // its nodes are in the cache.
    // The held pair is the input's last: it belongs after everything
    // else, in the last table, or in the merged one.
    if (options.later) {
      options.later->tables.swap(later.tables);
      last_table = &options.later->tables.back();
    } else {
      merge_later_peaks(table, later, 1, node_count);
      last_table = &table;
    }
    read = BlocksRead{};
    for (const Segment& s : segments) read.blocks += s.read.blocks;
    read.last_pair = segments.back().read.last_pair;
  } else {
    clear_peak_table(table, node_count);
    // What the segments read is read again, in one pass.
    const bool damaged = std::any_of(segments.begin(), segments.end(),
                                     [](const Segment& s) { return s.opened && !without_warnings(s); });
    if (options.reports.restart) options.reports.restart(start, damaged);
  }
  return exact;
}
