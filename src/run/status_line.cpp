#include "run/status_line.h"

#include <algorithm>
#include <cstdio>

#include "platform/numbers/thousands.h"
#include "platform/system/console.h"

namespace {

using Clock = StatusLine::Clock;

// The line appears for an input this large, or once the reading has lasted this long.
constexpr std::uint64_t kLargeInput = 256'000'000;
constexpr std::chrono::seconds kLongRun{1};
constexpr std::chrono::milliseconds kUpdateEvery{250};

// A number with one decimal after a comma, as German writes it.
std::string with_one_decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string s(text);
  const std::size_t point = s.find('.');
  std::string whole = s.substr(0, point);
  return platform::with_thousands(std::stoull(whole)) + "," + s.substr(point + 1);
}

// A count of bytes as a person reads it best: Byte, kB, MB or GB.
std::string amount(std::uint64_t bytes) {
  if (bytes < 1000) return std::to_string(bytes) + " Byte";
  if (bytes < 1'000'000) return with_one_decimal(static_cast<double>(bytes) / 1e3) + " kB";
  if (bytes < 10'000'000'000) return with_one_decimal(static_cast<double>(bytes) / 1e6) + " MB";
  return with_one_decimal(static_cast<double>(bytes) / 1e9) + " GB";
}

// A time the same way: ms below a second, s below a minute, then min and s.
std::string span(double seconds) {
  if (seconds < 1) return std::to_string(static_cast<long long>(seconds * 1000 + 0.5)) + " ms";
  if (seconds < 60) return with_one_decimal(seconds) + " s";
  const auto whole = static_cast<long long>(seconds + 0.5);
  return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
}

// The characters of UTF-8 text.
std::size_t characters(std::string_view text) {
  std::size_t n = 0;
  for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// Room on a terminal `width` characters wide (0: unknown, room for all): one
// column short of the width, since a line that fills it wraps on some terminals.
bool fits(std::string_view text, std::size_t width) { return width == 0 || characters(text) < width; }

// Puts `line` in place of what the line shows now.
void show(StatusLine& status, const std::string& line) {
  const std::string fitted = fit_to_width(line, platform::terminal_width(stderr));
  // Back to the start of the line, over it and over the rest of a longer one.
  const std::size_t length = characters(fitted);
  std::string text = "\r" + fitted;
  const std::size_t shown = status.shown.exchange(length, std::memory_order_relaxed);
  if (length < shown) text.append(shown - length, ' ');
  platform::report(text);
}

// True when the line is to be updated now, at `elapsed`: this caller claims it.
bool update_due(StatusLine& status, Clock::duration elapsed) {
  Clock::rep next = status.next.load(std::memory_order_relaxed);
  if (!status.on_terminal || elapsed.count() < next || elapsed < kUpdateEvery) return false;
  if (status.total < kLargeInput && elapsed < kLongRun) return false;
  const auto after = std::chrono::duration_cast<Clock::duration>(elapsed + kUpdateEvery).count();
  return status.next.compare_exchange_strong(next, after, std::memory_order_relaxed);
}

}  // namespace

std::string progress_line(std::uint64_t done, std::uint64_t total, std::uint64_t in_pass, double seconds, bool again,
                          std::size_t width) {
  std::string share;
  if (total > 0) {
    const double part = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    share = std::to_string(static_cast<int>(part * 100)) + " %";
  } else {
    share = platform::with_thousands(done / 1'000'000) + " MB";
  }
  const std::string state = share + (again ? " neu gelesen" : " gelesen");
  std::string rate, left;
  if (seconds > 0 && in_pass > 0) {
    const double per_second = static_cast<double>(in_pass) / 1e6 / seconds;
    rate = ", " + platform::with_thousands(static_cast<std::uint64_t>(per_second + 0.5)) + " MB/s";
    if (total > 0) {
      const double seconds_left = static_cast<double>(total - std::min(done, total)) / 1e6 / per_second;
      left = ", noch " + std::to_string(static_cast<long long>(seconds_left + 0.5)) + " s";
    }
  }
  // The longest that fits: the rate goes first, then the time left, then the
  // file name is shortened and dropped; the share always stays.
  for (const std::string& line :
       {"KASOR.dat: " + state + rate + left, "KASOR.dat: " + state + left, "KASOR.dat: " + state,
        "KASOR…: " + state, state}) {
    if (fits(line, width)) return line;
  }
  return share;
}

std::string fit_to_width(std::string_view text, std::size_t width) {
  if (fits(text, width)) return std::string(text);
  // Whole words only, and a mark that something was left out.
  constexpr std::string_view kLeftOut = " …";
  std::string_view kept = text;
  while (!kept.empty()) {
    const std::size_t blank = kept.rfind(' ');
    kept = kept.substr(0, blank == std::string_view::npos ? 0 : blank);
    while (!kept.empty() && (kept.back() == ',' || kept.back() == ':' || kept.back() == ' ')) kept.remove_suffix(1);
    if (fits(std::string(kept) + std::string(kLeftOut), width)) return std::string(kept) + std::string(kLeftOut);
  }
  return "";
}

std::string summary_line(std::int32_t nodes, std::uint64_t steps, std::uint64_t bytes, double seconds) {
  return "KASOR_max.dat geschrieben: " + platform::with_thousands(static_cast<std::uint64_t>(nodes)) + " Knoten, " +
         platform::with_thousands(steps) + (steps == 1 ? " Zeitschritt" : " Zeitschritte") + ", " + amount(bytes) +
         " in " + span(seconds) + " gelesen.\n";
}

bool note_read(StatusLine& status, std::uint64_t bytes, Clock::duration elapsed) {
  const std::uint64_t done = status.done.fetch_add(bytes, std::memory_order_relaxed) + bytes;
  if (!update_due(status, elapsed)) return false;
  const double seconds = std::chrono::duration<double>(elapsed - status.pass_start).count();
  show(status, progress_line(done, status.total, done - std::min(done, status.pass_from), seconds, status.again,
                            platform::terminal_width(stderr)));
  return true;
}

void restart_reading(StatusLine& status, std::uint64_t offset, bool damaged) {
  status.done.store(offset, std::memory_order_relaxed);
  status.pass_start = Clock::now() - status.start;
  status.pass_from = offset;
  status.again = true;
  if (!status.on_terminal) return;
  show(status, damaged ? "KASOR.dat: beschädigte Stelle gefunden, lese in einem Durchgang neu …"
                       : "KASOR.dat: lese in einem Durchgang neu …");
}

void note_written(StatusLine& status, std::int64_t nodes, std::int64_t total) {
  if (!status.on_terminal) return;
  if (nodes == 0) {
    show(status, "KASOR_max.dat wird geschrieben …");
  } else if (nodes >= total) {
    show(status, "KASOR_max.dat wird gespeichert …");
  } else if (update_due(status, Clock::now() - status.start)) {
    show(status, "KASOR_max.dat: " + std::to_string(nodes * 100 / total) + " % geschrieben");
  }
}

void clear_status(StatusLine& status) {
  const std::size_t shown = status.shown.exchange(0, std::memory_order_relaxed);
  if (shown == 0) return;
  std::string text(shown + 2, ' ');
  text.front() = text.back() = '\r';
  platform::report(text);
}

void say(StatusLine& status, std::string_view text) {
  clear_status(status);
  platform::report(text);
}
