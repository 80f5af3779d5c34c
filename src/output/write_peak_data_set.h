#pragma once
// The writing phase: "KASOR_max.dat", one block that holds every node's peak.

#include <cstdint>
#include <filesystem>

#include "peak/peak_table.h"

// For tests: the threads that print node lines (0: one per hardware thread,
// from two chunks of nodes on), and the nodes in a chunk.
inline int g_forced_writers = 0;
inline std::int32_t g_nodes_per_chunk = 65536;

// Writes the peak data set for nodes 1 to `node_count` into the folder that
// `prefix` (a folder and its separator) names. True once the new file is in
// place; on false an older file is as it was, and the error reason says why.
bool write_peak_data_set(const std::filesystem::path::string_type& prefix, std::int32_t node_count,
                         const PeakTable& table);
