#pragma once
// The numbered channels: the runtime layer's face for files. A caller picks
// the number; behind each open one stands an InputChannel or OutputChannel,
// the same objects that readers and writers of their own use. What those
// return, the face records as the thread's error number.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <type_traits>

#include "platform/descriptor.h"
#include "platform/files/input_channel.h"
#include "platform/files/output_channel.h"
#include "platform/files/print.h"
#include "platform/runtime.h"

namespace platform {

inline constexpr int kMaxChannel = 64;
inline constexpr int kModeInput = 1;   // sequential input: the file must exist
inline constexpr int kModeOutput = 2;  // sequential output: the file is created or replaced

// Opens `name` on `channel` in `mode`. `record_length` is -1 (the default) for
// the sequential modes, the only ones there are.
bool __vbaFileOpen(int mode, int record_length, int channel, const std::filesystem::path& name);

// Closes the channel. For output this puts the new file in place, or, if
// anything failed on the way, leaves the target as it was.
bool __vbaFileClose(int channel);

// Closes an output channel and removes what it wrote; the target stays as it was.
void discard_output(int channel);

// The channel open in that mode; otherwise records the failure and returns nullptr.
InputChannel* input_channel(int channel);
OutputChannel* output_channel(int channel);

// Reads the next line of an input channel, without its line end. At the end of
// the data returns false and leaves `line` as it was.
bool __vbaLineInputStr(int channel, std::string& line);

// The end-of-file function: true when the input channel has no byte left (or
// is not open for input).
bool end_of_file(int channel);

// Records what reading an item met, unless it was read; true when it was.
bool record_item(const InputChannel& in, ItemResult result);

// Reads items into `targets` as `descriptor` lists them; only single-precision
// items are read by this program. Then takes blanks, tabs and one line end.
// Returns false when any item could not be read; an item within a line that is
// no number is passed over and the rest are still read.
template <class... Targets>
  requires(std::is_same_v<Targets, float> && ...)
bool __vbaInputFile(int channel, std::span<const std::uint8_t> descriptor, Targets&... targets) {
  InputChannel* in = input_channel(channel);
  if (!in) return false;
  if (!describes(descriptor, sizeof...(Targets))) return fail(kBadCall, "descriptor");
  float* const slots[] = {&targets...};
  bool all_read = true;
  for (std::size_t i = 0; i < sizeof...(Targets); ++i) {
    const ItemResult result = in->read_item(descriptor[2 + i], *slots[i]);
    if (result == ItemResult::kUnreadable) all_read = record_item(*in, result);
    else if (result != ItemResult::kRead) return record_item(*in, result);
  }
  in->end_item_line();
  return all_read;
}

// Prints `items` to an output channel as `descriptor` lists them (platform/files/print.h).
template <class... Items>
bool __vbaPrintFile(int channel, std::span<const std::uint8_t> descriptor, const Items&... items) {
  OutputChannel* out = output_channel(channel);
  if (!out) return false;
  const Status printed = print(*out, descriptor, items...);
  return printed.ok() || record(printed);
}

// Closes whatever is open, without putting any unfinished output in place.
void close_all_channels();

}  // namespace platform
