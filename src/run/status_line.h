#pragma once
// The status line: on a terminal, one line that shows how far the reading of
// a large input has got, updated in place a few times a second, and a closing
// line at the end. Whatever else the run says on standard error goes through
// it, so that the line is cleared first. The run owns it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

struct StatusLine {
  using Clock = std::chrono::steady_clock;
  bool on_terminal = false;  // off, nothing is shown but what is said
  std::uint64_t total = 0;   // bytes of the input; 0 when unknown (a pipe)
  Clock::time_point start = Clock::now();
  std::atomic<std::uint64_t> done{0};  // bytes read so far, by every reader
  std::atomic<Clock::rep> next{0};     // no update before this time (since start)
  std::atomic<std::size_t> shown{0};   // characters of the line on the screen
};

// Counts `bytes` more read, `elapsed` after the start, and updates the line
// when its time has come: not in the first 250 ms, whose figures would be
// noise; for an input smaller than 256 MB not in the first second either;
// then at most every 250 ms. Any reader may call it, on any thread; one of
// them updates the line at a time. True when this call updated it.
bool note_read(StatusLine& status, std::uint64_t bytes, StatusLine::Clock::duration elapsed);

// The same, now.
inline bool note_read(StatusLine& status, std::uint64_t bytes) {
  return note_read(status, bytes, StatusLine::Clock::now() - status.start);
}

// Reading starts again at `offset` of the input: what was counted beyond it
// is read again.
void restart_reading(StatusLine& status, std::uint64_t offset);

// Clears the line, if it is shown, and writes `text`: whole lines.
void say(StatusLine& status, std::string_view text);

// Clears the line, if it is shown.
void clear_status(StatusLine& status);

// The line for `done` of `total` bytes (0: unknown) read in `seconds`.
std::string progress_line(std::uint64_t done, std::uint64_t total, double seconds);

// The closing line: what was written, from what, in how long.
std::string summary_line(std::int32_t nodes, std::uint64_t blocks, std::uint64_t bytes, double seconds);
