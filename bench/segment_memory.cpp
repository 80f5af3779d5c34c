// kasor-segments FILE CORES: reads the blocks of the data set FILE as a run on
// CORES cores would, the segments bounded by the memory budget, and prints the
// segments used and the peak resident memory. For bench/run.sh; not installed.

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "input/parallel_read.h"
#include "input/read_data_set.h"
#include "platform/files/input_channel.h"
#include "platform/runtime.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kasor-segments FILE CORES\n");
    return 2;
  }
  platform::__vbaOnError(-1);
  PeakTable table;
  if (!create_peak_table(table)) return 1;
  platform::InputChannel in;
  if (!in.open_file(argv[1]).ok()) return 1;
  std::string line;
  while (in.read_line(line) && line.rfind("ND", 0) != 0) {}
  const auto nodes = static_cast<std::int32_t>(std::atol(line.c_str() + 2));
  ReadOptions options;
  options.segments = std::atoi(argv[2]);
  options.parallel_from_bytes = 0;
  BlocksRead read;
  PeakTable* last_table = nullptr;
  if (!read_blocks_in_parallel(in, table, nodes, options, read, last_table)) read_blocks(in, table, nodes, options);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%d cores: %d segments, %.1f MiB peak\n", options.segments,
              std::min(options.segments, segments_within_budget(nodes)), static_cast<double>(usage.ru_maxrss) / 1024);
  return 0;
}
