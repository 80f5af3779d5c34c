#pragma once
// The numbered channels: the runtime layer's face for the file the run opens.
// The run opens the input on channel 1 and reads the error number to learn
// whether it opened; behind the channel stands an InputChannel, the object
// that the readers use. The writer holds an OutputChannel of its own.

#include <filesystem>

#include "platform/files/input_channel.h"
#include "platform/runtime.h"

namespace platform {

inline constexpr int kInputChannel = 1;
inline constexpr int kModeInput = 1;  // sequential input: the file must exist

// Opens `name` on `channel` in `mode`: only channel 1 for input is taken.
// A failure is recorded as the error number, which the run reads.
bool __vbaFileOpen(int mode, int channel, const std::filesystem::path& name);

// Closes the channel.
void __vbaFileClose(int channel);

// The channel when it is open for input; otherwise nullptr.
InputChannel* input_channel(int channel);

// Closes whatever is open.
void close_all_channels();

}  // namespace platform
