// Reading and writing on several threads gives the bytes, the status and the
// warnings of the one-thread run, whatever the input.

#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <random>
#include <thread>
#include <string>
#include <vector>

#include "input/parallel_read.h"
#include "input/read_data_set.h"
#include "output/write_peak_data_set.h"
#include "platform/files/input_channel.h"
#include "platform/files/output_channel.h"
#include "platform/numbers/shortest_single.h"
#include "platform/system/cpu.h"
#include "platform/runtime.h"
#include "runtime_reset.h"
#include "run/run.h"
#include "temp_folder.h"

namespace {

struct Outcome {
  int status;
  std::string result;
  std::string err;
  bool operator==(const Outcome&) const = default;
};

class ParallelTest : public ::testing::Test {
 protected:
  void TearDown() override { reset_runtime(); }

  Outcome run_with(int segments, int writers, std::int32_t nodes_per_chunk = 7, const Way& way = kScalarWay) {
    RunOptions options;
    options.read.way = &way;
    options.read.segments = segments;
    options.read.parallel_from_bytes = 0;
    options.write.writers = writers;
    options.write.nodes_per_chunk = nodes_per_chunk;
    options.write.parallel_from_nodes = 0;
    reset_runtime();
    std::filesystem::remove(folder.path() / "KASOR_max.dat");
    ::testing::internal::CaptureStderr();
    Outcome out;
    out.status = run(options);
    out.err = ::testing::internal::GetCapturedStderr();
    out.result = folder.exists("KASOR_max.dat") ? folder.read("KASOR_max.dat") : "(none)";
    return out;
  }

  // True when the blocks of the input were read in parallel and gave exactly
  // the peaks of a read in one pass.
  bool parallel_read_taken(int segments) {
    PeakTable table, reference;
    EXPECT_TRUE(create_peak_table(table) && create_peak_table(reference));
    std::int32_t count = 0;
    std::string line;
    const auto input = folder.path() / "KASOR.dat";
    auto open_after_count_line = [&](platform::InputChannel& in) {
      EXPECT_TRUE(in.open_file(input).ok());
      while (in.read_line(line) && line.rfind("ND", 0) != 0) {}
      count = std::stoi(line.substr(2));
    };
    platform::InputChannel in, again;
    open_after_count_line(in);
    BlocksRead read;
    PeakTable* last_table = nullptr;
    ReadOptions options;
    options.segments = segments;
    options.parallel_from_bytes = 0;
    options.way = &choose_way("", platform::cpu_has_avx2());
    const bool taken = read_blocks_in_parallel(in, table, count, options, read, last_table);
    open_after_count_line(again);
    read_blocks(again, reference, count, ReadOptions{});
    // The decimals kept with each peak are those it was read from.
    auto shown = [](float v, platform::Decimal read) {
      char text[32];
      return std::string(text, platform::put_single(text, v, read));
    };
    for (std::int32_t node = 1; node <= count && taken; ++node) {
      EXPECT_EQ(std::memcmp(&table.x[node], &reference.x[node], 4), 0) << node;
      EXPECT_EQ(std::memcmp(&table.y[node], &reference.y[node], 4), 0) << node;
      EXPECT_EQ(shown(table.x[node], table.x_read[node]), shown(table.x[node], 0)) << node;
      EXPECT_EQ(shown(table.y[node], table.y_read[node]), shown(table.y[node], 0)) << node;
    }
    release_peak_table(table);
    release_peak_table(reference);
    return taken;
  }

