#include "input/read_data_set.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/files/input_channel.h"
#include "platform/numbers/thousands.h"
#include "temp_folder.h"

namespace {

using Peaks = std::vector<std::pair<float, float>>;

struct Outcome {
  bool count_line_found;
  bool count_valid;
  bool clean;
  std::int32_t node_count;
  std::uint64_t damaged;
  Peaks peaks;  // nodes 1 to n
  std::string warnings;
  std::uint64_t offset;  // where reading stopped
};

class ReaderTest : public ::testing::Test {
 protected:
  // Reads `bytes` as the input file and reports the first `nodes` peaks.
  Outcome read(const std::string& bytes, int nodes) {
    folder.write("KASOR.dat", bytes);
    PeakTable table;
    EXPECT_TRUE(create_peak_table(table));
    platform::InputChannel in;
    EXPECT_TRUE(in.open_file(folder.path() / "KASOR.dat").ok());
    Outcome out{};
    ReadOptions options;
    options.reports.warning = [&out](const std::string& text) { out.warnings += text; };
    const ReadResult result = read_data_set(in, table, out.node_count, options);
    out.count_line_found = result.count_line_found;
    out.count_valid = result.count_valid;
    out.clean = result.clean();
    out.damaged = result.damaged_places;
    out.offset = in.offset();
    for (int node = 1; node <= nodes; ++node) out.peaks.emplace_back(table.x[node], table.y[node]);
    release_peak_table(table);
    return out;
  }
  TempFolder folder;
};

struct Row {
  const char* name;
  const char* input;  // lines end with \n here; the tests try every line end
  std::int32_t node_count;
  Peaks peaks;
  std::uint64_t damaged = 0;
  bool clean = true;  // no damage, and at least one block
};

const Row kRows[] = {
    {"the ten-line example", "VECTOR\nND 2\nST 0\nTS 0 0.0\n1.0 0.0\n0.0 1.0\nTS 0 60.0\n0.0 -2.0\n0.5 0.5\nENDDS\n",
     2, {{0, -2}, {0, 1}}},
    {"lines before the count line", "VECTOR\nND 3\nTS\n1 1\n2 2\n3 3\n", 3, {{1, 1}}},
    {"blanks around the count", "ND  3\t \nTS\n1 1\n2 2\n3 3\n", 3, {{1, 1}, {2, 2}, {3, 3}}},
    {"only the first count line counts", "ND 1\nND 5\nTS\n1 2\n", 1, {{1, 2}, {0, 0}}},
    {"lower-case header is an ordinary line", "ND 1\nts 0.0\n5 5\nTS 0\n1 1\n", 1, {{1, 1}}},
    {"header alone", "ND 1\nTS\n4 4\n", 1, {{4, 4}}},
    {"header numbers are not used", "ND 1\nTS  1  60.0\n4 4\n", 1, {{4, 4}}},
    {"end marker ends reading", "ND 1\nTS\n1 1\nENDDS\nTS\n9 9\n", 1, {{1, 1}}},
    {"no end marker", "ND 1\nTS\n1 1\nTS\n2 2\n", 1, {{2, 2}}},
    {"trailing lines after the last block", "ND 1\nTS\n1 1\n\n\nsomething\n", 1, {{1, 1}}},
    {"last line of the file is a header without a line end", "ND 1\nTS\n1 1\nTS", 1, {{1, 1}}, 1, false},
    {"last line of the file is another line without a line end", "ND 1\nTS\n1 1\nx", 1, {{1, 1}}},
    {"last line of the file is the end marker without a line end", "ND 1\nTS\n1 1\nENDDS", 1, {{1, 1}}},
    // Still read, but not clean: no block, a last line that may be cut short.
    {"file ends after the count line", "ND 2", 2, {{0, 0}, {0, 0}}, 0, false},
    {"no block before the end marker", "ND 2\nST 0\nENDDS\nTS\n1 1\n1 1\n", 2, {{0, 0}, {0, 0}}, 0, false},
    {"last pair without a line end", "ND 1\nTS\n1 1\nTS\n2 2", 1, {{2, 2}}, 1, false},
    {"last pair without a line end, blanks after it", "ND 1\nTS\n1 1\nTS\n2 2 \t", 1, {{2, 2}}, 1, false},

    {"the later larger pair wins", "ND 2\nTS 0\n1 0\n0 1\nTS 1\n0 -2\n3 0\n", 2, {{0, -2}, {3, 0}}},
    {"pairs with commas and tabs", "ND 2\nTS\n1.5,2.5\n\t-3 ,\t4\n", 2, {{1.5f, 2.5f}, {-3, 4}}},
    {"a pair over two lines", "ND 2\nTS\n1\n2\n3 4\n", 2, {{1, 2}, {3, 4}}},
    {"several pairs on a line", "ND 2\nTS\n1 2 3 4\n", 2, {{1, 2}, {3, 4}}},
    {"rest of the last data line is skipped", "ND 1\nTS\n1 2 extra\nTS\n0 0\n", 1, {{1, 2}}},
    {"Fortran exponents", "ND 1\nTS\n1.5D+01 -2.5d-1\n", 1, {{15, -0.25f}}},
    {"lines of text and blank lines between blocks", "ND 1\nTS\n1 1\n\nST 2\n  TS 3\nTS\n2 2\n", 1, {{2, 2}}},
    // Damage.
    {"end of file inside a block", "ND 3\nTS\n1 1\n2 2\n", 3, {{1, 1}, {2, 2}, {0, 0}}, 1, false},
    {"end of file after x", "ND 2\nTS\n1 1\n2", 2, {{1, 1}, {0, 0}}, 2, false},
    {"unreadable item starting a line", "ND 3\nTS\n1 1\nabc 2\n3 3\n", 3, {{1, 1}, {0, 0}, {3, 3}}, 1},
    {"unreadable item within a line", "ND 3\nTS\n1 1\n2 x2\n3 3\n", 3, {{1, 1}, {0, 0}, {3, 3}}, 1},
    {"both items unreadable, then a line left over", "ND 2\nTS\n1 1 x y\n3 3\n", 2, {{1, 1}, {0, 0}}, 2},
    {"values left over after a block", "ND 1\nTS\n1 1\n7 7\nTS\n2 2 3\n", 1, {{2, 2}}, 2},
    {"TS after the last pair is no header: not at a line start", "ND 1\nTS\n1 2 TS 3\n4 4\n", 1, {{1, 2}}, 1},
    {"block cut short by the next header", "ND 3\nTS 0\n1 1\n2 2\nTS 1\n4 4\n5 5\n6 6\nENDDS\n", 3,
     {{4, 4}, {5, 5}, {6, 6}}, 1},
    {"block cut short by the end marker", "ND 3\nTS 0\n1 1\nENDDS\nTS\n9 9\n9 9\n9 9\n", 3,
     {{1, 1}, {0, 0}, {0, 0}}, 1},
    {"header after x", "ND 2\nTS 0\n1 1\n5\nTS 1\n2 2\n3 3\n", 2, {{2, 2}, {3, 3}}, 1},
    {"stale values are never offered", "ND 2\nTS\n5 5\n? ?\nTS\n1 1\n1 1\n", 2, {{5, 5}, {1, 1}}, 1},
};

TEST_F(ReaderTest, ReadsEveryRowWithEveryLineEnd) {
  for (const char* line_end : {"\n", "\r\n", "\r"}) {
    for (const Row& row : kRows) {
      std::string input;
      for (const char* p = row.input; *p; ++p) {
        if (*p == '\n') input += line_end; else input += *p;
      }
      const Outcome out = read(input, static_cast<int>(row.peaks.size()));
      const std::string where = std::string(row.name) + " (line end " + (line_end[0] == '\n' ? "LF" : line_end[1] ? "CRLF" : "CR") + ")";
      EXPECT_TRUE(out.count_line_found) << where;
      EXPECT_EQ(out.node_count, row.node_count) << where;
      EXPECT_EQ(out.peaks, row.peaks) << where;
      EXPECT_EQ(out.damaged, row.damaged) << where << "\n" << out.warnings;
      const bool clean = row.clean && row.damaged == 0;
      EXPECT_EQ(out.clean, clean) << where;
      EXPECT_EQ(out.warnings.empty(), clean) << where << "\n" << out.warnings;
    }
  }
}

// The text as UTF-16, from UTF-8 (well-formed here), with or without a byte order mark.
std::string as_utf16(const std::string& utf8, bool big_endian, bool mark) {
  std::string out;
  auto unit = [&](unsigned u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += big_endian ? hi : lo;
    out += big_endian ? lo : hi;
  };
  if (mark) unit(0xFEFF);
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    unsigned c = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += n;
    if (c >= 0x10000) {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      unit(c);
    }
  }
  return out;
}

