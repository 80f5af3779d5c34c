// Micro-benchmarks of the hot loops: number items, pairs from a channel,
// the peak rule, and writing the result. Timings only; never run as tests.

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "input/parallel_read.h"
#include "input/read_data_set.h"
#include "output/write_peak_data_set.h"
#include "input/ways.h"
#include "peak/peak_table.h"
#include "platform/channels.h"
#include "platform/files/input_channel.h"
#include "platform/numbers/parse_single.h"
#include "platform/numbers/shortest_single.h"
#include "platform/runtime.h"
#include "platform/system/cpu.h"

namespace {

// Number texts as solvers write them: seven in eight fixed, one in exponent form.
std::vector<std::string> solver_numbers(std::size_t count) {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> value(-3.0, 3.0);
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < count; ++i) {
    char text[32];
    const auto format = (i % 8 == 7) ? std::chars_format::scientific : std::chars_format::fixed;
    texts.emplace_back(text, std::to_chars(text, text + sizeof text, value(rng), format, 6).ptr);
  }
  return texts;
}

// The decimal a solver number was written as: its digits and the power of
// its last one (seven digits: always kept).
platform::Decimal decimal_of(const std::string& text) {
  std::uint32_t w = 0;
  int q = 0;
  std::size_t i = text[0] == '-';
  for (bool after_point = false; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] == '.') {
      after_point = true;
    } else {
      w = 10 * w + static_cast<std::uint32_t>(text[i] - '0');
      q -= after_point;
    }
  }
  if (i < text.size()) q += std::stoi(text.substr(i + 1));
  return platform::decimal(w, q);
}

