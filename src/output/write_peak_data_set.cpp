#include "output/write_peak_data_set.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/channel.h"
#include "platform/cores.h"
#include "platform/item_input.h"
#include "platform/print.h"

namespace {

constexpr int kChannel = 3;
constexpr int kFirstMemoryChannel = 52;  // 53 to 60 for the helper threads
constexpr int kMostWriters = 8;
using platform::kItemInteger;
using platform::kItemSingle;
using platform::kItemText;
using platform::kThenDirectly;
using platform::kThenLineEnd;
using platform::kThenNextZone;

constexpr std::uint8_t kTextLine[] = {0x01, 0x00, kItemText | kThenLineEnd};
constexpr std::uint8_t kCountLine[] = {0x02, 0x00, kItemText | kThenDirectly, kItemInteger | kThenLineEnd};
constexpr std::uint8_t kNodeLine[] = {0x02, 0x00, kItemSingle | kThenNextZone, kItemSingle | kThenLineEnd};

// Node lines first to last on `channel`.
bool print_nodes(int channel, std::int32_t first, std::int32_t last, const PeakTable& table) {
  float x = 0, y = 0;
  for (std::int32_t node = first; node <= last; ++node) {
    if (!peak(table, node, x, y) || !platform::__vbaPrintFile(channel, kNodeLine, x, y)) return false;
  }
  return true;
}

// The node lines in rounds of one chunk per thread: the first chunk of a
// round goes straight to the file while the others are printed into memory
// at the same time, and then follow it in order. Memory stays at a chunk
// per extra thread.
bool print_nodes_in_parallel(std::int32_t node_count, const PeakTable& table, int threads) {
  std::vector<std::string> chunks(static_cast<std::size_t>(threads));
  std::vector<char> printed(static_cast<std::size_t>(threads));
  for (std::int64_t round = 1; round <= node_count; round += std::int64_t{threads} * g_nodes_per_chunk) {
    auto chunk_first = [&](int t) { return static_cast<std::int32_t>(std::min<std::int64_t>(round + std::int64_t{t} * g_nodes_per_chunk, std::int64_t{node_count} + 1)); };
    auto print_chunk = [&](int t) {
      const int channel = kFirstMemoryChannel + t;
      printed[static_cast<std::size_t>(t)] =
          platform::open_memory_output(channel) && print_nodes(channel, chunk_first(t), chunk_first(t + 1) - 1, table) &&
          platform::take_memory_output(channel, chunks[static_cast<std::size_t>(t)]);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
      try {
        helpers.emplace_back(print_chunk, t);
      } catch (const std::system_error&) {  // no thread to be had: print it here
        print_chunk(t);
      }
    }
    bool ok = print_nodes(kChannel, chunk_first(0), chunk_first(1) - 1, table);
    for (std::thread& helper : helpers) helper.join();
    for (int t = 1; t < threads; ++t) {
      ok = ok && printed[static_cast<std::size_t>(t)] && platform::write_bytes(kChannel, chunks[static_cast<std::size_t>(t)]);
    }
    if (!ok) return false;
  }
  return true;
}

bool write_lines(std::int32_t node_count, const PeakTable& table) {
  if (!platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("VECTOR")) ||
      !platform::__vbaPrintFile(kChannel, kCountLine, std::string_view("ND  "), node_count) ||
      !platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("ST  0")) ||
      !platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("TS  0.0"))) {
    return false;
  }
  const int wanted = g_forced_writers > 0 ? g_forced_writers : platform::usable_cores();
  const int threads = std::min(wanted, kMostWriters);
  if (threads >= 2 && (g_forced_writers > 0 || node_count >= 2 * g_nodes_per_chunk)) {
    return print_nodes_in_parallel(node_count, table, threads);
  }
  return print_nodes(kChannel, 1, node_count, table);
}

}  // namespace

bool write_peak_data_set(const std::filesystem::path::string_type& prefix, std::int32_t node_count,
                         const PeakTable& table) {
  const std::filesystem::path name(prefix + std::filesystem::path("KASOR_max.dat").native());
  if (!platform::__vbaFileOpen(platform::kModeOutput, -1, kChannel, name)) return false;
  // A write that fails stops the writing, and the unfinished file goes.
  if (!write_lines(node_count, table)) {
    platform::discard_output(kChannel);
    return false;
  }
  return platform::__vbaFileClose(kChannel);
}
