#include "output/write_peak_data_set.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/channels.h"
#include "platform/jobs.h"

namespace {

constexpr int kChannel = 3;
constexpr int kMostWriters = 8;
using platform::kItemInteger;
using platform::kItemText;
using platform::kThenDirectly;
using platform::kThenLineEnd;
using platform::Status;

constexpr std::uint8_t kTextLine[] = {0x01, 0x00, kItemText | kThenLineEnd};
constexpr std::uint8_t kCountLine[] = {0x02, 0x00, kItemText | kThenDirectly, kItemInteger | kThenLineEnd};
// The node lines, 02 00 04 84, are printed by print_pair_line.

// Node lines `first` to `last` on `out`.
Status print_nodes(platform::OutputChannel& out, std::int32_t first, std::int32_t last, const PeakTable& table) {
  float x = 0, y = 0;
  platform::Decimal x_read = 0, y_read = 0;
  for (std::int32_t node = first; node <= last; ++node) {
    if (!peak(table, node, x, y, x_read, y_read)) {
      return platform::failure(platform::kOutOfRange, "node " + std::to_string(node));
    }
    if (!platform::print_pair_line(out, x, y, x_read, y_read)) return out.failure();
  }
  return {};
}

// Node lines `first` to `last` printed into memory.
Status print_chunk(std::int32_t first, std::int32_t last, const PeakTable& table, platform::Faults* faults,
                   std::string& bytes) {
  platform::OutputChannel memory;
  Status status = memory.open_memory(faults);
  if (status.ok()) status = print_nodes(memory, first, last, table);
  if (status.ok()) status = memory.take_memory(bytes);
  return status;
}

// The node lines in rounds of one chunk per thread: the first chunk of a
// round goes straight to the file while the others are printed into memory
// at the same time, and then follow it in order. Memory stays at a chunk
// per extra thread. Each helper hands back what it came to.
Status print_nodes_in_parallel(platform::OutputChannel& file, std::int32_t node_count, const PeakTable& table,
                               int threads, std::int32_t chunk, const WriteOptions& options) {
  std::vector<std::string> chunks(static_cast<std::size_t>(threads));
  std::vector<Status> printed(static_cast<std::size_t>(threads));
  std::vector<std::thread> helpers;
  for (std::int64_t round = 1; round <= node_count; round += std::int64_t{threads} * chunk) {
    auto chunk_first = [&](int t) {
      return static_cast<std::int32_t>(std::min<std::int64_t>(round + std::int64_t{t} * chunk, std::int64_t{node_count} + 1));
    };
    for (int t = 1; t < threads; ++t) {
      const auto i = static_cast<std::size_t>(t);
      platform::start_job(helpers, [&, t, i] {
        printed[i] = print_chunk(chunk_first(t), chunk_first(t + 1) - 1, table, options.faults, chunks[i]);
      });
    }
    Status status = print_nodes(file, chunk_first(0), chunk_first(1) - 1, table);
    platform::finish_jobs(helpers);
    for (std::size_t i = 1; status.ok() && i < chunks.size(); ++i) {
      status = printed[i];
      if (status.ok() && !file.write_bytes(chunks[i])) status = file.failure();
    }
    if (!status.ok()) return status;
    if (options.printed) options.printed(chunk_first(threads) - 1);
  }
  return {};
}

Status write_lines(std::int32_t node_count, const PeakTable& table, const WriteOptions& options) {
  if (!platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("VECTOR")) ||
      !platform::__vbaPrintFile(kChannel, kCountLine, std::string_view("ND  "), node_count) ||
      !platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("ST  0")) ||
      !platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("TS  0.0"))) {
    return platform::failure_of_this_thread();
  }
  platform::OutputChannel& file = *platform::output_channel(kChannel);
  const int threads = std::min(options.writers, kMostWriters);
  const std::int32_t chunk = std::max(options.nodes_per_chunk, 1);
  if (threads >= 2 && node_count >= options.parallel_from_nodes) {
    return print_nodes_in_parallel(file, node_count, table, threads, chunk, options);
  }
  for (std::int64_t first = 1; first <= node_count; first += chunk) {
    const auto last = static_cast<std::int32_t>(std::min<std::int64_t>(first + chunk - 1, node_count));
    const Status status = print_nodes(file, static_cast<std::int32_t>(first), last, table);
    if (!status.ok()) return status;
    if (options.printed) options.printed(last);
  }
  return {};
}

}  // namespace

WriteResult write_peak_data_set(const std::filesystem::path::string_type& prefix, std::int32_t node_count,
                                const PeakTable& table, const WriteOptions& options) {
  WriteResult result;
  const std::filesystem::path name(prefix + std::filesystem::path("KASOR_max.dat").native());
  if (!platform::__vbaFileOpen(platform::kModeOutput, -1, kChannel, name, options.faults)) {
    result.status = platform::failure_of_this_thread();
    return result;
  }
  // A write that fails stops the writing, and the unfinished file goes.
  if (options.printed) options.printed(0);
  result.status = write_lines(node_count, table, options);
  if (!result.status.ok()) {
    platform::discard_output(kChannel);
    return result;
  }
  if (!platform::__vbaFileClose(kChannel)) {
    result.status = platform::failure_of_this_thread();
    return result;
  }
  // The new name lives in the folder: until the folder is on the disk, a
  // power cut can bring back the older result.
  const Status durable = platform::make_name_durable(name, options.faults);
  if (!durable.ok()) result.not_durable = durable.reason;
  return result;
}
