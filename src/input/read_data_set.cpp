#include "input/read_data_set.h"

#include <algorithm>
#include <string>

#include "input/parallel_read.h"
#include "input/skipped_lines.h"
#include "platform/numbers/text.h"
#include "platform/numbers/thousands.h"
#include "platform/runtime.h"

namespace {

constexpr std::uint64_t kMostWarnings = 10;
// The progress line hears of every this many bytes read.
constexpr std::uint64_t kProgressBytes = std::uint64_t{1} << 20;
// Pairs read and offered in one go.
constexpr std::int64_t kRun = 256;

bool starts_with(std::string_view line, std::size_t count, const char* prefix) {
  return platform::__vbaVarTstEq(platform::left_part(line, count), prefix);
}

bool is_end_marker(std::string_view line) { return starts_with(line, 5, "ENDDS"); }

// Where the block loop stands after a header search or a block.
enum class At {
  kBlockHeader,  // a block header has just been read
  kEndMarker,
  kEndOfData,
  kBlockEnd,  // a block is complete: the header search comes next
};

struct BlockLoop {
  platform::InputChannel& in;
  PeakTable& table;
  std::int32_t node_count;
  const ReadOptions& options;
  std::string line;
  std::string scratch;
  float xy[2 * kRun + 8];
  platform::Decimal read[2 * kRun + 8];
  BlocksRead result;
  std::uint64_t counted = 0;  // the offset up to which bytes were counted for the progress line
  bool end_warned = false;    // the end of the data was warned about already, inside a block
};

// Counts the bytes read since the last count, once there are enough of them.
void count_progress(BlockLoop& loop, std::uint64_t at_least = kProgressBytes) {
  if (!loop.options.reports.read) return;
  const std::uint64_t at = loop.in.offset();
  if (at - loop.counted < at_least) return;
  loop.options.reports.read(at - loop.counted);
  loop.counted = at;
}

void report_warning(const ReadOptions& options, const std::string& text) {
  if (options.reports.warning) options.reports.warning("Warnung: KASOR.dat" + text + "\n");
}

// Damage is reported line by line up to a limit, and the end of the data
// always; the total comes at the end.
void warn(BlockLoop& loop, std::uint64_t line, const std::string& what, bool always = false) {
  if (++loop.result.damaged_places > kMostWarnings && !always) return;
  report_warning(loop.options, ", Zeile " + platform::with_thousands(line) + ": " + what);
}

// The system's reason for a read that failed, as the warnings add it.
std::string why_unread(const platform::InputChannel& in) { return " (" + in.read_error().reason + ")"; }

std::string nodes_read(std::int32_t read, std::int32_t count) {
  return "nach Knoten " + platform::with_thousands(static_cast<std::uint64_t>(read)) + " von " +
         platform::with_thousands(static_cast<std::uint64_t>(count));
}

// Only that node's pair of that time step is left out.
std::string pair_left_out(std::int32_t node) {
  return "Wertepaar von Knoten " + platform::with_thousands(static_cast<std::uint64_t>(node)) + " ignoriert.";
}

// The time step being read, as its place in the file: "3. Zeitschritt".
std::string step(const BlockLoop& loop) { return platform::with_thousands(loop.result.blocks) + ". Zeitschritt"; }

// Values the header search passes over after a complete block: the block
// had fewer pairs than its lines hold.
struct LeftOver {
  std::uint64_t line = 0;  // where they start
  std::uint64_t values = 0;
  bool comma_between_digits = false;
  std::uint64_t whole_lines = 0;        // lines of values, not the rest of the last pair's line
  std::uint64_t lines_of_three = 0;     // of those, lines with three or more numbers
};

// Warns once of the values left over after a block, with what likely caused
// them where it is plain, and forgets them.
void warn_left_over(BlockLoop& loop, LeftOver& left) {
  if (left.values == 0) return;
  std::string what = platform::with_thousands(left.values) + (left.values == 1 ? " Wert" : " Werte") +
                     " zu viel im " + step(loop) + ", ignoriert";
  if (left.comma_between_digits) {
    what += " (Komma zwischen Ziffern: Dezimalkomma?)";
  } else if (left.whole_lines > 0 && left.lines_of_three == left.whole_lines) {
    what += " (drei oder mehr Zahlen je Zeile?)";
  }
  warn(loop, left.line, what + ".");
  left = {};
}

// The header search: passes over lines up to the next block header or the end
// marker. The end of the data here is the normal end of a data set without an
// end marker. After a complete block, a line whose first item is a number
// holds values left over from it (the rest of the block's last line too);
// lines of text and blank lines are passed over in silence.
At find_next_header(BlockLoop& loop, bool after_block) {
  if (loop.in.at_end()) return At::kEndOfData;
  // The rest of the last pair's line, if the block ended inside one: no line start.
  bool rest_of_line = after_block && !loop.in.at_line_start();
  LeftOver left;
  At at = At::kEndOfData;
  for (;; rest_of_line = false) {
    const std::uint64_t number = loop.in.line_number();
    if (!loop.in.read_line(loop.line)) break;
    if (!rest_of_line && is_end_marker(loop.line)) {
      at = At::kEndMarker;
      break;
    }
    if (!rest_of_line && is_block_header(loop.line)) {
      at = At::kBlockHeader;
      break;
    }
    // A part of the file in another encoding, or damage.
    if (holds_foreign_text(loop.line)) {
      warn_left_over(loop, left);
      warn(loop, number, "Die Zeile ist kein Text, ignoriert (beschädigt oder in einer anderen Kodierung gespeichert?).");
      continue;
    }
    if (!after_block) continue;
    const NumbersInLine numbers = numbers_in_line(loop.line, loop.scratch);
    if (!numbers.data) continue;
    if (left.values == 0) left.line = number;
    left.values += numbers.numbers;
    left.comma_between_digits = left.comma_between_digits || numbers.comma_between_digits;
    if (!rest_of_line) {
      ++left.whole_lines;
      left.lines_of_three += numbers.numbers >= 3;
    }
  }
  warn_left_over(loop, left);
  return at;
}

// A pair with a NaN is never a peak; it is counted, with the first line.
void count_nan(BlockLoop& loop, std::uint64_t line) {
  if (loop.result.nan_pairs++ == 0) loop.result.first_nan_line = line;
}

// One block: a pair for each node, each offered to the table. A damaged pair
// is not offered; a block cut short ends at the header or end marker that
// cut it, which is then in hand.
At read_block(BlockLoop& loop) {
  float x = 0, y = 0;
  for (std::int32_t node = 1; node <= loop.node_count; ++node) {
    // Pairs laid out the common way are read and offered a run at a time;
    // the pair after a run is read on its own, damage and all.
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(kRun, std::int64_t{loop.node_count} - node + 1));
    const PairBuffers pairs{loop.xy, loop.read};
    const std::size_t run = read_plain_pairs(loop.in, pairs, wanted, loop.options.way->parse_pairs);
    loop.options.way->offer_run(loop.table, node, pairs, run);
    node += static_cast<std::int32_t>(run);
    count_progress(loop);
    if (run == wanted) {
      --node;  // the loop goes on after the run
      continue;
    }
    const PairRead pair = read_pair(loop.in, x, y);
    switch (pair.status) {
      case PairStatus::kRead:
        if (x != x || y != y) {
          count_nan(loop, pair.line);
        } else if (loop.in.ended_in_a_line_of_items()) {
          loop.result.last_pair = {true, node, x, y};  // offered once the file is known not to have changed
        } else {
          offer(loop.table, node, x, y);
        }
        break;
      case PairStatus::kUnreadable:
        warn(loop, pair.line, "Wert nicht lesbar, " + pair_left_out(node));
        break;
      case PairStatus::kLineNotData: {
        // A header or end marker starts its line; indented, it is a line of text.
        const bool line_start = loop.in.at_line_start();
        loop.in.read_line(loop.line);
        if (line_start && (is_block_header(loop.line) || is_end_marker(loop.line))) {
          warn(loop, pair.line, "Der " + step(loop) + " endet vorzeitig " + nodes_read(node - 1, loop.node_count) + ".");
          return is_end_marker(loop.line) ? At::kEndMarker : At::kBlockHeader;
        }
        warn(loop, pair.line, "Zeile nicht lesbar, " + pair_left_out(node));
        break;
      }
      case PairStatus::kEndOfData:
        warn(loop, pair.line, "Die Datei endet im " + step(loop) + " " + nodes_read(node - 1, loop.node_count) + ".",
             true);
        loop.end_warned = true;
        return At::kEndOfData;
      case PairStatus::kReadError:
        warn(loop, pair.line,
             "Lesefehler im " + step(loop) + " " + nodes_read(node - 1, loop.node_count) + why_unread(loop.in) +
                 "; die Daten enden hier.",
             true);
        loop.end_warned = true;
        return At::kEndOfData;
    }
  }
  return At::kBlockEnd;
}

}  // namespace

