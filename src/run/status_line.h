#pragma once
// The status line: on a terminal, one line that shows how far the run has
// got, updated in place a few times a second and never wider than the
// terminal, and a closing line at the end. Whatever else the run says on
// standard error goes through it, so that the line is cleared first. The run
// owns it.

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
  // The pass of reading that the rate is taken over: a second one starts
  // when reading in parts is given up and the input is read again.
  Clock::duration pass_start{};
  std::uint64_t pass_from = 0;
  bool again = false;
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

// Reading starts again at `offset` of the input, in one pass: the line says
// so at once (that damage was found, when `damaged`), and the rate and the
// time left count from here.
void restart_reading(StatusLine& status, std::uint64_t offset, bool damaged);

// The result is being written: `nodes` of `total` node lines printed. The
// line says so at the start and at the end (when the file is made durable,
// which takes long on a slow disk), and shows the share in between as
// note_read does.
void note_written(StatusLine& status, std::int64_t nodes, std::int64_t total);

// Clears the line, if it is shown, and writes `text`: whole lines.
void say(StatusLine& status, std::string_view text);

// Clears the line, if it is shown.
void clear_status(StatusLine& status);

// The line while reading: `done` of `total` bytes (0: unknown) read, of them
// `in_pass` in the `seconds` of this pass; `again` for a pass after reading
// in parts was given up. On a terminal `width` characters wide (0: unknown)
// it never wraps: the rate goes first, then the time left, then the file
// name is shortened, then dropped; the share stays.
std::string progress_line(std::uint64_t done, std::uint64_t total, std::uint64_t in_pass, double seconds, bool again,
                          std::size_t width = 0);

// `text` fitted to a terminal `width` characters wide without wrapping (0:
// width unknown, nothing cut): whole words, and " …" where words were left out.
std::string fit_to_width(std::string_view text, std::size_t width);

// The closing line: what was written, from what, in how long.
std::string summary_line(std::int32_t nodes, std::uint64_t steps, std::uint64_t bytes, double seconds);
