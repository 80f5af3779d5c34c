#pragma once
// The progress line: on a terminal, how much of a large input has been read,
// updated in place a few times a second and cleared at the end.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

struct Progress {
  using Clock = std::chrono::steady_clock;
  std::uint64_t total = 0;  // bytes of the input; 0 when unknown (a pipe)
  Clock::time_point start = Clock::now();
  std::atomic<std::uint64_t> done{0};  // bytes read so far, by every reader
  std::atomic<Clock::rep> next{0};     // no update before this time (since start)
  std::atomic<std::size_t> shown{0};   // characters of the line on the screen
};

// Counts `bytes` more read, and updates the line when its time has come. Any
// reader may call it, on any thread; one of them updates the line at a time.
void note_read(Progress& progress, std::uint64_t bytes);

// Clears the line, if it was shown.
void clear_progress(Progress& progress);

// The line for `done` of `total` bytes (0: unknown) read in `seconds`.
std::string progress_line(std::uint64_t done, std::uint64_t total, double seconds);

// The closing line: what was written, from what, in how long.
std::string summary_line(std::int32_t nodes, std::uint64_t blocks, std::uint64_t bytes, double seconds);