bool is_block_header(std::string_view line) { return starts_with(line, 2, "TS"); }

BlocksRead read_blocks(platform::InputChannel& in, PeakTable& table, std::int32_t node_count,
                       const ReadOptions& options) {
  BlockLoop loop{in, table, node_count, options, {}, {}, {}, {}, {}};
  loop.line.reserve(platform::kLineKeep);
  loop.counted = in.offset();
  At at = find_next_header(loop, false);
  while (at == At::kBlockHeader) {
    ++loop.result.blocks;
    at = read_block(loop);
    if (at == At::kBlockEnd) at = find_next_header(loop, true);
    count_progress(loop);
  }
  count_progress(loop, 0);
  if (at == At::kEndOfData) {
    if (!in.read_error().ok()) {
      if (!loop.end_warned) warn(loop, in.line_number(), "Lesefehler" + why_unread(in) + "; die Daten enden hier.", true);
    } else if (in.ended_in_a_line_of_items()) {
      // Its last number may be cut short, inside a block or after it: the
      // file may have been copied or read while it was still being written.
      warn(loop, in.line_number(), "Die letzte Zeile hat kein Zeilenende; die Datei ist womöglich abgeschnitten.", true);
    }
  }
  loop.result.end_marker = at == At::kEndMarker;
  return loop.result;
}

