#include "input/read_data_set.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "input/parallel_read.h"
#include "platform/channel.h"
#include "platform/item_input.h"
#include "platform/line_input.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace {

constexpr int kChannel = 1;
constexpr std::uint8_t kPairDescriptor[] = {0x02, 0x00, platform::kItemSingle, platform::kItemSingle};
constexpr std::uint64_t kMostWarnings = 10;

bool starts_with(const std::string& line, std::size_t count, const char* prefix) {
  return platform::__vbaVarTstEq(platform::left_part(line, count), prefix);
}

// Damage is reported line by line up to a limit; the total comes at the end.
void warn(bool report, std::uint64_t& damaged, std::uint64_t line, const std::string& what) {
  if (++damaged > kMostWarnings || !report) return;
  std::fprintf(stderr, "Warnung: KASOR.dat, Zeile %" PRIu64 ": %s\n", line, what.c_str());
}

std::string nodes_read(std::int32_t read, std::int32_t count) {
  return "nach Knoten " + std::to_string(read) + " von " + std::to_string(count);
}

}  // namespace

bool is_block_header(const std::string& line) { return starts_with(line, 2, "TS"); }

BlocksRead read_blocks(int channel_number, PeakTable& table, std::int32_t node_count, bool report) {
  BlocksRead result;
  std::string line;
  line.reserve(platform::kLineKeep);
  const platform::Channel& channel = platform::g_channels[channel_number];
  std::uint64_t& damaged = result.damaged_places;

  bool header_in_hand = false;  // a block cut short left the next header line read
  for (;;) {
    if (!header_in_hand && platform::end_of_file(channel_number)) break;
    // The next block header, or the end marker. The end of the file here is
    // the normal end of a data set without an end marker.
    bool stop = false;
    for (;;) {
      if (!header_in_hand && !platform::__vbaLineInputStr(channel_number, line)) {
        stop = true;
        break;
      }
      header_in_hand = false;
      if (starts_with(line, 5, "ENDDS")) {
        stop = result.end_marker = true;
        break;
      }
      if (is_block_header(line)) break;
    }
    if (stop) break;

    float x = 0, y = 0;
    bool file_ended = false;
    for (std::int32_t node = 1; node <= node_count; ++node) {
      if (platform::__vbaInputFile(channel_number, kPairDescriptor, x, y)) {
        offer(table, node, x, y);
        continue;
      }
      // The pair is damaged: it is not offered.
      const int error = platform::error_number();
      if (error == platform::kNotANumber) {
        warn(report, damaged, channel.failed_line, "Wert nicht lesbar, Knoten " + std::to_string(node) + " übersprungen");
        continue;
      }
      if (error == platform::kLineNotData) {
        const std::uint64_t at = channel.failed_line;
        platform::__vbaLineInputStr(channel_number, line);
        if (is_block_header(line) || starts_with(line, 5, "ENDDS")) {
          warn(report, damaged, at, "Block endet vorzeitig " + nodes_read(node - 1, node_count));
          header_in_hand = true;
          break;
        }
        warn(report, damaged, at, "Zeile nicht lesbar, Knoten " + std::to_string(node) + " übersprungen");
        continue;
      }
      const std::uint64_t last_line = channel.line - (channel.line_fresh ? 1 : 0);
      warn(report, damaged, last_line,
           (platform::read_failed(channel_number) ? "Lesefehler im Block " : "Datei endet im Block ") +
               nodes_read(node - 1, node_count));
      file_ended = true;
      break;
    }
    if (file_ended) break;
  }
  if (platform::read_failed(channel_number) && damaged == 0) {
    warn(report, damaged, channel.line, "Lesefehler, die Daten enden hier");
  }
  return result;
}

ReadResult read_data_set(PeakTable& table, std::int32_t& node_count) {
  ReadResult result;
  std::string line;
  line.reserve(platform::kLineKeep);

  // The count line: the first line that starts with "ND".
  for (;;) {
    if (!platform::__vbaLineInputStr(kChannel, line)) {
      platform::__vbaFileClose(kChannel);
      return result;
    }
    if (starts_with(line, 2, "ND")) break;
  }
  result.count_line_found = true;
  // A count text cut short by the line limit is no whole number either.
  if (!platform::line_was_cut(kChannel)) {
    platform::__vbaI4ErrVar(platform::middle_part(line, 3, line.size() - 2), node_count);
  }
  if (node_count <= kNodeCapacity && !read_blocks_in_parallel(kChannel, table, node_count)) {
    result.damaged_places = read_blocks(kChannel, table, node_count, true).damaged_places;
  }
  if (result.damaged_places > 0) {
    std::fprintf(stderr, "Warnung: KASOR.dat ist beschädigt, %" PRIu64
                 " Stelle(n) insgesamt; das Ergebnis enthält nur die lesbaren Wertepaare.\n",
                 result.damaged_places);
  }
  platform::__vbaFileClose(kChannel);
  return result;
}
