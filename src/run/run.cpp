#include "run/run.h"

#include <cstdio>
#include <filesystem>

#include "peak/peak_table.h"
#include "platform/channels.h"
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
  std::int32_t node_count = 0;
  const ReadResult read = read_data_set(*platform::input_channel(kInputChannel), table, node_count, options.read);
  platform::__vbaFileClose(kInputChannel);
  if (!read.count_line_found) {
    std::fprintf(stderr, "Fehler: KASOR.dat enthält keine Zeile mit der Knotenzahl (ND); nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  if (node_count > kNodeCapacity) {
    std::fprintf(stderr, "Fehler: KASOR.dat nennt %d Knoten, mehr als die %d, die das Programm fasst; nichts geschrieben.\n",
                 static_cast<int>(node_count), static_cast<int>(kNodeCapacity));
    return kExitNotADataSet;
  }
  if (!write_peak_data_set(prefix, node_count, table, options.write)) {
    std::fprintf(stderr, "Fehler: KASOR_max.dat konnte nicht geschrieben werden (%s); "
                 "eine vorhandene Datei bleibt unverändert.\n", platform::error_reason().c_str());
    return kExitNotWritten;
  }
  return read.damaged_places > 0 ? kExitDamagedInput : kExitOk;
}

}  // namespace

RunOptions options_for_this_machine() {
  RunOptions options;
  options.read.segments = platform::usable_cores();
  options.write.writers = platform::usable_cores();
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
