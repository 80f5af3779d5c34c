#include "platform/channels.h"

#include <string>

namespace platform {
namespace {

struct Slot {
  int mode = 0;  // 0 while closed
  InputChannel input;
  OutputChannel output;
};

Slot g_slots[kMaxChannel + 1];

bool valid(int channel) { return channel >= 1 && channel <= kMaxChannel; }

Slot* open_slot(int channel, int mode) {
  if (!valid(channel)) {
    fail(kBadCall, "channel number " + std::to_string(channel));
    return nullptr;
  }
  if (g_slots[channel].mode != mode) {
    fail(kChannelNotOpen, "channel " + std::to_string(channel) + " not open in mode " + std::to_string(mode));
    return nullptr;
  }
  return &g_slots[channel];
}

}  // namespace

bool __vbaFileOpen(int mode, int record_length, int channel, const std::filesystem::path& name) {
  if (!valid(channel) || record_length != -1 || (mode != kModeInput && mode != kModeOutput)) {
    return fail(kBadCall, "open");
  }
  Slot& slot = g_slots[channel];
  if (slot.mode != 0) return fail(kChannelInUse, "channel " + std::to_string(channel));
  const Status opened = mode == kModeInput ? slot.input.open_file(name) : slot.output.open_file(name);
  if (!opened.ok()) return record(opened);
  slot.mode = mode;
  return true;
}

bool __vbaFileClose(int channel) {
  if (!valid(channel) || g_slots[channel].mode == 0) {
    return fail(kChannelNotOpen, "channel " + std::to_string(channel));
  }
  Slot& slot = g_slots[channel];
  Status closed;
  if (slot.mode == kModeOutput) {
    closed = slot.output.close();
  } else {
    slot.input.close();
  }
  slot.mode = 0;
  return closed.ok() || record(closed);
}

void discard_output(int channel) {
  if (!valid(channel) || g_slots[channel].mode != kModeOutput) return;
  g_slots[channel].output.discard();
  g_slots[channel].mode = 0;
}

InputChannel* input_channel(int channel) {
  Slot* slot = open_slot(channel, kModeInput);
  return slot ? &slot->input : nullptr;
}

OutputChannel* output_channel(int channel) {
  Slot* slot = open_slot(channel, kModeOutput);
  return slot ? &slot->output : nullptr;
}

bool __vbaLineInputStr(int channel, std::string& line) {
  InputChannel* in = input_channel(channel);
  if (!in) return false;
  if (in->read_line(line)) return true;
  if (in->read_failed()) return fail(kReadFailed, in->read_failure());
  return fail(kPastEnd, "end of file");
}

bool end_of_file(int channel) {
  if (!valid(channel) || g_slots[channel].mode != kModeInput) return true;
  return g_slots[channel].input.at_end();
}

bool record_item(const InputChannel& in, ItemResult result) {
  switch (result) {
    case ItemResult::kRead: return true;
    case ItemResult::kUnreadable: return fail(kNotANumber, "line " + std::to_string(in.line_number()));
    case ItemResult::kLineNotData: return fail(kLineNotData, "line " + std::to_string(in.line_number()));
    case ItemResult::kBadCall: return fail(kBadCall, "descriptor");
    case ItemResult::kEndOfData: break;
  }
  if (in.read_failed()) return fail(kReadFailed, in.read_failure());
  return fail(kPastEnd, "end of file");
}

void close_all_channels() {
  for (Slot& slot : g_slots) {
    slot.input.close();
    slot.output.discard();
    slot.mode = 0;
  }
}

}  // namespace platform
