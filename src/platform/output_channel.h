#pragma once
// An output file, or output kept in memory, written through one large buffer
// that the channel owns. Every failure is also recorded as the thread's error
// number (platform/runtime.h).
//
// A file is written under a temporary name beside its target, "<target>.tmp<process id>",
// held locked while it is written, and only a close that finds every write
// done puts it in place of the target, with the permissions of the file it
// replaces. A run that is killed leaves the
// temporary behind; the next run removes it (remove_dead_temporaries).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class OutputChannel {
 public:
  OutputChannel() = default;
  OutputChannel(const OutputChannel&) = delete;
  OutputChannel& operator=(const OutputChannel&) = delete;
  ~OutputChannel() { discard(); }

  // Creates the temporary file for `target`.
  bool open_file(const std::filesystem::path& target);
  // Output into memory, handed over whole by take_memory.
  bool open_memory();
  bool is_open() const { return buffer_ != nullptr; }

  // Writes what is waiting, makes it durable and only then puts the new file
  // in place of the target. If anything failed on the way, the temporary file
  // goes and the target stays as it was.
  bool close();
  // Closes and removes what was written; the target stays as it was.
  void discard();
  // Memory output: hands over everything written and closes.
  bool take_memory(std::string& bytes);

  // Writes `bytes` as they are; they are taken to end a line.
  bool write_bytes(std::string_view bytes);

  // For the print routine, which formats straight into the buffer: room for
  // `bytes` more at the end, written out first if need be. Returns where to
  // write them, or nullptr once a write has failed.
  char* room(std::size_t bytes) {
    if (end_ + bytes > kOutputBufferSize && !flush()) return nullptr;
    return buffer_.get() + end_;
  }
  // Free bytes at the end of the buffer.
  std::size_t free_space() const { return kOutputBufferSize - end_; }
  // Takes what was written from room() up to `end` as part of the current line.
  void wrote(const char* end) {
    const auto n = static_cast<std::size_t>(end - (buffer_.get() + end_));
    end_ += n;
    column_ += n;
  }
  // The same, for text that ends the line.
  void wrote_line_end(const char* end) {
    end_ = static_cast<std::size_t>(end - buffer_.get());
    column_ = 0;
  }
  // Characters printed on the current line.
  std::size_t column() const { return column_; }
  // True once a write has failed; failure() then returns the system's reason.
  bool failed() const { return write_failed_; }
  const std::string& failure() const { return first_failure_; }

  static constexpr std::size_t kOutputBufferSize = std::size_t{1} << 20;

 private:
  bool flush();
  bool note_failure(int code);
  bool note_failure(std::string reason);
  bool finish_file();
  void reset();

  bool to_file_ = false;  // false: output to memory
  std::unique_ptr<char[]> buffer_;
  std::size_t end_ = 0;     // bytes waiting to be written
  std::size_t column_ = 0;  // characters printed on the current line
  std::uint64_t written_ = 0;  // bytes handed to the file so far
  bool write_failed_ = false;
  std::string first_failure_;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::string collected_;  // memory output so far
#ifdef _WIN32
  void* handle_ = nullptr;  // the temporary's, which writes and renames it
#else
  int fd_ = -1;    // the temporary, written
  int lock_ = -1;  // the same file, which holds its lock until it is in place or gone
#endif
};

// Removes the temporary files that runs which ended without finishing left
// beside `target`, and never one that a running program is still writing.
void remove_dead_temporaries(const std::filesystem::path& target);

// Makes sure that `file`, just put in place under its name, keeps that name
// after a power cut: the folder that holds it is synced (on Windows, the file
// is flushed once more under its new name, as a move with write-through does).
// False, with the system's reason, when that failed; the file is in place all
// the same.
bool make_name_durable(const std::filesystem::path& file, std::string& reason);

}  // namespace platform
