#include "output/write_peak_data_set.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/channels.h"

namespace {

constexpr int kChannel = 3;
constexpr int kMostWriters = 8;
using platform::kItemInteger;
using platform::kItemText;
using platform::kThenDirectly;
using platform::kThenLineEnd;
using platform::kThenNextZone;

constexpr std::uint8_t kTextLine[] = {0x01, 0x00, kItemText | kThenLineEnd};
constexpr std::uint8_t kCountLine[] = {0x02, 0x00, kItemText | kThenDirectly, kItemInteger | kThenLineEnd};
// The node lines, 02 00 04 84, are printed by print_pair_line.

// Node lines `first` to `last` on `out`.
bool print_nodes(platform::OutputChannel& out, std::int32_t first, std::int32_t last, const PeakTable& table) {
  float x = 0, y = 0;
  for (std::int32_t node = first; node <= last; ++node) {
    if (!peak(table, node, x, y) || !platform::print_pair_line(out, x, y)) return false;
  }
  return true;
}

// Node lines `first` to `last` printed into memory.
bool print_chunk(std::int32_t first, std::int32_t last, const PeakTable& table, std::string& bytes) {
  platform::OutputChannel memory;
  return memory.open_memory() && print_nodes(memory, first, last, table) && memory.take_memory(bytes);
}

// The node lines in rounds of one chunk per thread: the first chunk of a
// round goes straight to the file while the others are printed into memory
// at the same time, and then follow it in order. Memory stays at a chunk
// per extra thread.
bool print_nodes_in_parallel(platform::OutputChannel& file, std::int32_t node_count, const PeakTable& table,
                             int threads, std::int32_t chunk) {
  std::vector<std::string> chunks(static_cast<std::size_t>(threads));
  std::vector<char> printed(static_cast<std::size_t>(threads));
  for (std::int64_t round = 1; round <= node_count; round += std::int64_t{threads} * chunk) {
    auto chunk_first = [&](int t) {
      return static_cast<std::int32_t>(std::min<std::int64_t>(round + std::int64_t{t} * chunk, std::int64_t{node_count} + 1));
    };
    auto print_part = [&](int t) {
      const auto i = static_cast<std::size_t>(t);
      printed[i] = print_chunk(chunk_first(t), chunk_first(t + 1) - 1, table, chunks[i]);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
      try {
        helpers.emplace_back(print_part, t);
      } catch (const std::system_error&) {  // no thread to be had: print it here
        print_part(t);
      }
    }
    bool ok = print_nodes(file, chunk_first(0), chunk_first(1) - 1, table);
    for (std::thread& helper : helpers) helper.join();
    for (int t = 1; t < threads; ++t) {
      const auto i = static_cast<std::size_t>(t);
      ok = ok && printed[i] && file.write_bytes(chunks[i]);
    }
    if (!ok) return false;
  }
  return true;
}

bool write_lines(std::int32_t node_count, const PeakTable& table, const WriteOptions& options) {
  if (!platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("VECTOR")) ||
      !platform::__vbaPrintFile(kChannel, kCountLine, std::string_view("ND  "), node_count) ||
      !platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("ST  0")) ||
      !platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("TS  0.0"))) {
    return false;
  }
  platform::OutputChannel& file = *platform::output_channel(kChannel);
  const int threads = std::min(options.writers, kMostWriters);
  if (threads >= 2 && node_count >= options.parallel_from_nodes) {
    return print_nodes_in_parallel(file, node_count, table, threads, std::max(options.nodes_per_chunk, 1));
  }
  return print_nodes(file, 1, node_count, table);
}

}  // namespace

WriteResult write_peak_data_set(const std::filesystem::path::string_type& prefix, std::int32_t node_count,
                                const PeakTable& table, const WriteOptions& options) {
  WriteResult result;
  const std::filesystem::path name(prefix + std::filesystem::path("KASOR_max.dat").native());
  if (!platform::__vbaFileOpen(platform::kModeOutput, -1, kChannel, name)) return result;
  // A write that fails stops the writing, and the unfinished file goes.
  if (!write_lines(node_count, table, options)) {
    platform::discard_output(kChannel);
    return result;
  }
  result.written = platform::__vbaFileClose(kChannel);
  // The new name lives in the folder: until the folder is on the disk, a
  // power cut can bring back the older result.
  std::string reason;
  if (result.written && !platform::make_name_durable(name, reason)) result.not_durable = reason;
  return result;
}
