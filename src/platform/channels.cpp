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
  const bool opened = mode == kModeInput ? slot.input.open_file(name) : slot.output.open_file(name);
  if (opened) slot.mode = mode;
  return opened;
}

bool __vbaFileClose(int channel) {
  if (!valid(channel) || g_slots[channel].mode == 0) {
    return fail(kChannelNotOpen, "channel " + std::to_string(channel));
  }
  Slot& slot = g_slots[channel];
  const bool ok = slot.mode == kModeOutput ? slot.output.close() : (slot.input.close(), true);
  slot.mode = 0;
  return ok;
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

bool end_of_file(int channel) {
  if (!valid(channel) || g_slots[channel].mode != kModeInput) return true;
  return g_slots[channel].input.at_end();
}

void close_all_channels() {
  for (Slot& slot : g_slots) {
    slot.input.close();
    slot.output.discard();
    slot.mode = 0;
  }
}

}  // namespace platform
