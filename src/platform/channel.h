#pragma once
// File channels: files addressed by a small number, read and written through
// one large buffer each, so that the readers can take items straight from it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

inline constexpr int kMaxChannel = 64;
inline constexpr int kModeInput = 1;   // sequential input: the file must exist
inline constexpr int kModeOutput = 2;  // sequential output: the file is created or replaced

inline constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// An input buffer holds a NUL after its data, so that a scan stops at the end
// without a bounds test per byte; the rest of the padding keeps short
// look-aheads in bounds.
inline constexpr std::size_t kPadding = 64;

struct Channel {
  int mode = 0;  // 0 while closed
  std::FILE* file = nullptr;
  const char* memory = nullptr;  // input from memory instead of a file: what is left of it
  std::size_t memory_left = 0;
  std::unique_ptr<char[]> buffer;
  std::size_t pos = 0;  // input: next unread byte
  std::size_t end = 0;  // input: bytes held; output: bytes waiting to be written

  // Input.
  std::filesystem::path name;     // the file opened, when it is one
  std::uint64_t base = 0;         // offset in the file of buffer[0]
  std::uint64_t file_left = 0;    // bytes still to read from the file (a range may end early)
  bool exhausted = false;         // the file holds nothing beyond `end`
  bool read_error = false;        // a read failed; the file was treated as ending there
  bool line_fresh = true;         // only separators read since the last line end
  bool line_cut = false;          // the line read last was longer than the part kept of it
  std::uint64_t line = 1;         // number of the line that `pos` is in
  std::uint64_t failed_line = 0;  // the line of the latest item that could not be read
  std::string scratch;            // a number's text, rewritten for the general conversion

  // Output. The file is written under a temporary name beside the target and
  // only a close that finds every write done replaces the target with it.
  std::size_t column = 0;  // characters printed on the current line
  std::uint64_t written = 0;  // bytes handed to the file so far
  bool write_failed = false;
  std::string first_failure;
  std::filesystem::path target;
  std::filesystem::path temporary;
  std::string collected;  // output to memory: what was written so far
};

inline Channel g_channels[kMaxChannel + 1];

// Records why `number` is no channel open in `mode`, and gives nullptr.
Channel* channel_not_open(int number, int mode);

// The channel with that number when it is open in `mode`; otherwise records the
// failure and gives nullptr.
inline Channel* open_channel(int number, int mode) {
  if (number >= 1 && number <= kMaxChannel && g_channels[number].mode == mode) return &g_channels[number];
  return channel_not_open(number, mode);
}

// Opens `name` on `channel`. `record_length` is -1 (the default) for the
// sequential modes, the only ones there are. For input, when `name` does not
// exist but exactly one entry of its folder has that name apart from case, that
// entry is opened: data sets often come from machines whose file names ignore case.
bool __vbaFileOpen(int mode, int record_length, int channel, const std::filesystem::path& name);

// Opens bytes `begin` to `end` (not included) of the file `name` as
// sequential input on `channel`; the data ends at `end` as a file would.
bool open_input_range(int channel, const std::filesystem::path& name, std::uint64_t begin, std::uint64_t end);

// The offset in its file of the next byte an input channel gives.
std::uint64_t input_offset(int channel);

// The size of the file open for input on `channel`; false for memory input.
bool input_file_size(int channel, std::uint64_t& size);

// Opens `size` bytes at `data` as sequential input on `channel`, read exactly as
// a file would be. The bytes must stay in place until the channel is closed.
bool open_memory_input(int channel, const char* data, std::size_t size);

// Opens `channel` for output into memory: what is printed there is kept and
// handed over whole by take_memory_output, which closes the channel.
bool open_memory_output(int channel);
bool take_memory_output(int channel, std::string& bytes);

// Writes `bytes` as they are to an output channel; they are taken to end a line.
bool write_bytes(int channel, std::string_view bytes);

// Closes the channel. For output this writes what is waiting, makes it durable
// and only then puts the new file in place of the target; if anything failed
// on the way, the temporary file goes and the target stays as it was.
bool __vbaFileClose(int channel);

// Closes an output channel and removes what it wrote; the target stays as it was.
void discard_output(int channel);

// Closes whatever is open, without putting any unfinished output in place.
void close_all_channels();

// True when the input channel has no more bytes (or is not open for input).
bool end_of_file(int channel);

// Input: moves the unread bytes to the front of the buffer and reads more.
// False when no new byte arrived (the end of the file, or a read error).
bool refill(Channel& channel);

// Output: writes what is waiting in the buffer. False once any write failed.
bool flush_output(Channel& channel);

// True when a read of the input channel failed (the data ended early).
bool read_failed(int channel);

}  // namespace platform
