#include "platform/channels.h"

#include <string>

namespace platform {
namespace {

InputChannel g_input;
bool g_input_open = false;

}  // namespace

bool __vbaFileOpen(int mode, int channel, const std::filesystem::path& name) {
  if (mode != kModeInput || channel != kInputChannel) return record(failure(kBadCall, "open"));
  if (g_input_open) return record(failure(kChannelInUse, "channel " + std::to_string(channel)));
  const Status opened = g_input.open_file(name);
  if (!opened.ok()) return record(opened);
  g_input_open = true;
  return true;
}

void __vbaFileClose(int channel) {
  if (channel != kInputChannel) return;
  g_input.close();
  g_input_open = false;
}

InputChannel* input_channel(int channel) { return channel == kInputChannel && g_input_open ? &g_input : nullptr; }

void close_all_channels() { __vbaFileClose(kInputChannel); }

}  // namespace platform
