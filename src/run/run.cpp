#include "run/run.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "peak/peak_table.h"
#include "platform/channels.h"
#include "platform/files/file_calls.h"
#include "platform/files/replace_file.h"
#include "platform/numbers/thousands.h"
#include "platform/runtime.h"
#include "platform/system/console.h"
#include "platform/system/cpu.h"
#include "platform/system/message_box.h"
#include "platform/system/process.h"
#include "run/status_line.h"

namespace {

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

std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The line after "KASOR.dat nicht gefunden!": where the program looked, and
// why it found nothing it could read there.
std::string why_not_found(const std::filesystem::path::string_type& prefix, const platform::Status& opened) {
  if (opened.error == platform::kNoFolder) {
    return "Der Arbeitsordner ist nicht mehr vorhanden (" + opened.reason + ").\n";
  }
  const std::filesystem::path input = platform::file_in_folder(prefix, "KASOR.dat");
  std::string cause;
  std::error_code ignored;
  if (opened.error == platform::kNameAmbiguous) {
    cause = "mehrere Dateien heißen bis auf Groß- und Kleinschreibung KASOR.dat (" + opened.reason +
            "), und welche gemeint ist, bleibt offen";
  } else if (std::filesystem::is_directory(input, ignored)) {
    cause = "KASOR.dat ist dort ein Ordner, keine Datei";
  } else if (std::filesystem::is_symlink(std::filesystem::symlink_status(input, ignored)) &&
             !std::filesystem::exists(input, ignored)) {
    cause = "KASOR.dat ist dort ein Verweis auf " + utf8(std::filesystem::read_symlink(input, ignored)) +
            ", und das gibt es nicht";
  } else if (opened.error == platform::kFileNotFound) {
    cause = "dort gibt es keine Datei KASOR.dat";
  } else {
    cause = "KASOR.dat lässt sich nicht lesen (" + opened.reason + ")";
  }
  return "Gesucht im Ordner " + utf8(input.parent_path()) + ": " + cause + ".\n";
}

// The reading phase, then the writing phase. An input that is no data set, or
// holds more nodes than the table, writes nothing: an older result is worth
// more than an empty or short one.
int read_and_write(PeakTable& table, const std::filesystem::path::string_type& prefix, const RunOptions& options,
                   StatusLine& status) {
  platform::InputChannel& in = *platform::input_channel(platform::kInputChannel);
  ReadOptions read_options = options.read;
  read_options.reports.warning = [&status](const std::string& text) { say(status, text); };
  if (status.on_terminal) {
    in.file_size(status.total);
    read_options.reports.read = [&status](std::uint64_t bytes) { note_read(status, bytes); };
    read_options.reports.restart = [&status](std::uint64_t offset, bool damaged) {
      restart_reading(status, offset, damaged);
    };
  }
  // The peaks of a read in segments are merged as the result is printed.
  LaterPeaks later;
  read_options.later = &later;
  std::int32_t node_count = 0;
  const ReadResult read = read_data_set(in, table, node_count, read_options);
  platform::__vbaFileClose(platform::kInputChannel);
  clear_status(status);
  if (!read.read_error.ok()) {
    say(status, "Fehler: KASOR.dat konnte nicht gelesen werden (" + read.read_error.reason + "); nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  if (!read.count_line_found) {
    say(status, "Fehler: KASOR.dat enthält keine Zeile mit der Knotenzahl (ND); nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  static_assert(platform::kLineKeep == 4096, "the message names the longest count line");
  if (read.count_line_too_long) {
    say(status, "Fehler: KASOR.dat, Zeile " + platform::with_thousands(read.count_line_number) + ": „" +
                    shown(read.count_line) +
                    "“ ist länger als die 4.096 Zeichen, die eine Zeile mit der Knotenzahl haben darf; nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  static_assert(kNodeCapacity == 2'200'000, "the message names the capacity");
  // A count that is no count would write a result of no nodes, or of nodes
  // the table does not hold, over an older one: nothing is written.
  if (!read.count_valid) {
    say(status, "Fehler: KASOR.dat, Zeile " + platform::with_thousands(read.count_line_number) + ": „" + shown(read.count_line) +
                    "“ nennt keine Knotenzahl von 1 bis 2.200.000; nichts geschrieben.\n");
    return kExitNotADataSet;
  }
  WriteOptions write_options = options.write;
  write_options.printed = [&status, node_count](std::int32_t nodes) { note_written(status, nodes, node_count); };
  if (!later.tables.empty()) {
    write_options.before_printing = [&table, &later](std::int32_t first, std::int32_t last) {
      merge_later_peaks(table, later, first, last);
    };
  }
  const WriteResult written = write_peak_data_set(prefix, node_count, table, write_options);
  if (!written.status.ok()) {
    const platform::Status& failed = written.status;
    if (failed.error == platform::kWriteProtected) {
      say(status, "Fehler: KASOR_max.dat ist schreibgeschützt und bleibt unverändert; nichts geschrieben.\n");
    } else if (failed.error == platform::kOutOfMemory) {
      say(status, "Fehler: nicht genug freier Speicher, um KASOR_max.dat zu schreiben; eine vorhandene Datei bleibt "
                  "unverändert.\n");
      return kExitNoMemory;
    } else if (failed.error == platform::kNoTemporary) {
      say(status, "Fehler: KASOR_max.dat konnte nicht geschrieben werden: im Ordner " +
                      utf8(platform::file_in_folder(prefix, "KASOR_max.dat").parent_path()) +
                      " lässt sich keine Datei anlegen (" + failed.reason + "); eine vorhandene Datei bleibt unverändert.\n");
    } else {
      say(status, "Fehler: KASOR_max.dat konnte nicht geschrieben werden (" + failed.reason +
                      "); eine vorhandene Datei bleibt unverändert.\n");
    }
    return kExitNotWritten;
  }
  if (!written.not_durable.empty()) {
    say(status, "Warnung: KASOR_max.dat ist geschrieben, doch der Ordner ließ sich nicht sicher speichern (" +
                    written.not_durable + "); nach einem Stromausfall kann die ältere Datei zurück sein.\n");
  }
  if (status.on_terminal) {
    const double seconds = std::chrono::duration<double>(StatusLine::Clock::now() - status.start).count();
    say(status, summary_line(node_count, read.blocks, status.done, seconds));
  }
  // Stopped once the new result had its name: the run is complete, and says so.
  if (written.ended_after_rename) {
    say(status, "Hinweis: abgebrochen, als KASOR_max.dat schon neu geschrieben war; das Ergebnis ist vollständig.\n");
  }
  return read.clean() ? kExitOk : kExitDamagedInput;
}

// The run, step by step; messages through `status`.
int run_steps(const RunOptions& options, StatusLine& status) {
  static_assert(kExitNoMemory == platform::kExitStartFailed);
  PeakTable table;
  // Without its table the run cannot start: nothing is opened.
  if (!create_peak_table(table)) {
    const std::uint64_t megabytes = (kPeakTableBytesPerNode * (kNodeCapacity + 1) + 500'000) / 1'000'000;
    say(status, "Fehler: nicht genug freier Speicher für die Knotentabelle (" + std::to_string(megabytes) +
                    " MB); nichts gelesen, nichts geschrieben.\n");
    return kExitNoMemory;
  }
  platform::__vbaOnError(-1);

  // A working folder that cannot be found opens nothing, anywhere: its failure
  // is reported as a missing input.
  std::filesystem::path::string_type prefix;
  std::string reason;
  if (!platform::working_folder(prefix, reason)) {
    platform::record(platform::failure(platform::kNoFolder, reason));
  } else {
    prefix += platform::kPathSeparator;
    platform::remove_dead_temporaries(platform::file_in_folder(prefix, "KASOR_max.dat"));
    platform::__vbaFileOpen(platform::kModeInput, platform::kInputChannel, platform::file_in_folder(prefix, "KASOR.dat"));
  }

  int exit_status = kExitOk;
  if (platform::error_number() == platform::kOutOfMemory) {
    // The file is there; the memory to read it is not.
    say(status, "Fehler: nicht genug freier Speicher für den Lesepuffer; nichts gelesen, nichts geschrieben.\n");
    exit_status = kExitNoMemory;
  } else if (platform::error_number() > 0) {
    const platform::Status opened = platform::failure_of_this_thread();
    platform::message_box("KASOR.dat nicht gefunden!", platform::kStyleCritical, "Fehler");
    say(status, why_not_found(prefix, opened));
    exit_status = kExitNoInput;
  } else {
    exit_status = read_and_write(table, prefix, options, status);
  }

  platform::close_all_channels();
  release_peak_table(table);
  return exit_status;
}

}  // namespace

int run(const RunOptions& options) {
  // On a terminal, a person watches: a progress line while reading, and a
  // closing line once the result is written. Every message goes through it.
  StatusLine status;
  status.on_terminal = platform::is_terminal(stderr);
  say(status, options.notice);
  try {
    return run_steps(options, status);
  } catch (const std::bad_alloc&) {
    // Whatever was unfinished goes as the program ends; an older result stays.
    platform::close_all_channels();
    say(status, "Fehler: nicht genug freier Speicher; nichts geschrieben.\n");
    return kExitNoMemory;
  }
}

RunOptions options_for_this_machine() {
  RunOptions options;
  options.read.segments = platform::usable_cores();
  options.write.writers = platform::usable_cores();
  // The way of reading, chosen once: the fastest this CPU has, or the one
  // that KASOR_SIMD names (scalar, avx2), for tests and benchmarks.
  const char* named = std::getenv("KASOR_SIMD");
  options.read.way = &choose_way(named ? named : "", platform::cpu_has_avx2());
  return options;
}


std::string box_text(std::string_view messages) {
  constexpr std::size_t kFirst = 6;
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < messages.size();) {
    const std::size_t end = std::min(messages.find('\n', start), messages.size());
    lines.push_back(messages.substr(start, end - start));
    start = end + 1;
  }
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines.size() > kFirst + 2 && i == kFirst) {
      text += "… (" + platform::with_thousands(lines.size() - kFirst - 1) + " weitere Zeilen)\n";
      i = lines.size() - 1;
    }
    text += std::string(lines[i]) + "\n";
  }
  return text;
}

void show_what_nobody_saw(int status) {
  if (!platform::standard_error_unseen() || status < kExitNotWritten || status > kExitNoMemory) return;
  platform::message_box(box_text(platform::unseen_text()),
                        status == kExitDamagedInput ? platform::kStyleExclamation : platform::kStyleCritical,
                        "kasor-max");
}
