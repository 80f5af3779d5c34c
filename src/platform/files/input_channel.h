#pragma once
// An input file, a range of one, or bytes in memory, read through one large
// buffer that the channel owns, so that the readers take lines and items
// straight from it. LF, CR LF and a lone CR all end a line. Failures are
// values here; the numbered channels (platform/channels.h) record them as the
// error number.
//
// The item reader: items are separated by runs of blanks, tabs, commas and
// line ends. An item that is no number leaves its variable as it was. Within
// a line it is passed over and the reader goes on with the next item. As the
// first item of a line it is left where it is, with the rest of the call: such
// a line is likely no data at all (a block header, say), and the caller reads
// it as a line.
//
// The members are defined here (the hot ones, inline), in input_channel.cpp
// (opening and filling the buffer), read_lines.cpp and read_items.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/descriptor.h"
#include "platform/files/file_stamp.h"
#include "platform/numbers/char_class.h"
#include "platform/numbers/parse_pairs.h"
#include "platform/numbers/parse_single.h"
#include "platform/runtime.h"

#if defined(_MSC_VER)
#define KASOR_HOT_INLINE __forceinline
#elif defined(__GNUC__)
#define KASOR_HOT_INLINE [[gnu::always_inline]] inline
#else
#define KASOR_HOT_INLINE inline
#endif

namespace platform {

inline constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// The buffer holds a NUL after its data, so that a scan stops at the end
// without a bounds test per byte; the rest of the padding keeps short
// look-aheads in bounds.
inline constexpr std::size_t kPadding = 64;
// At most this much of a line is kept; the rest is read and passed over.
inline constexpr std::size_t kLineKeep = 4096;

// What reading one item met.
enum class ItemResult {
  kRead,
  kUnreadable,   // an item within a line that is no number; it was passed over
  kLineNotData,  // the first item of a line is no number; the line is left unread
  kEndOfData,    // no item left
  kBadCall,      // a type this reader does not read
};

// What reading a pair of numbers met.
enum class PairStatus {
  kRead,
  kUnreadable,   // an item within a line was no number; the rest of the pair was read
  kLineNotData,  // an item that starts a line is no number; that line is left unread
  kEndOfData,    // the data ended before the pair was complete
  kReadError,    // the same, because a read failed
};

struct PairRead {
  PairStatus status;
  // The line to report it at: when read, the line of its second number;
  // otherwise the line of the latest item that was no number; at the end of
  // the data, the last line read; after a failed read, the line it kept from
  // being read.
  std::uint64_t line;
};

// How the file's text is stored. UTF-16 is turned into UTF-8 as it is read,
// so that every reader sees the same bytes either way.
enum class Encoding { kBytes, kUtf16Le, kUtf16Be };

class InputChannel {
 public:
  InputChannel() = default;
  InputChannel(const InputChannel&) = delete;
  InputChannel& operator=(const InputChannel&) = delete;
  ~InputChannel() { close(); }

  // Opens the file `name`. When it does not exist but exactly one entry of its
  // folder has that name apart from case, that entry is opened: data sets often
  // come from machines whose file names ignore case. A folder does not open.
  // A file that starts with a UTF-16 byte order mark, or whose first line is
  // UTF-16 little-endian, is read as UTF-16.
  Status open_file(const std::filesystem::path& name);
  // Opens bytes `begin` to `end` (not included) of the file `name`, read as
  // bytes; the data ends at `end` as a file would.
  Status open_range(const std::filesystem::path& name, std::uint64_t begin, std::uint64_t end);
  // Opens `size` bytes at `data`, read exactly as a file would be. They must
  // stay in place until the channel is closed.
  Status open_memory(const char* data, std::size_t size);
  void close();
  bool is_open() const { return buffer_ != nullptr; }

  // Reads the next line, without its line end, into `line`. At the end of the
  // data returns false and leaves `line` as it was.
  bool read_line(std::string& line);
  // True when the line read last was longer than kLineKeep.
  bool line_was_cut() const { return line_cut_; }
  // From the start of a line: passes over lines, as read_line splits them,
  // up to the next that starts with the two bytes `first` and `second`, and
  // stops at its start; false when the data ends first. Searches the bytes
  // rather than reading lines, and counts no lines.
  bool skip_to_line_starting(char first, char second);

  // Reads the next item, of `type` (only single precision is read here), into
  // `target`; an item that is no number leaves `target` as it was. Separators
  // before it are taken: blanks, tabs, commas and line ends.
  inline ItemResult read_item(std::uint8_t type, float& target);
  // After the last item of a call: takes blanks and tabs and one line end, so
  // that a file whose last line holds the last items is at its end afterwards.
  inline void end_item_line();
  // Two single-precision items and what follows them, as one call of the item
  // reader reads them.
  inline PairRead read_pair(float& x, float& y);
  // Reads up to `count` pairs into `out` as read_pair would, with the
  // kernel `parse` (numbers/parse_pairs.h). It stops before the first pair it
  // cannot read so (damage) or that holds a NaN, and near the end of the
  // buffer, leaving that pair to read_pair. Returns the number of pairs read.
  std::size_t read_plain_pairs(const PairBuffers& out, std::size_t count, ParsePairs parse);