// A data set saved as UTF-16, as Notepad's "Unicode" and PowerShell's
// Out-File save it, reads exactly as the same text in UTF-8: peaks, damage,
// warnings and their line numbers.
TEST_F(ReaderTest, Utf16ReadsAsTheSameTextInUtf8) {
  std::vector<std::string> inputs;
  for (const Row& row : kRows) inputs.push_back(std::string(row.input));
  // Characters of two, three and four bytes in UTF-8; the first line's are
  // below 256, as it must be to tell UTF-16 without a mark.
  inputs.push_back("Größe µ\nND 2\nTS 0 € 𝄞\n1 2\n3 x€\nTS 1\n-4 0\n");
  // Longer than a buffer, so that the text is turned into UTF-8 in parts:
  // damage on both sides of the part boundaries, and no line end at the end.
  std::string large = "Kopf äöü\r\nND 3\r\n";
  for (int step = 0; large.size() < 3 * platform::kBufferSize; ++step) {
    large += "TS " + std::to_string(step) + " €\r\n";
    large += std::to_string(step % 97) + ".25 -1e-3\r\n" + (step % 1013 == 0 ? "x 1\r\n" : "2 2\r\n") + "1,5\r\n";
  }
  inputs.push_back(large + "TS\r\n9 9 8 8 7 7");
  inputs.push_back("ND 2\nTS\n1 " + std::string(platform::kBufferSize + 10, '7') + "\n2 2\n");  // no number of ours
  // Lines passed over: a control character is text, CJK as 8-bit text read as UTF-16 shows is none.
  inputs.push_back("ND 2\rT\x13\r1,2\r3\t4\rTS\r1 1\r2 2\r\xE5\x8D\x94\xE3\x80\xA0\r");
  for (const std::string& input : inputs) {
    const Outcome utf8 = read(input, 3);
    for (const bool big_endian : {false, true}) {
      for (const bool mark : {true, false}) {
        if (big_endian && !mark) continue;  // only little-endian is told by its first line
        const Outcome utf16 = read(as_utf16(input, big_endian, mark), 3);
        const std::string where = input.substr(0, 40) + (big_endian ? " BE" : " LE") + (mark ? " with mark" : "");
        EXPECT_EQ(utf16.node_count, utf8.node_count) << where;
        EXPECT_EQ(utf16.peaks, utf8.peaks) << where;
        EXPECT_EQ(utf16.damaged, utf8.damaged) << where;
        EXPECT_EQ(utf16.clean, utf8.clean) << where;
        EXPECT_EQ(utf16.warnings, utf8.warnings) << where;
        // Offsets are the file's: the progress line goes by them.
        EXPECT_EQ(utf16.offset, as_utf16(input.substr(0, utf8.offset), big_endian, mark).size()) << where;
      }
    }
  }
}

