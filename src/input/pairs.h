#pragma once
// Pairs of numbers, as the reader takes a block's: one pair at a time with
// the item reader, which meets every kind of damage, and the bulk of a block
// many pairs at a time, by one of the ways' kernels (input/ways.h).
//
// A run reads pairs of numbers from `p` on, each pair followed by blanks and
// tabs and at most one line end, as the item reader leaves them. It stops
// before the first pair it cannot read so (damage) or that holds a NaN, after
// `count` pairs, and before anything that reaches the last kNearEnd bytes
// before `end`, where a NUL stands and the data may go on; the item reader
// then reads that pair, damage, NaN and all. The values are exactly the item
// reader's, and the run ends where the item reader would stand after its
// last pair.

#include <cstddef>
#include <cstdint>
#include <string>

#include "peak/peak_table.h"
#include "platform/files/input_channel.h"

struct PlainRun {
  std::size_t pairs = 0;
  const char* end = nullptr;   // after the last pair read
  std::uint64_t lines = 0;     // line ends passed
  bool line_end_last = false;  // the run ended with a line end
};

// A way of reading runs (a kernel); `scratch` is working space for unusual numbers.
using ParsePairs = PlainRun (*)(const char* p, const char* end, const PairBuffers& out, std::size_t count,
                                std::string& scratch);

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

// What stopped a pair, from what stopped its item.
inline PairRead pair_stopped(const platform::InputChannel& in, platform::ItemResult result) {
  if (result == platform::ItemResult::kLineNotData) return {PairStatus::kLineNotData, in.failed_item_line()};
  // A failed read: reported at the line it kept from being read.
  if (!in.read_error().ok()) return {PairStatus::kReadError, in.line_number()};
  // The end of the data: reported at the last line that was read.
  return {PairStatus::kEndOfData, in.line_number() - (in.line_fresh() ? 1 : 0)};
}

// Two single-precision items and what follows them, as one call of the item
// reader with the descriptor 02 00 04 04 reads them.
KASOR_HOT_INLINE PairRead read_pair(platform::InputChannel& in, float& x, float& y) {
  using platform::ItemResult;
  const ItemResult first = in.read_item(platform::kItemSingle, x);
  if (first != ItemResult::kRead && first != ItemResult::kUnreadable) return pair_stopped(in, first);
  const ItemResult second = in.read_item(platform::kItemSingle, y);
  if (second != ItemResult::kRead && second != ItemResult::kUnreadable) return pair_stopped(in, second);
  const std::uint64_t line = in.line_number();
  in.end_item_line();
  if (first == ItemResult::kRead && second == ItemResult::kRead) return {PairStatus::kRead, line};
  return {PairStatus::kUnreadable, in.failed_item_line()};
}

// Reads up to `count` pairs into `out` as read_pair would, with the kernel
// `parse`. Returns the number of pairs read; the pair it stopped before is
// left to read_pair.
inline std::size_t read_plain_pairs(platform::InputChannel& in, const PairBuffers& out, std::size_t count,
                                    ParsePairs parse) {
  const PlainRun run = parse(in.next(), in.end_in_hand(), out, count, in.scratch());
  if (run.pairs > 0) in.took(run.end, run.lines, run.line_end_last);
  return run.pairs;
}
