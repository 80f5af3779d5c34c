// Arbitrary bytes through the real reading and writing path, checking what
// must hold for every input, not only that nothing crashes:
//   - every node line of the result reads back as the value in the peak table;
//   - the result, read as input, gives itself byte for byte;
//   - the same bytes read from a file in three segments at once give the same
//     peaks and the same counts of damage and NaN as reading them in one pass;
//   - runs of pairs read with AVX2 (where the CPU has it) give what the scalar
//     way gives;
//   - text of ASCII characters saved as UTF-16 reads as it does in bytes.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "input/parallel_read.h"
#include "input/read_data_set.h"
#include "output/write_peak_data_set.h"
#include "peak/peak_table.h"
#include "input/ways.h"
#include "platform/files/input_channel.h"
#include "platform/runtime.h"
#include "platform/system/cpu.h"

namespace {

// Results of more nodes than this are not written: writing millions of lines
// for a ten-byte input would only slow the search down.
constexpr std::int32_t kMostNodesWritten = 20000;

const std::filesystem::path::string_type& output_prefix() {
  static const std::filesystem::path::string_type prefix = [] {
    // In memory where there is such a folder: the writer syncs every result to the disk.
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    const auto folder = base / ("kasor-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    auto text = folder.native();
    text += std::filesystem::path::preferred_separator;
    return text;
  }();
  return prefix;
}

bool same_peaks(const PeakTable& a, const PeakTable& b, std::int32_t node_count) {
  for (std::int32_t node = 1; node <= node_count; ++node) {
    if (std::memcmp(&a.x[node], &b.x[node], sizeof(float)) != 0 ||
        std::memcmp(&a.y[node], &b.y[node], sizeof(float)) != 0) {
      return false;
    }
  }
  return true;
}

std::string read_result() {
  std::ifstream in(output_prefix() + "KASOR_max.dat", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void check(bool condition) {
  if (!condition) std::abort();
}

struct Read {
  ReadResult result;
  std::int32_t node_count = 0;
};

// Three tables for the whole session: creating 44 MB each per input would
// spend most of the time in the allocator. After each input the slots it
// could have reached are cleared.
PeakTable& table_once(int which) {
  static PeakTable tables[3];
  static const bool created = [] {
    check(create_peak_table(tables[0]) && create_peak_table(tables[1]) && create_peak_table(tables[2]));
    return true;
  }();
  (void)created;
  return tables[which];
}

Read read_from(const char* data, std::size_t size, PeakTable& table, const Way& way = kScalarWay) {
  Read read;
  platform::InputChannel in;
  check(in.open_memory(data, size).ok());
  ReadOptions options;
  options.way = &way;
  read.result = read_data_set(in, table, read.node_count, options);
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::reset_error_number();
  platform::__vbaOnError(-1);
  PeakTable& table = table_once(0);
  PeakTable& again = table_once(1);

  const Read first = read_from(reinterpret_cast<const char*>(data), size, table);
  if (first.result.count_valid && first.node_count <= kMostNodesWritten) {
    PeakTable& segmented = table_once(2);
    // The fastest way of reading runs of pairs reads what the scalar way reads.
    const Read fastest = read_from(reinterpret_cast<const char*>(data), size, segmented, choose_way("", platform::cpu_has_avx2()));
    check(fastest.node_count == first.node_count && fastest.result.damaged_places == first.result.damaged_places &&
          fastest.result.nan_pairs == first.result.nan_pairs);
    check(same_peaks(table, segmented, first.node_count));
    clear_peak_table(segmented, first.node_count);

    const std::filesystem::path input = output_prefix() + std::filesystem::path("KASOR.dat").native();
    {
      std::ofstream out(input, std::ios::binary);
      out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    Read parallel;
    platform::InputChannel in;
    check(in.open_file(input).ok());
    ReadOptions three_segments;
    three_segments.segments = 3;
    three_segments.parallel_from_bytes = 0;
    three_segments.way = &choose_way("", platform::cpu_has_avx2());
    parallel.result = read_data_set(in, segmented, parallel.node_count, three_segments);
    check(parallel.node_count == first.node_count && parallel.result.damaged_places == first.result.damaged_places &&
          parallel.result.nan_pairs == first.result.nan_pairs);
    check(same_peaks(table, segmented, first.node_count));
    // Printed from the decimals that way keeps, the result is the scalar way's.
    check(write_peak_data_set(output_prefix(), first.node_count, segmented, WriteOptions{}).status.ok());
    const std::string from_decimals = read_result();
    clear_peak_table(segmented, first.node_count);

    check(write_peak_data_set(output_prefix(), first.node_count, table, WriteOptions{}).status.ok());
    const std::string result = read_result();
    check(result == from_decimals);

    const Read second = read_from(result.data(), result.size(), again);
    check(second.result.clean());
    check(second.node_count == first.node_count);
    for (std::int32_t node = 1; node <= first.node_count; ++node) {
      const float x = table.x[node], y = table.y[node], x2 = again.x[node], y2 = again.y[node];
      // A peak of magnitude 0 is never offered back: it stays (0, 0), as it was.
      check(std::memcmp(&x, &x2, sizeof x) == 0 && std::memcmp(&y, &y2, sizeof y) == 0);
    }
    check(write_peak_data_set(output_prefix(), second.node_count, again, WriteOptions{}).status.ok());
    check(read_result() == result);
    clear_peak_table(again, first.node_count);

    if (std::all_of(data, data + size, [](std::uint8_t b) { return b > 0 && b < 0x80; })) {
      std::string utf16 = "\xFF\xFE";
      for (std::size_t i = 0; i < size; ++i) utf16 += {static_cast<char>(data[i]), '\0'};
      const Read wide = read_from(utf16.data(), utf16.size(), again);
      check(wide.node_count == first.node_count && wide.result.damaged_places == first.result.damaged_places &&
            wide.result.clean() == first.result.clean());
      check(same_peaks(table, again, first.node_count));
    }
  }
  clear_peak_table(table, first.node_count);
  clear_peak_table(again, first.node_count);
  return 0;
}