ReadResult read_data_set(platform::InputChannel& in, PeakTable& table, std::int32_t& node_count,
                         const ReadOptions& options) {
  ReadResult result;
  std::string line;
  line.reserve(platform::kLineKeep);

  // The count line: the first line that starts with "ND".
  do {
    result.count_line_number = in.line_number();
    if (!in.read_line(line)) {
      result.read_error = in.read_error();
      return result;
    }
  } while (!starts_with(line, 2, "ND"));
  result.count_line_found = true;
  result.count_line = line;
  // A count text cut short by the line limit is no whole number either.
  result.count_line_too_long = in.line_was_cut();
  std::int32_t count = 0;
  const bool whole = !result.count_line_too_long &&
                     platform::__vbaI4ErrVar(platform::middle_part(line, 3, line.size() - 2), count);
  if (whole) node_count = count;
  result.count_valid = whole && count >= 1 && count <= kNodeCapacity;
  if (!result.count_valid) return result;

  if (options.reports.read) options.reports.read(in.offset());  // the lines up to the count line
  BlocksRead read;
  PeakTable* last_table = &table;  // the table the last pair read belongs in
  if (!read_blocks_in_parallel(in, table, node_count, options, read, last_table)) {
    prepare_peak_table(table, node_count);
    read = read_blocks(in, table, node_count, options);
    last_table = &table;
  }
  result.damaged_places = read.damaged_places;
  result.nan_pairs = read.nan_pairs;
  result.blocks = read.blocks;
  // A file still being written gives peaks of no one moment: they are kept,
  // but not called clean; and its last line without a line end is where the
  // writer was, so its pair is not taken.
  result.changed = in.changed();
  if (read.last_pair.held && !result.changed) {
    offer(*last_table, read.last_pair.node, read.last_pair.x, read.last_pair.y);
    result.cut_pair_taken = true;
  }
  if (read.nan_pairs > 0) {
    const std::uint64_t n = read.nan_pairs;
    report_warning(options, ", Zeile " + platform::with_thousands(read.first_nan_line) + ": " +
                                (n == 1 ? std::string("Ein Wertepaar mit NaN (keine Zahl); es zählt")
                                        : platform::with_thousands(n) +
                                              " Wertepaare mit NaN (keine Zahl), das erste hier; sie zählen") +
                                " für kein Maximum.");
  }
  if (result.changed) report_warning(options, " wurde während des Lesens verändert (wird sie noch geschrieben?).");
  if (result.blocks == 0 && in.read_error().ok()) {
    report_warning(options, " enthält keinen Zeitschritt (TS); jeder Knoten erhält 0 und 0.");
  }
  if (result.damaged_places > 0) {
    const std::uint64_t n = result.damaged_places;
    report_warning(options, " ist beschädigt: " + platform::with_thousands(n) +
                                (n == 1 ? " beschädigte Stelle" : " beschädigte Stellen") +
                                " insgesamt; das Ergebnis enthält nur die lesbaren Wertepaare" +
                                (result.cut_pair_taken ? ", das letzte aus der Zeile ohne Zeilenende, die womöglich "
                                                         "abgeschnitten ist."
                                                       : "."));
  }
  return result;
}