void ScanSolverNumbers(benchmark::State& state) {
  const std::vector<std::string> texts = solver_numbers(4096);
  std::string scratch;
  std::size_t bytes = 0;
  for (const auto& t : texts) bytes += t.size();
  for (auto _ : state) {
    for (const std::string& t : texts) {
      float value;
      const char* end;
      benchmark::DoNotOptimize(platform::scan_single(t.c_str(), t.c_str() + t.size(), true, value, end, scratch));
      benchmark::DoNotOptimize(value);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * texts.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(ScanSolverNumbers);

// Printed by searching for the shortest digits (0), or from the decimals
// they were read from (1).
void DisplaySolverValues(benchmark::State& state) {
  std::vector<float> values;
  std::vector<platform::Decimal> read;
  for (const std::string& t : solver_numbers(4096)) {
    values.push_back(std::stof(t));
    read.push_back(state.range(0) ? decimal_of(t) : 0);
  }
  char text[32];
  for (auto _ : state) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      benchmark::DoNotOptimize(platform::put_single(text, values[i], read[i]));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(DisplaySolverValues)->Arg(0)->Arg(1);

// Writes 2^19 pairs of solver numbers to `path`, one a line; returns how many.
std::size_t write_pairs(const std::filesystem::path& path) {
  const std::vector<std::string> texts = solver_numbers(1 << 20);
  std::ofstream out(path, std::ios::binary);
  for (std::size_t i = 0; i < texts.size(); i += 2) out << texts[i] << ' ' << texts[i + 1] << "\r\n";
  return texts.size() / 2;
}

// Pairs read through the item reader from a file in the page cache.
void ReadPairs(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "kasor-bench-pairs.dat";
  const std::size_t pairs = write_pairs(path);
  const auto bytes = std::filesystem::file_size(path);
  platform::__vbaOnError(-1);
  for (auto _ : state) {
    platform::InputChannel in;
    if (!in.open_file(path).ok()) state.SkipWithError("open failed");
    float x, y, sum = 0;
    while (read_pair(in, x, y).status == PairStatus::kRead) sum += x + y;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * pairs));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  std::filesystem::remove(path);
}
BENCHMARK(ReadPairs)->Unit(benchmark::kMillisecond);

// The same pairs read in runs, each way this CPU has (0: scalar, 1: AVX2).
void ReadPlainPairs(benchmark::State& state) {
  const Way& way = *kWays[state.range(0)];  // 0: scalar, 1: AVX2
  if (!can_take(way, platform::cpu_has_avx2())) {
    state.SkipWithError("not on this CPU");
    return;
  }
  const auto path = std::filesystem::temp_directory_path() / "kasor-bench-plain-pairs.dat";
  const std::size_t pairs = write_pairs(path);
  const auto bytes = std::filesystem::file_size(path);
  platform::__vbaOnError(-1);
  float xy[2 * 256 + 8];
  platform::Decimal read[2 * 256 + 8];
  const PairBuffers buffers{xy, read};
  for (auto _ : state) {
    platform::InputChannel in;
    if (!in.open_file(path).ok()) state.SkipWithError("open failed");
    float x, y, sum = 0;
    for (;;) {
      const std::size_t run = read_plain_pairs(in, buffers, 256, way.parse_pairs);
      sum += xy[0];  // not a sum of every value: its chain of additions would be timed too
      if (run == 256) continue;
      if (read_pair(in, x, y).status != PairStatus::kRead) break;
      sum += x + y;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * pairs));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  std::filesystem::remove(path);
}
BENCHMARK(ReadPlainPairs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One block of 2,200,000 pairs offered to the peak table in runs, each way
// this CPU has, again and again:
// after the first time no pair replaces a peak, but half of them must be
// rooted to tell, which is the worst case for the branch that skips the root.
void OfferBlock(benchmark::State& state) {
  const Way& way = *kWays[state.range(0)];  // 0: scalar, 1: AVX2
  if (!can_take(way, platform::cpu_has_avx2())) {
    state.SkipWithError("not on this CPU");
    return;
  }
  PeakTable table;
  create_peak_table(table);
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> value(-3.0f, 3.0f);
  std::vector<float> xy(2 * std::size_t{kNodeCapacity});
  std::vector<platform::Decimal> none(xy.size());
  for (float& v : xy) v = value(rng);
  for (auto _ : state) {
    for (std::int32_t node = 1; node <= kNodeCapacity; node += 256) {
      const auto i = static_cast<std::size_t>(node - 1);
      const PairBuffers pairs{xy.data() + 2 * i, none.data() + 2 * i};
      way.offer_run(table, node, pairs, std::min<std::size_t>(256, kNodeCapacity - i));
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kNodeCapacity);
  release_peak_table(table);
}
BENCHMARK(OfferBlock)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The result for 2,200,000 nodes of solver-like values, printed by 1 or 2
// threads, by searching for the digits (0) or from the decimals read (1).
void Write2200000Nodes(benchmark::State& state) {
  PeakTable table;
  create_peak_table(table);
  const std::vector<std::string> texts = solver_numbers(2 * static_cast<std::size_t>(kNodeCapacity));
  for (std::int32_t node = 1; node <= kNodeCapacity; ++node) {
    const std::size_t i = 2 * static_cast<std::size_t>(node - 1);
    table.x[node] = std::stof(texts[i]);
    table.y[node] = std::stof(texts[i + 1]);
    if (state.range(1)) {
      table.x_read[node] = decimal_of(texts[i]);
      table.y_read[node] = decimal_of(texts[i + 1]);
    }
  }
  const auto folder = std::filesystem::temp_directory_path() / "kasor-bench-write";
  std::filesystem::create_directories(folder);
  auto prefix = folder.native();
  prefix += std::filesystem::path::preferred_separator;
  WriteOptions options;
  options.writers = static_cast<int>(state.range(0));  // threads that print
  platform::__vbaOnError(-1);
  for (auto _ : state) {
    if (!write_peak_data_set(prefix, kNodeCapacity, table, options).status.ok()) state.SkipWithError("write failed");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kNodeCapacity);
  std::filesystem::remove_all(folder);
  release_peak_table(table);
}
BENCHMARK(Write2200000Nodes)->ArgsProduct({{1, 2}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime();

// The blocks of a 60 MB data set read in 1 to 4 segments at once (one is the
// one-pass read), to see how the parallel read scales with the segments.
void ReadBlocksInSegments(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "kasor-bench-segments.dat";
  constexpr std::int32_t kNodes = 300000;
  {
    const std::vector<std::string> texts = solver_numbers(2 * kNodes);
    std::ofstream out(path, std::ios::binary);
    out << "VECTOR\r\nND " << kNodes << "\r\nST 0\r\n";
    for (int step = 0; step < 10; ++step) {
      out << "TS 0 " << step << "\r\n";
      for (std::size_t i = 0; i < texts.size(); i += 2) {
        out << texts[(i + 2 * step) % texts.size()] << ' ' << texts[(i + 2 * step + 1) % texts.size()] << "\r\n";
      }
    }
    out << "ENDDS\r\n";
  }
  const auto bytes = std::filesystem::file_size(path);
  const int segments = static_cast<int>(state.range(0));
  PeakTable table;
  create_peak_table(table);
  platform::__vbaOnError(-1);
  ReadOptions options;
  options.segments = segments;
  options.parallel_from_bytes = 0;
  std::string line;
  for (auto _ : state) {
    platform::InputChannel in;
    if (!in.open_file(path).ok()) state.SkipWithError("open failed");
    while (in.read_line(line) && line.rfind("ND", 0) != 0) {}
    BlocksRead read;
    PeakTable* last_table = nullptr;
    if (!read_blocks_in_parallel(in, table, kNodes, options, read, last_table)) read_blocks(in, table, kNodes, options);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  release_peak_table(table);
  std::filesystem::remove(path);
}
BENCHMARK(ReadBlocksInSegments)->DenseRange(1, 4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
