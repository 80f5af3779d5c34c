#include "run/run.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "peak/peak_table.h"
#include "platform/channels.h"
#include "platform/console.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/runtime.h"

namespace {

constexpr int kInputChannel = 1;

// A line of the input as a message shows it: at most 40 characters, each
// control character and each byte that is no UTF-8 as "?".
std::string shown(std::string_view line) {
  constexpr std::size_t kMostShown = 40;
  std::string text;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < line.size(); ++characters) {
    if (characters == kMostShown) return text + "…";
    const auto lead = static_cast<unsigned char>(line[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    bool valid = length > 0 && i + length <= line.size();
    for (std::size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(line[i + k]) & 0xC0) == 0x80;
    if (!valid) {
      text += '?';
      ++i;
    } else if (length == 1) {
      text += lead == '\t' ? ' ' : (lead < 0x20 || lead == 0x7F) ? '?' : line[i];
      ++i;
    } else {
      text.append(line.substr(i, length));
      i += length;
    }
  }
  return text;
}

std::filesystem::path in_folder(const std::filesystem::path::string_type& prefix, const char* name) {
  return std::filesystem::path(prefix + std::filesystem::path(name).native());
}

// The reading phase, then the writing phase. An input that is no data set, or
// holds more nodes than the table, writes nothing: an older result is worth
// more than an empty or short one.
int read_and_write(PeakTable& table, const std::filesystem::path::string_type& prefix, const RunOptions& options) {
  platform::InputChannel& in = *platform::input_channel(kInputChannel);
  // On a terminal, a person watches: a progress line while reading, and a
  // closing line once the result is written.
  const bool on_terminal = platform::is_terminal(stderr);
  Progress progress;
  ReadOptions read_options = options.read;
  if (on_terminal) {
    in.file_size(progress.total);
    read_options.progress = &progress;
  }
  std::int32_t node_count = 0;
  const ReadResult read = read_data_set(in, table, node_count, read_options);
  platform::__vbaFileClose(kInputChannel);
  clear_progress(progress);
  if (read.read_failed) {
    platform::report("Fehler: KASOR.dat konnte nicht gelesen werden (" + read.read_failure + "); nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  if (!read.count_line_found) {
    platform::report("Fehler: KASOR.dat enthält keine Zeile mit der Knotenzahl (ND); nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  static_assert(kNodeCapacity == 2'200'000, "the message names the capacity");
  // A count that is no count would write a result of no nodes, or of nodes
  // the table does not hold, over an older one: nothing is written.
  if (!read.count_valid) {
    platform::report("Fehler: KASOR.dat, Zeile " + std::to_string(read.count_line_number) + ": „" +
                     shown(read.count_line) + "“ nennt keine Knotenzahl von 1 bis 2.200.000; nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  const WriteResult written = write_peak_data_set(prefix, node_count, table, options.write);
  if (!written.written) {
    platform::report("Fehler: KASOR_max.dat konnte nicht geschrieben werden (" + platform::error_reason() +
                     "); eine vorhandene Datei bleibt unverändert.\n");
    return kExitNotWritten;
  }
  if (!written.not_durable.empty()) {
    platform::report("Warnung: KASOR_max.dat ist geschrieben, doch der Ordner ließ sich nicht auf den Datenträger "
                     "sichern (" + written.not_durable + "); nach einem Stromausfall kann die ältere Datei zurück sein.\n");
  }
  if (on_terminal) {
    const double seconds = std::chrono::duration<double>(Progress::Clock::now() - progress.start).count();
    platform::report(summary_line(node_count, read.blocks, progress.done, seconds));
  }
  return read.clean() ? kExitOk : kExitDamagedInput;
}

}  // namespace

RunOptions options_for_this_machine() {
  RunOptions options;
  options.read.segments = platform::usable_cores();
  options.write.writers = platform::usable_cores();
  // KASOR_SIMD=scalar|avx2 forces a way of reading, for tests and benchmarks.
  options.read.simd = platform::simd_named(std::getenv("KASOR_SIMD"), platform::fastest_simd());
  return options;
}

int run(const RunOptions& options) {
  static_assert(kExitNoTable == platform::kExitStartFailed);
  PeakTable table;
  // Before continue-on-failure is on, a failure here ends the run at once.
  if (!create_peak_table(table)) return kExitNoTable;
  platform::__vbaOnError(-1);

  // A working folder that cannot be found opens nothing, anywhere: its failure
  // is reported as a missing input.
  std::filesystem::path::string_type prefix;
  if (platform::working_folder(prefix)) {
    prefix += platform::kPathSeparator;
    platform::remove_dead_temporaries(in_folder(prefix, "KASOR_max.dat"));
    platform::__vbaFileOpen(platform::kModeInput, -1, kInputChannel, in_folder(prefix, "KASOR.dat"));
  }

  int status = kExitOk;
  if (platform::error_number() > 0) {
    platform::message_box("KASOR.dat nicht gefunden!", platform::kStyleCritical, "Fehler");
    status = kExitNoInput;
  } else {
    status = read_and_write(table, prefix, options);
  }

  platform::close_all_channels();
  release_peak_table(table);
  return status;
}