// A file still being written may change after its last pair was read, even
// after reading saw its end: that pair, from a last line without a line end,
// may be a number cut short, and is not taken.
TEST_F(ReaderTest, TheCutLastPairOfAFileThatChangedIsNotTaken) {
  for (const bool grows : {false, true}) {
    const auto name = folder.path() / "KASOR.dat";
    folder.write("KASOR.dat", "ND 2\r\nTS 0\r\n1 1\r\n2 2.221597e-0");
    PeakTable table;
    ASSERT_TRUE(create_peak_table(table));
    platform::InputChannel in;
    ASSERT_TRUE(in.open_file(name).ok());
    ReadOptions options;
    int reports = 0;
    // The last report of progress comes after the last pair, before reading ends.
    options.reports.read = [&](std::uint64_t) {
      if (++reports == 2 && grows) std::ofstream(name, std::ios::app) << "1\r\n";
    };
    std::int32_t count = 0;
    const ReadResult result = read_data_set(in, table, count, options);
    EXPECT_EQ(result.changed, grows);
    EXPECT_EQ(result.cut_pair_taken, !grows);
    EXPECT_EQ(table.y[2], grows ? 0.0f : 2.221597f);
    release_peak_table(table);
  }
}

TEST_F(ReaderTest, ByteOrderMarkIsIgnored) {
  const Outcome out = read("\xEF\xBB\xBFND 1\r\nTS\r\n2 3\r\n", 1);
  EXPECT_EQ(out.node_count, 1);
  EXPECT_EQ(out.peaks, (Peaks{{2, 3}}));
}

TEST_F(ReaderTest, NoCountLine) {
  for (const char* input : {"", "VECTOR\nTS\n1 1\n", "nd 3\n", "N\nD 3\n"}) {
    const Outcome out = read(input, 1);
    EXPECT_FALSE(out.count_line_found) << input;
    EXPECT_EQ(out.node_count, 0);
  }
}

TEST_F(ReaderTest, CountAboveCapacityStopsReading) {
  const Outcome at = read("ND 2200000\nTS\n1 1\n", 1);
  EXPECT_EQ(at.node_count, 2200000);
  EXPECT_EQ(at.peaks, (Peaks{{1, 1}}));
  const Outcome above = read("ND 2200001\nTS\n1 1\n", 1);
  EXPECT_TRUE(above.count_line_found);
  EXPECT_FALSE(above.count_valid);
  EXPECT_EQ(above.node_count, 2200001);
  EXPECT_EQ(above.peaks, (Peaks{{0, 0}}));
}

