#pragma once
// Where an input channel's bytes come from: a file, a range of one, or bytes
// in memory, read into one large buffer that the source owns. UTF-16 is
// turned into UTF-8 as it is read, so that every reader sees the same bytes
// either way; and the source tells when the file changed under it.
//
// Until the data has ended, only the bytes up to the last line end in the
// buffer are handed to the readers; the line after it waits for the rest. So
// a line is never half read when the data turns out to end inside it: a read
// that failed, or a file that changed while it was read, ends the data at
// the last line end, and no number cut short is ever taken.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/files/file_stamp.h"
#include "platform/runtime.h"

namespace platform {

inline constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// The buffer holds a NUL after its data, so that a scan stops at the end
// without a bounds test per byte; the rest of the padding keeps short
// look-aheads in bounds.
inline constexpr std::size_t kPadding = 64;

// How the file's text is stored.
enum class Encoding { kBytes, kUtf16Le, kUtf16Be };

class ByteSource {
 public:
  ByteSource() = default;
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;
  ~ByteSource() { close(); }

  // Opens the file `name`. When it does not exist but exactly one entry of its
  // folder has that name apart from case, that entry is opened: data sets often
  // come from machines whose file names ignore case. A folder does not open.
  // A file that starts with a UTF-16 byte order mark, or whose first lines are
  // UTF-16 little-endian, is read as UTF-16.
  Status open_file(const std::filesystem::path& name);
  // Opens bytes `begin` to `end` (not included) of the file `name`, read as
  // bytes; the data ends at `end` as a file would.
  Status open_range(const std::filesystem::path& name, std::uint64_t begin, std::uint64_t end);
  // Opens `size` bytes at `data`, read exactly as a file would be. They must
  // stay in place until the source is closed.
  Status open_memory(const char* data, std::size_t size);
  void close();
  bool is_open() const { return buffer_ != nullptr; }

  // The bytes the readers may take: data()[0] to data()[end()], where a NUL
  // stands.
  char* data() const { return buffer_.get(); }
  std::size_t end() const { return end_; }
  // Nothing beyond end(): the data has ended.
  bool exhausted() const { return exhausted_; }
  // Moves the bytes from `pos` on to the front of the buffer, `pos` with
  // them, and reads more. False when no new byte arrived (the end of the
  // data, or a read error).
  bool refill(std::size_t& pos);

  // The offset in the file of data()[pos].
  std::uint64_t offset(std::size_t pos) const {
    return encoding_ == Encoding::kBytes ? base_ + pos : utf16_offset(pos);
  }
  // The byte before data()[pos]; before the start of the data, a line end.
  char byte_before(std::size_t pos) const { return pos > 0 ? buffer_[pos - 1] : before_buffer_; }
  // True when the last byte handed to the readers ends a line.
  bool ends_in_line_end() const { return last_byte_line_end_; }

  // Not ok once a read of the file failed: the data ended at the last line
  // end before it, and the reason says why.
  const Status& read_error() const { return read_error_; }
  // The file opened, as found; empty for memory input.
  const std::filesystem::path& name() const { return name_; }
  // The size of the file when it was opened; false for memory input, a pipe or a device.
  bool file_size(std::uint64_t& size) const;
  Encoding encoding() const { return encoding_; }
  // True when the file opened is no longer as it was at the open: another
  // size or modification time, or its name now names another file. Once
  // true, it stays true. Memory input, pipes and devices never change: they
  // are written while they are read by their nature.
  bool changed();

 private:
  Status start(int fd, const char* memory, std::size_t size, std::uint64_t file_left, std::uint64_t base);
  // Appends what the source has to the buffer, up to its size: the bytes
  // themselves, or UTF-16 turned into UTF-8.
  void fill();
  // Reads up to `size` bytes of the source into `data`; marks its end.
  std::size_t take(char* data, std::size_t size);
  // The first bytes of a file tell its encoding.
  void detect_encoding();
  std::uint64_t utf16_offset(std::size_t pos) const;

  int fd_ = -1;
  const char* memory_ = nullptr;  // memory input: what is left of it
  std::size_t memory_left_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::size_t end_ = 0;     // bytes the readers may take; a NUL stands at end_
  std::size_t filled_ = 0;  // bytes held, end_ and the line after it
  char hidden_ = 0;         // the byte at end_ that the NUL stands in for, when end_ < filled_
  char before_buffer_ = '\n';  // the byte before buffer_[0]; the data starts a line
  std::size_t mark_ = 0;       // a UTF-8 byte order mark at the start, which the readers pass over
  std::filesystem::path name_;
  std::uint64_t base_ = 0;           // offset in the file of buffer_[0]
  std::uint64_t file_left_ = 0;      // bytes still to read from the file (a range may end early)
  bool source_done_ = false;         // the file or memory has no more bytes
  bool exhausted_ = false;           // nothing beyond filled_
  bool whole_file_ = false;          // a whole file: its encoding and changes are looked at
  bool first_fill_ = false;          // the start of the data is still to be read
  bool changed_ = false;
  bool last_byte_line_end_ = true;
  Status read_error_;
  FileStamp opened_;
  // UTF-16: the bytes read and not yet turned into UTF-8.
  Encoding encoding_ = Encoding::kBytes;
  std::unique_ptr<unsigned char[]> raw_;
  std::size_t raw_pos_ = 0, raw_end_ = 0;
  // UTF-16: offset() counts from buffer_[0] to a position once; these keep how far.
  mutable std::size_t mapped_pos_ = 0;
  mutable std::uint64_t mapped_bytes_ = 0;
};

}  // namespace platform
