#include "run/run.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "peak/peak_table.h"
#include "platform/channels.h"
#include "platform/console.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/runtime.h"

namespace {

constexpr int kInputChannel = 1;

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
  if (!read.count_line_found) {
    platform::report("Fehler: KASOR.dat enthält keine Zeile mit der Knotenzahl (ND); nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  if (node_count > kNodeCapacity) {
    platform::report("Fehler: KASOR.dat nennt " + std::to_string(node_count) + " Knoten, mehr als die " +
                     std::to_string(kNodeCapacity) + ", die das Programm fasst; nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  if (!write_peak_data_set(prefix, node_count, table, options.write)) {
    platform::report("Fehler: KASOR_max.dat konnte nicht geschrieben werden (" + platform::error_reason() +
                     "); eine vorhandene Datei bleibt unverändert.\n");
    return kExitNotWritten;
  }
  if (on_terminal) {
    const double seconds = std::chrono::duration<double>(Progress::Clock::now() - progress.start).count();
    platform::report(summary_line(node_count, read.blocks, progress.done, seconds));
  }
  return read.damaged_places > 0 ? kExitDamagedInput : kExitOk;
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
