#pragma once
// An output file, or output kept in memory, written through one large buffer
// that the channel owns. A file is written as a replacement of its target
// (platform/files/replace_file.h): the target changes whole, at the close, or
// not at all. Failures are values here; the numbered channels
// (platform/channels.h) record them as the error number.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files/replace_file.h"
#include "platform/runtime.h"

namespace platform {

class OutputChannel {
 public:
  OutputChannel() = default;
  OutputChannel(const OutputChannel&) = delete;
  OutputChannel& operator=(const OutputChannel&) = delete;
  ~OutputChannel() { discard(); }

  // Starts a replacement of `target`.
  Status open_file(const std::filesystem::path& target);
  // Output into memory, read with printed().
  Status open_memory();
  bool is_open() const { return buffer_ != nullptr; }

  // Writes what is waiting, makes it durable and only then puts the new file
  // in place of the target. If anything failed on the way, the temporary file
  // goes and the target stays as it was; the first failure is returned.
  Status close();
  // Closes and removes what was written; the target stays as it was.
  void discard();
  // Writes `bytes` as they are; they are taken to end a line.
  bool write_bytes(std::string_view bytes);
  // Memory output: what was printed since it was opened or emptied, valid
  // until the next print; then empty() starts it again, still open.
  std::string_view printed();
  void empty();

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
  // True once a write has failed; failure() then says how.
  bool failed() const { return !failure_.ok(); }
  const Status& failure() const { return failure_; }

  static constexpr std::size_t kOutputBufferSize = std::size_t{1} << 20;

 private:
  bool flush();
  void reset();

  bool to_file_ = false;  // false: output to memory
  std::unique_ptr<char[]> buffer_;
  std::size_t end_ = 0;     // bytes waiting to be written
  std::size_t column_ = 0;  // characters printed on the current line
  Status failure_;          // the first failure
  Replacement file_;
  std::string collected_;  // memory output so far
};

}  // namespace platform