  // True when no byte is left.
  bool at_end() { return pos_ == end_ && !refill(); }
  // True when the next byte starts a line: nothing of its line was read yet.
  bool at_line_start() const {
    const char before = pos_ > 0 ? buffer_[pos_ - 1] : before_buffer_;
    return before == '\n' || before == '\r';
  }
  // The number of the line that the next byte is in, counted from 1.
  std::uint64_t line_number() const { return line_; }
  // The offset in the file of the next byte.
  std::uint64_t offset() const { return encoding_ == Encoding::kBytes ? base_ + pos_ : utf16_offset(); }
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
  // True at the end of the data when its last line has no line end and holds
  // items read last: a file cut in the middle of a line of numbers looks so.
  bool ended_in_a_line_of_items() { return at_end() && !last_byte_line_end_ && !line_fresh_; }

 private:
  Status start(int fd, const char* memory, std::size_t size, std::uint64_t file_left, std::uint64_t base);
  // Moves the unread bytes to the front of the buffer and reads more. False
  // when no new byte arrived (the end of the data, or a read error).
  //
  // Until the data has ended, only the bytes up to the last line end in the
  // buffer are handed to the readers (end_); the line after it waits for the
  // rest. So a line is never half read when the data turns out to end inside
  // it: a read that failed, or a file that changed while it was read, ends the
  // data at the last line end, and no number cut short is ever taken.
  bool refill();
  // Appends what the source has to the buffer, up to its size: the bytes
  // themselves, or UTF-16 turned into UTF-8.
  void fill();
  // Reads up to `size` bytes of the source into `data`; marks its end.
  std::size_t take(char* data, std::size_t size);
  // The first bytes of a file tell its encoding.
  void detect_encoding();
  std::uint64_t utf16_offset() const;
  ItemResult read_item_slowly(std::uint8_t type, float& target);
  ItemResult item_failed(ItemResult result);
  bool skip_separators();
  void skip_long_item();
  PairRead pair_stopped(ItemResult result) const;

  int fd_ = -1;
  const char* memory_ = nullptr;  // memory input: what is left of it
  std::size_t memory_left_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;     // next unread byte
  std::size_t end_ = 0;     // bytes the readers may take; a NUL stands at end_
  std::size_t filled_ = 0;  // bytes held, end_ and the line after it
  char hidden_ = 0;         // the byte at end_ that the NUL stands in for, when end_ < filled_
  std::filesystem::path name_;
  std::uint64_t base_ = 0;           // offset in the file of buffer_[0]
  std::uint64_t file_left_ = 0;      // bytes still to read from the file (a range may end early)
  std::uint64_t source_offset_ = 0;  // offset in the file of the next byte to read from it
  bool source_done_ = false;         // the file or memory has no more bytes
  bool exhausted_ = false;           // nothing beyond filled_
  bool whole_file_ = false;          // a whole file: its encoding and changes are looked at
  bool first_fill_ = false;          // the start of the data is still to be read
  bool changed_ = false;
  bool last_byte_line_end_ = true;
  bool line_fresh_ = true;       // only separators read since the last line end
  bool line_cut_ = false;
  char before_buffer_ = '\n';   // the byte before buffer_[0]; the data starts a line
  std::uint64_t line_ = 1;       // number of the line that pos_ is in
  std::uint64_t failed_line_ = 0;  // the line of the latest item that was no number
  std::string scratch_;          // a number's text, rewritten for the general conversion
  Status read_error_;
  FileStamp opened_;
  // UTF-16: the bytes read and not yet turned into UTF-8.
  Encoding encoding_ = Encoding::kBytes;
  std::unique_ptr<unsigned char[]> raw_;
  std::size_t raw_pos_ = 0, raw_end_ = 0;
  // UTF-16: offset() counts from buffer_[0] to pos_ once; these keep how far.
  mutable std::size_t mapped_pos_ = 0;
  mutable std::uint64_t mapped_bytes_ = 0;
};

KASOR_HOT_INLINE void InputChannel::end_item_line() {
  for (;;) {
    char* const data = buffer_.get();
    const char* const limit = data + end_;
    const char* const p = skip_blanks(data + pos_);
    pos_ = static_cast<std::size_t>(p - data);
    if (!exhausted_ && (p == limit || (*p == '\r' && p + 1 == limit))) {
      refill();
      continue;
    }
    const char* const after = past_line_end(p);
    if (after != p) {
      ++line_;
      line_fresh_ = true;
      pos_ = static_cast<std::size_t>(after - data);
    }
    return;
  }
}

KASOR_HOT_INLINE ItemResult InputChannel::read_item(std::uint8_t type, float& target) {
  // The quick way, while no short item can run into the end of the buffer.
  if (type == kItemSingle && pos_ + kNearEnd < end_) {
    const char* const data = buffer_.get();
    const char* p = data + pos_;
    if (quick_item(p, data + end_, exhausted_, target, scratch_)) {
      pos_ = static_cast<std::size_t>(p - data);
      line_fresh_ = false;
      return ItemResult::kRead;
    }
  }
  return read_item_slowly(type, target);
}

KASOR_HOT_INLINE PairRead InputChannel::read_pair(float& x, float& y) {
  const ItemResult first = read_item(kItemSingle, x);
  if (first != ItemResult::kRead && first != ItemResult::kUnreadable) return pair_stopped(first);
  const ItemResult second = read_item(kItemSingle, y);
  if (second != ItemResult::kRead && second != ItemResult::kUnreadable) return pair_stopped(second);
  const std::uint64_t line = line_;
  end_item_line();
  if (first == ItemResult::kRead && second == ItemResult::kRead) return {PairStatus::kRead, line};
  return {PairStatus::kUnreadable, failed_line_};
}

}  // namespace platform
