#include "run/status_line.h"

#include <algorithm>
#include <cstdio>

#include "platform/system/console.h"

namespace {

// The line appears for an input this large, or once the reading has lasted this long.
constexpr std::uint64_t kLargeInput = 256'000'000;
constexpr std::chrono::seconds kLongRun{1};
constexpr std::chrono::milliseconds kUpdateEvery{250};

// A number with one decimal after a comma, as German writes it.
std::string with_one_decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string s(text);
  std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

}  // namespace

std::string progress_line(std::uint64_t done, std::uint64_t total, double seconds) {
  const double megabytes = static_cast<double>(done) / 1e6;
  std::string line = "KASOR.dat: ";
  if (total > 0) {
    const double share = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    line += std::to_string(static_cast<int>(share * 100)) + " % gelesen";
  } else {
    line += std::to_string(static_cast<long long>(megabytes)) + " MB gelesen";
  }
  if (seconds > 0 && done > 0) {
    const double rate = megabytes / seconds;
    line += ", " + std::to_string(static_cast<long long>(rate + 0.5)) + " MB/s";
    if (total > 0) {
      const double left = static_cast<double>(total - std::min(done, total)) / 1e6 / rate;
      line += ", noch " + std::to_string(static_cast<long long>(left + 0.5)) + " s";
    }
  }
  return line;
}

std::string summary_line(std::int32_t nodes, std::uint64_t blocks, std::uint64_t bytes, double seconds) {
  return "KASOR_max.dat geschrieben: " + std::to_string(nodes) + " Knoten, " + std::to_string(blocks) +
         (blocks == 1 ? " Block" : " Blöcke") + " aus " + with_one_decimal(static_cast<double>(bytes) / 1e6) +
         " MB gelesen, in " + with_one_decimal(seconds) + " s.\n";
}

bool note_read(StatusLine& status, std::uint64_t bytes, StatusLine::Clock::duration elapsed) {
  const std::uint64_t done = status.done.fetch_add(bytes, std::memory_order_relaxed) + bytes;
  StatusLine::Clock::rep next = status.next.load(std::memory_order_relaxed);
  if (!status.on_terminal || elapsed.count() < next || elapsed < kUpdateEvery) return false;
  if (status.total < kLargeInput && elapsed < kLongRun) return false;
  // One reader takes this update; the others go on reading.
  const auto after = std::chrono::duration_cast<StatusLine::Clock::duration>(elapsed + kUpdateEvery).count();
  if (!status.next.compare_exchange_strong(next, after, std::memory_order_relaxed)) return false;
  // Back to the start of the line, over it and over the rest of a longer one.
  std::string text = "\r";
  text += progress_line(done, status.total, std::chrono::duration<double>(elapsed).count());
  const std::size_t shown = status.shown.exchange(text.size() - 1, std::memory_order_relaxed);
  if (text.size() - 1 < shown) text.append(shown - (text.size() - 1), ' ');
  platform::report(text);
  return true;
}

void restart_reading(StatusLine& status, std::uint64_t offset) { status.done.store(offset, std::memory_order_relaxed); }

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