TEST_F(ReaderTest, WarningsNameTheLineAndStopAtTen) {
  std::string input = "ND 1\n";
  for (int i = 0; i < 14; ++i) input += "TS\n1 bad\n";  // lines 3, 5, 7, ...
  const Outcome out = read(input, 1);
  EXPECT_EQ(out.damaged, 14u);
  EXPECT_NE(out.warnings.find("Warnung: KASOR.dat, Zeile 3: Wert nicht lesbar, Wertepaar von Knoten 1 ignoriert."), std::string::npos)
      << out.warnings;
  EXPECT_NE(out.warnings.find("Zeile 21:"), std::string::npos);
  EXPECT_EQ(out.warnings.find("Zeile 23:"), std::string::npos);
  EXPECT_NE(out.warnings.find("14 beschädigte Stellen insgesamt"), std::string::npos);
  EXPECT_EQ(std::count(out.warnings.begin(), out.warnings.end(), '\n'), 11);
}

TEST_F(ReaderTest, LongLinesKeepMemoryBounded) {
  const std::string huge(5 << 20, 'x');
  // A line of megabytes before the count line, and one inside a block.
  const Outcome out = read("VECTOR " + huge + "\nND 2\nTS\n1 1\n" + huge + "\n2 2\n", 2);
  EXPECT_EQ(out.node_count, 2);
  EXPECT_EQ(out.peaks, (Peaks{{1, 1}, {0, 0}}));
  EXPECT_EQ(out.damaged, 2u);  // the long line, and "2 2" left over
  // A line end just before one: nothing to read up to, but the long line.
  const Outcome after_cr = read("ND 1\rTS\r1 1\r" + huge + "\nTS\n2 2\n", 1);
  EXPECT_EQ(after_cr.peaks, (Peaks{{2, 2}}));
  EXPECT_TRUE(after_cr.clean);
  // Without any line end at all.
  const Outcome no_end = read(huge, 1);
  EXPECT_FALSE(no_end.count_line_found);
  // A count text longer than what a line keeps is no whole number.
  const Outcome blanks = read("ND 3" + std::string(platform::kLineKeep, ' ') + "\nTS\n1 1\n", 1);
  EXPECT_EQ(blanks.node_count, 0);
  const Outcome fits = read("ND 3" + std::string(platform::kLineKeep - 8, ' ') + "\nTS\n1 1\n", 1);
  EXPECT_EQ(fits.node_count, 3);
}

TEST_F(ReaderTest, LongNumbersAreRead) {
  const std::string tiny = "0." + std::string(3000, '0') + "1e3002";  // 10
  const Outcome out = read("ND 1\nTS\n" + tiny + " -" + tiny + "\n", 1);
  EXPECT_EQ(out.peaks, (Peaks{{10, -10}}));
  // Longer than the whole buffer: no number this program reads.
  const Outcome too_long = read("ND 2\nTS\n1 " + std::string(platform::kBufferSize + 10, '7') + "\n2 2\n", 2);
  EXPECT_EQ(too_long.peaks, (Peaks{{0, 0}, {2, 2}}));
  EXPECT_EQ(too_long.damaged, 1u);
}

// Line ends, items and pairs cut at every place by the end of the buffer.
TEST_F(ReaderTest, BufferBoundariesCutNothing) {
  const std::string head = "ND 1\r\n";
  const std::string filler_block = "TS\r\n1 1\r\n";  // 9 bytes
  for (const char* last_line_end : {"\r\n", "\r", "\n"}) {
    for (int shift = 0; shift < 12; ++shift) {
      // The block whose pair "12345.5 -0.25" plus line end straddles the boundary.
      std::string input = head;
      const std::size_t target = platform::kBufferSize - 8 + static_cast<std::size_t>(shift);
      while (input.size() + filler_block.size() + 4 + 20 < target) input += filler_block;
      input += "TS\r\n";
      input += std::string(target - input.size() - 12, ' ');
      input += "12345.5 -0.25";
      input += last_line_end;
      input += "TS\r\n1 bad\r\n";
      const Outcome out = read(input, 1);
      EXPECT_EQ(out.peaks, (Peaks{{12345.5f, -0.25f}})) << "shift " << shift;
      EXPECT_EQ(out.damaged, 1u) << "shift " << shift;
      // Every line so far ended with one line end: the damaged pair is on the last line.
      std::size_t lines = 0;
      for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '\n' || (input[i] == '\r' && (i + 1 == input.size() || input[i + 1] != '\n'))) ++lines;
      }
      const std::string expected_line = "Zeile " + platform::with_thousands(lines) + ":";
      EXPECT_NE(out.warnings.find(expected_line), std::string::npos)
          << "shift " << shift << ": " << out.warnings << " expected " << expected_line;
    }
  }
}

}  // namespace
