#pragma once
// The writing phase: "KASOR_max.dat", one block that holds every node's peak.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "peak/peak_table.h"
#include "platform/runtime.h"

struct WriteOptions {
  // Threads that print node lines, one per core; 1 prints on this thread alone.
  int writers = 1;
  // Nodes a thread prints at a time.
  std::int32_t nodes_per_chunk = 32768;
  // Fewer nodes than this are printed on this thread alone.
  std::int32_t parallel_from_nodes = 2 * 65536;
  // Told on this thread how many node lines are printed: 0 at the start, then
  // as chunks are written, and all of them before the file is made durable.
  std::function<void(std::int32_t nodes)> printed;
  // Called on the printing thread with the first and last node of each chunk
  // before it is printed: where the peaks of a read in segments are merged.
  std::function<void(std::int32_t first, std::int32_t last)> before_printing;
};

struct WriteResult {
  platform::Status status;   // ok once the new file is in place; else an older one is as it was
  std::string not_durable;   // when written: why its name may not survive a power cut, if so
  bool ended_after_rename = false;  // a signal to end the run came once the new file was in place
};

// Writes the peak data set for nodes 1 to `node_count` into the folder that
// `prefix` (a folder and its separator) names. A failure on any thread is
// returned with its own reason.
WriteResult write_peak_data_set(const std::filesystem::path::string_type& prefix, std::int32_t node_count,
                                const PeakTable& table, const WriteOptions& options);
