#include "output/write_peak_data_set.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/file_calls.h"
#include "platform/files/print.h"
#include "platform/files/replace_file.h"
#include "platform/jobs.h"

namespace {

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

// The node lines in chunks that the threads take in turn: each prints its
// chunk into memory, waits until the chunks before it are in the file and
// writes it, so that while one thread writes the others print. Memory stays
// at a chunk per thread. One thread is the same loop, alone. The first
// failure in the file's order is returned, with its own reason, and stops
// every thread.
Status print_node_lines(platform::OutputChannel& file, std::int32_t node_count, const PeakTable& table, int threads,
                        std::int32_t chunk, const WriteOptions& options) {
  const std::int64_t chunks = (std::int64_t{node_count} + chunk - 1) / chunk;
  const std::thread::id reporter = std::this_thread::get_id();
  std::mutex mutex;
  std::condition_variable turn_changed;
  std::int64_t taken = 0;  // chunks taken by a thread
  std::int64_t turn = 0;   // the chunk to be written next, or -1 once one failed
  Status failed;
  auto work = [&] {
    platform::OutputChannel memory;
    for (;;) {
      std::int64_t k;
      {
        const std::lock_guard lock(mutex);
        if (turn < 0 || taken == chunks) return;
        k = taken++;
      }
      const auto first = static_cast<std::int32_t>(k * chunk + 1);
      const auto last = static_cast<std::int32_t>(std::min<std::int64_t>((k + 1) * chunk, node_count));
      if (options.before_printing) options.before_printing(first, last);
      Status status = memory.is_open() ? Status{} : memory.open_memory();
      if (status.ok()) status = print_nodes(memory, first, last, table);
      {
        std::unique_lock lock(mutex);
        turn_changed.wait(lock, [&] { return turn == k || turn < 0; });
        if (turn < 0) return;
      }
      // Only the thread whose turn it is writes.
      if (status.ok() && !file.write_bytes(memory.printed())) status = file.failure();
      memory.empty();
      {
        const std::lock_guard lock(mutex);
        if (status.ok()) {
          turn = k + 1;
        } else {
          failed = status;
          turn = -1;
        }
      }
      turn_changed.notify_all();
      if (!status.ok()) return;
      // The progress comes from one thread, the caller's, whose line it is.
      if (options.printed && std::this_thread::get_id() == reporter) options.printed(last);
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) platform::start_job(helpers, work);
  work();
  platform::finish_jobs(helpers);
  if (!failed.ok()) return failed;
  if (options.printed) options.printed(node_count);
  return {};
}

Status write_lines(platform::OutputChannel& file, std::int32_t node_count, const PeakTable& table,
                   const WriteOptions& options) {
  for (const Status& printed : {platform::print(file, kTextLine, std::string_view("VECTOR")),
                                platform::print(file, kCountLine, std::string_view("ND  "), node_count),
                                platform::print(file, kTextLine, std::string_view("ST  0")),
                                platform::print(file, kTextLine, std::string_view("TS  0.0"))}) {
    if (!printed.ok()) return printed;
  }
  const bool in_parallel = options.writers >= 2 && node_count >= options.parallel_from_nodes;
  const int threads = in_parallel ? std::min(options.writers, kMostWriters) : 1;
  return print_node_lines(file, node_count, table, threads, std::max(options.nodes_per_chunk, 1), options);
}

}  // namespace

WriteResult write_peak_data_set(const std::filesystem::path::string_type& prefix, std::int32_t node_count,
                                const PeakTable& table, const WriteOptions& options) {
  WriteResult result;
  const std::filesystem::path name = platform::file_in_folder(prefix, "KASOR_max.dat");
  platform::OutputChannel file;
  result.status = file.open_file(name);
  if (!result.status.ok()) return result;
  // A write that fails stops the writing, and the unfinished file goes.
  if (options.printed) options.printed(0);
  result.status = write_lines(file, node_count, table, options);
  if (!result.status.ok()) {
    file.discard();
    return result;
  }
  result.status = file.close();
  if (!result.status.ok()) return result;
  // The new name lives in the folder: until the folder is on the disk, a
  // power cut can bring back the older result.
  const Status durable = platform::make_name_durable(name);
  if (!durable.ok()) result.not_durable = durable.reason;
  result.ended_after_rename = platform::release_ending_signals();
  return result;
}