  TempFolder folder;
};

enum class Damage { kNone, kUnreadable, kShortBlock, kEndInBlock, kEarlyEndMarker, kHeaderInBlock };

// A data set of many shapes: line ends, junk between blocks, pairs split over
// lines or sharing one, values that tie often, with or without an end marker.
std::string make_input(std::mt19937& rng, Damage damage) {
  const char* const ends[] = {"\n", "\r\n", "\r"};
  const std::string nl = ends[rng() % 3];
  const int nodes = std::vector<int>{1, 2, 5, 40, 300}[rng() % 5];
  const int steps = 1 + static_cast<int>(rng() % 30);
  const int damaged_step = static_cast<int>(rng() % static_cast<unsigned>(steps));
  auto value = [&] {
    static const char* const forms[] = {"%.2f", "%.3e", "%g", "%.1f"};
    char text[32];
    const double v = (static_cast<int>(rng() % 17) - 8) / 4.0;
    std::snprintf(text, sizeof text, forms[rng() % 4], v);
    return std::string(text);
  };
  std::string s = "VECTOR" + nl + "ND " + std::to_string(nodes) + nl + "ST 0" + nl;
  for (int step = 0; step < steps; ++step) {
    if (rng() % 4 == 0) s += nl;                 // a blank line
    if (rng() % 6 == 0) s += "ts lower" + nl;    // an ordinary line
    s += "TS 0 " + std::to_string(step) + ".0" + nl;
    for (int node = 1; node <= nodes; ++node) {
      if (step == damaged_step && node == nodes / 2 + 1) {
        if (damage == Damage::kUnreadable) { s += value() + " x?" + nl; continue; }
        if (damage == Damage::kShortBlock) break;
        if (damage == Damage::kEndInBlock) return s;
        if (damage == Damage::kHeaderInBlock) { s += "TS 9" + nl; }
      }
      const unsigned shape = rng() % 10;
      if (shape == 0) s += value() + nl + value() + nl;                  // over two lines
      else if (shape == 1) s += "  " + value() + "\t" + value() + "  " + nl;
      else s += value() + (shape == 2 ? "," : " ") + value() + nl;
    }
    if (step == damaged_step && damage == Damage::kEarlyEndMarker && step + 1 < steps) s += "ENDDS" + nl;
  }
  if (rng() % 3) s += "ENDDS" + nl;
  if (rng() % 4 == 0) s += "TS 99" + nl + "9 9" + nl;  // after the end marker: ignored
  return s;
}

TEST_F(ParallelTest, SameBytesStatusAndWarningsForEveryShape) {
  std::mt19937 rng(31337);
  const Damage damages[] = {Damage::kNone, Damage::kUnreadable, Damage::kShortBlock,
                            Damage::kEndInBlock, Damage::kEarlyEndMarker, Damage::kHeaderInBlock};
  int parallel_runs = 0;
  for (int round = 0; round < 40; ++round) {
    const Damage damage = damages[round % 6];
    folder.write("KASOR.dat", make_input(rng, damage));
    const Outcome sequential = run_with(1, 1);
    for (int segments = 2; segments <= 8; ++segments) {
      const Outcome parallel = run_with(segments, 1 + segments % 3);
      ASSERT_EQ(parallel, sequential) << "round " << round << ", " << segments << " segments\n"
                                      << folder.read("KASOR.dat").substr(0, 2000);
    }
    if (damage == Damage::kNone && parallel_read_taken(4)) ++parallel_runs;
  }
  // The well-formed inputs must really have been read in parallel, not only
  // have fallen back to the one-pass read.
  EXPECT_GE(parallel_runs, 5);
}

TEST_F(ParallelTest, WellFormedInputTakesTheParallelPathDamagedDoesNot) {
  std::mt19937 rng(7);
  std::string input = "VECTOR\r\nND 1000\r\nST 0\r\n";
  for (int step = 0; step < 20; ++step) {
    input += "TS 0 " + std::to_string(step) + "\r\n";
    for (int node = 0; node < 1000; ++node) {
      input += std::to_string(static_cast<int>(rng() % 9) - 4) + " " + std::to_string(static_cast<int>(rng() % 9) - 4) + "\r\n";
    }
  }
  folder.write("KASOR.dat", input + "ENDDS\r\n");
  for (int segments = 2; segments <= 8; ++segments) EXPECT_TRUE(parallel_read_taken(segments)) << segments;
  // Found under another case: the segments open the same file.
  std::filesystem::rename(folder.path() / "KASOR.dat", folder.path() / "kasor.DAT");
  EXPECT_TRUE(parallel_read_taken(2));
  std::filesystem::rename(folder.path() / "kasor.DAT", folder.path() / "KASOR.dat");
  // The same with one pair cut short in the middle: the work is thrown away.
  const std::size_t middle = input.find("TS 0 10\r\n");
  folder.write("KASOR.dat", input.substr(0, middle - 3) + "\r\n" + input.substr(middle));
  EXPECT_FALSE(parallel_read_taken(4));
}

// Time steps of `nodes` pairs (0, 0), which change no peak: they put the
// lines before them inside runs of pairs, and give the segments places to
// start at.
std::string zero_steps(int nodes, int steps) {
  std::string s;
  for (int step = 1; step <= steps; ++step) {
    s += "TS 9 " + std::to_string(step) + "\r\n";
    for (int node = 0; node < nodes; ++node) s += "0 0\r\n";
  }
  return s;
}

std::string damaged_total(int places) {
  return "Warnung: KASOR.dat ist beschädigt: " + std::to_string(places) +
         (places == 1 ? " beschädigte Stelle" : " beschädigte Stellen") +
         " insgesamt; das Ergebnis enthält nur die lesbaren Wertepaare.\n";
}

// Values left over in a time step, NaN in its forms, and lines that start
// with TS but not at their start: never status 0 with what only looks like
// the result. Each way of reading, in one pass and in segments, gives the
// same status, warnings and bytes.
TEST_F(ParallelTest, LeftOverValuesAndNaNAreWarnedAboutEveryWay) {
  const std::string head = "VECTOR\r\nND  ";
  const struct {
    const char* name;
    std::string input;
    int status;
    std::string err;
    std::string result;  // after the count line
  } rows[] = {
      {"a decimal comma", "ND 2\r\nTS 0\r\n1,5 2,5\r\n0,5 0,5\r\n" + zero_steps(2, 12), kExitDamagedInput,
       "Warnung: KASOR.dat, Zeile 4: 4 Werte zu viel im 1. Zeitschritt, ignoriert (Komma zwischen "
       "Ziffern: Dezimalkomma?).\n" + damaged_total(1),
       "2\r\nST  0\r\nTS  0.0\r\n1             5\r\n2             5\r\n"},
      {"a data line twice", "ND 4\r\nTS 0\r\n1 -1\r\n2 -2\r\n2 -2\r\n3 -3\r\n4 -4\r\n" + zero_steps(4, 8),
       kExitDamagedInput, "Warnung: KASOR.dat, Zeile 7: 2 Werte zu viel im 1. Zeitschritt, ignoriert.\n" + damaged_total(1),
       "4\r\nST  0\r\nTS  0.0\r\n1             -1\r\n2             -2\r\n2             -2\r\n3             -3\r\n"},
      {"one number too many on a line", "ND 3\r\nTS 0\r\n1 1\r\n2 2 9\r\n3 3\r\n" + zero_steps(3, 8),
       kExitDamagedInput, "Warnung: KASOR.dat, Zeile 5: 1 Wert zu viel im 1. Zeitschritt, ignoriert.\n" + damaged_total(1),
       "3\r\nST  0\r\nTS  0.0\r\n1             1\r\n2             2\r\n9             3\r\n"},
      {"three numbers on each line", "ND 4\r\nTS 0\r\n1 2 3\r\n4 5 6\r\n7 8 9\r\n1 1 1\r\n" + zero_steps(4, 8),
       kExitDamagedInput,
       "Warnung: KASOR.dat, Zeile 5: 4 Werte zu viel im 1. Zeitschritt, ignoriert (drei oder mehr Zahlen je Zeile?).\n" +
           damaged_total(1),
       "4\r\nST  0\r\nTS  0.0\r\n1             2\r\n3             4\r\n5             6\r\n7             8\r\n"},
      {"NaN as C runtimes print it", "ND 2\r\nTS 0\r\n1 2\r\nnan -nan(ind)\r\nTS 1\r\n1.#QNAN 5\r\n-1.#IND00 3\r\n" +
           zero_steps(2, 12),
       kExitDamagedInput,
       "Warnung: KASOR.dat, Zeile 4: 3 Wertepaare mit NaN (keine Zahl), das erste hier; sie zählen für kein Maximum.\n",
       "2\r\nST  0\r\nTS  0.0\r\n1             2\r\n0             0\r\n"},
      {"infinity as an older Windows runtime prints it", "ND 2\r\nTS 0\r\n1.#INF00 0\r\n-1 -1\r\n" + zero_steps(2, 12),
       kExitOk, "", "2\r\nST  0\r\nTS  0.0\r\ninf           0\r\n-1            -1\r\n"},
      {"an indented header between time steps", "ND 1\r\nTS 0\r\n1 1\r\n  TS 1\r\n2 2\r\n" + zero_steps(1, 20),
       kExitDamagedInput, "Warnung: KASOR.dat, Zeile 5: 2 Werte zu viel im 1. Zeitschritt, ignoriert.\n" + damaged_total(1),
       "1\r\nST  0\r\nTS  0.0\r\n1             1\r\n"},
      {"an indented header in a time step", "ND 2\r\nTS 0\r\n1 1\r\n\tTS 1\r\n2 2\r\n3 3\r\n" + zero_steps(2, 12),
       kExitDamagedInput,
       "Warnung: KASOR.dat, Zeile 4: Zeile nicht lesbar, Wertepaar von Knoten 2 ignoriert.\n"
       "Warnung: KASOR.dat, Zeile 5: 4 Werte zu viel im 1. Zeitschritt, ignoriert.\n" + damaged_total(2),
       "2\r\nST  0\r\nTS  0.0\r\n1             1\r\n0             0\r\n"},
      {"a line with NUL bytes between time steps",
       "ND 1\r\nTS 0\r\n1 1\r\n" + std::string("T\0S\0 \0" "1\0\r\n", 10) + "2 2\r\n" + zero_steps(1, 20),
       kExitDamagedInput,
       "Warnung: KASOR.dat, Zeile 4: Die Zeile ist kein Text, ignoriert (beschädigt oder in einer anderen "
       "Kodierung gespeichert?).\nWarnung: KASOR.dat, Zeile 5: 2 Werte zu viel im 1. Zeitschritt, ignoriert.\n" +
           damaged_total(2),
       "1\r\nST  0\r\nTS  0.0\r\n1             1\r\n"},
      {"a file that ends in a number inside a time step", zero_steps(3, 12) + "TS 0\r\n1.0 1.0\r\n1.0 2.221597e-0",
       kExitDamagedInput,
       "Warnung: KASOR.dat, Zeile 52: Die Datei endet im 13. Zeitschritt nach Knoten 2 von 3.\n"
       "Warnung: KASOR.dat, Zeile 52: Die letzte Zeile hat kein Zeilenende; die Datei ist womöglich abgeschnitten.\n"
       "Warnung: KASOR.dat ist beschädigt: 2 beschädigte Stellen insgesamt; das Ergebnis enthält nur die lesbaren "
       "Wertepaare, das letzte aus der Zeile ohne Zeilenende, die womöglich abgeschnitten ist.\n",
       "3\r\nST  0\r\nTS  0.0\r\n1             1\r\n1             2.221597\r\n0             0\r\n"},
  };
  std::vector<const Way*> ways{&kScalarWay};
  if (platform::cpu_has_avx2()) ways.push_back(&kAvx2Way);
  for (const auto& row : rows) {
    const bool count_first = row.input.rfind("ND", 0) == 0;
    folder.write("KASOR.dat", count_first ? row.input : "ND 3\r\n" + row.input);
    for (const Way* way : ways) {
      for (const int segments : {1, 3}) {
        const Outcome out = run_with(segments, 1, 7, *way);
        const std::string where = std::string(row.name) + ", " + way->name + ", " + std::to_string(segments) + " segments";
        EXPECT_EQ(out.status, row.status) << where;
        EXPECT_EQ(out.err, row.err) << where;
        EXPECT_EQ(out.result, head + row.result) << where;
      }
    }
  }
}

// A chunk whose lines do not fit the output buffer reaches the file whole
// and in its place.
TEST_F(ParallelTest, ChunksLargerThanTheBufferAreWrittenWholeAndInOrder) {
  std::string input = "ND 150000\nTS 0\n";
  for (int node = 1; node <= 150000; ++node) input += std::to_string(node) + ".125 -" + std::to_string(node) + "\n";
  folder.write("KASOR.dat", input);
  const Outcome sequential = run_with(1, 1);
  ASSERT_GT(sequential.result.size(), 2 * platform::OutputChannel::kOutputBufferSize);
  EXPECT_EQ(run_with(1, 3, 60000), sequential);
}

// Printed on several threads, the progress is told on the caller's thread
// alone (whose status line it is), in order, up to every node.
TEST_F(ParallelTest, ProgressIsToldOnOneThread) {
  PeakTable table;
  ASSERT_TRUE(create_peak_table(table));
  WriteOptions options;
  options.writers = 3;
  options.nodes_per_chunk = 100;
  options.parallel_from_nodes = 0;
  std::vector<std::int32_t> told;
  bool elsewhere = false;
  const std::thread::id caller = std::this_thread::get_id();
  options.printed = [&](std::int32_t nodes) {
    elsewhere = elsewhere || std::this_thread::get_id() != caller;
    told.push_back(nodes);
  };
  std::filesystem::path::string_type prefix = folder.path().native();
  prefix += std::filesystem::path::preferred_separator;
  ASSERT_TRUE(write_peak_data_set(prefix, 5000, table, options).status.ok());
  release_peak_table(table);
  EXPECT_FALSE(elsewhere);
  EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
  EXPECT_EQ(told.back(), 5000);
}

// Magnitudes beyond the single range are all infinite as singles; the merge
// must still keep the larger vector, as one pass does, when the two are in
// different segments.
TEST_F(ParallelTest, OutOfRangeMagnitudesInTwoSegmentsKeepTheLarger) {
  std::string input = "ND 2\nTS 0\n3e38 3e38\n1 1\n";
  for (int step = 1; step < 200; ++step) input += "TS " + std::to_string(step) + "\n1 1\n1 1\n";
  folder.write("KASOR.dat", input + "TS 200\n3.4e38 3.4e38\n-3e38 -3e38\n");
  for (int segments = 2; segments <= 4; ++segments) EXPECT_TRUE(parallel_read_taken(segments)) << segments;
  EXPECT_EQ(run_with(2, 1).result,
            "VECTOR\r\nND  2\r\nST  0\r\nTS  0.0\r\n3.4e+38       3.4e+38\r\n-3e+38        -3e+38\r\n");
}

// However many cores there are, the segments' tables and the run's own stay
// within the budget.
TEST(SegmentBudget, TablesFitWhateverTheNodeCount) {
  for (std::int32_t nodes : {1, 1000, 300000, 1000000, 2200000}) {
    const int segments = segments_within_budget(nodes);
    const std::uint64_t tables = static_cast<std::uint64_t>(segments) * kPeakTableBytesPerNode * static_cast<std::uint64_t>(nodes);
    EXPECT_LE(tables + (std::uint64_t{2} << 20) * static_cast<std::uint64_t>(segments), kMemoryBudget - (std::uint64_t{32} << 20)) << nodes;
    EXPECT_GE(segments, 2) << nodes;  // and two cores are never held back
  }
  EXPECT_EQ(segments_within_budget(2200000), 5);
  EXPECT_EQ(segments_within_budget(1000), 32);
}

}  // namespace

