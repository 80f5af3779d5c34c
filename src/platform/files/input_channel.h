#pragma once
// An input channel: lines and items read from a byte source
// (platform/files/byte_source.h) straight out of its buffer. LF, CR LF and a
// lone CR all end a line. Failures are values here; the numbered channel
// (platform/channels.h) records the open's as the error number.
//
// The item reader: items are separated by runs of blanks, tabs, commas and
// line ends. An item that is no number leaves its variable as it was. Within
// a line it is passed over and the reader goes on with the next item. As the
// first item of a line it is left where it is, with the rest of the call: such
// a line is likely no data at all (a block header, say), and the caller reads
// it as a line.
//
// The members are defined here (the hot ones, inline), in input_channel.cpp,
// read_lines.cpp and read_items.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/descriptor.h"
#include "platform/files/byte_source.h"
#include "platform/numbers/char_class.h"
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

// At most this much of a line is kept; the rest is read and passed over.
inline constexpr std::size_t kLineKeep = 4096;
// The quick way through an item, and a reader of runs of pairs, stop this
// far before the end of the bytes in hand: no number or line end they read
// can be cut by it, and their look-aheads stay in the buffer.
inline constexpr std::size_t kNearEnd = 64;

// What reading one item met.
enum class ItemResult {
  kRead,
  kUnreadable,   // an item within a line that is no number; it was passed over
  kLineNotData,  // the first item of a line is no number; the line is left unread
  kEndOfData,    // no item left
  kBadCall,      // a type this reader does not read
};

class InputChannel {
 public:
  InputChannel() = default;
  InputChannel(const InputChannel&) = delete;
  InputChannel& operator=(const InputChannel&) = delete;

  // As the byte source opens them (byte_source.h).
  Status open_file(const std::filesystem::path& name);
  Status open_range(const std::filesystem::path& name, std::uint64_t begin, std::uint64_t end);
  Status open_memory(const char* data, std::size_t size);
  void close();
  bool is_open() const { return source_.is_open(); }

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
  // The line of the latest item that was no number.
  std::uint64_t failed_item_line() const { return failed_line_; }
  // True when only separators were read since the last line end.
  bool line_fresh() const { return line_fresh_; }

  // For readers of many items at once: the next byte and the end of the
  // bytes in hand (a NUL stands there; the data may go on), working space for
  // unusual numbers, and taking what such a reader read: up to `end`,
  // `lines` line ends passed, the last of them at its very end or not.
  const char* next() const { return source_.data() + pos_; }
  const char* end_in_hand() const { return source_.data() + source_.end(); }
  std::string& scratch() { return scratch_; }
  void took(const char* end, std::uint64_t lines, bool line_end_last) {
    pos_ = static_cast<std::size_t>(end - source_.data());
    line_ += lines;
    line_fresh_ = line_end_last;
  }

  // True when no byte is left.
  bool at_end() { return pos_ == source_.end() && !refill(); }
  // True when the next byte starts a line: nothing of its line was read yet.
  bool at_line_start() const {
    const char before = source_.byte_before(pos_);
    return before == '\n' || before == '\r';
  }
  // The number of the line that the next byte is in, counted from 1.
  std::uint64_t line_number() const { return line_; }
  // The offset in the file of the next byte.
  std::uint64_t offset() const { return source_.offset(pos_); }
  // True at the end of the data when its last line has no line end and holds
  // items read last: a file cut in the middle of a line of numbers looks so.
  bool ended_in_a_line_of_items() { return at_end() && !source_.ends_in_line_end() && !line_fresh_; }

  // What the byte source tells (byte_source.h).
  const Status& read_error() const { return source_.read_error(); }
  const std::filesystem::path& name() const { return source_.name(); }
  bool file_size(std::uint64_t& size) const { return source_.file_size(size); }
  Encoding encoding() const { return source_.encoding(); }
  bool changed() { return source_.changed(); }

 private:
  // The cursor back to the start, for a source just opened.
  Status started(Status opened);
  bool refill() { return source_.refill(pos_); }
  ItemResult read_item_slowly(std::uint8_t type, float& target);
  ItemResult item_failed(ItemResult result);
  bool skip_separators();
  void skip_long_item();

  ByteSource source_;
  std::size_t pos_ = 0;            // next unread byte of the source's buffer
  bool line_fresh_ = true;         // only separators read since the last line end
  bool line_cut_ = false;
  std::uint64_t line_ = 1;         // number of the line that pos_ is in
  std::uint64_t failed_line_ = 0;  // the line of the latest item that was no number
  std::string scratch_;            // a number's text, rewritten for the general conversion
};

KASOR_HOT_INLINE void InputChannel::end_item_line() {
  for (;;) {
    char* const data = source_.data();
    const char* const limit = data + source_.end();
    const char* const p = skip_blanks(data + pos_);
    pos_ = static_cast<std::size_t>(p - data);
    if (!source_.exhausted() && (p == limit || (*p == '\r' && p + 1 == limit))) {
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
  if (type == kItemSingle && pos_ + kNearEnd < source_.end()) {
    const char* const data = source_.data();
    const char* p = data + pos_;
    if (quick_item(p, data + source_.end(), source_.exhausted(), target, scratch_)) {
      pos_ = static_cast<std::size_t>(p - data);
      line_fresh_ = false;
      return ItemResult::kRead;
    }
  }
  return read_item_slowly(type, target);
}

}  // namespace platform
