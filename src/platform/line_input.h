#pragma once
// Whole lines from an input channel. LF, CR LF and a lone CR all end a line.

#include <cstddef>
#include <string>

namespace platform {

// At most this much of a line is kept; the rest is read and passed over.
inline constexpr std::size_t kLineKeep = 4096;

// Reads the next line, without its line end, into `line`. Fails at the end of
// the file and leaves `line` as it was.
bool __vbaLineInputStr(int channel, std::string& line);

// True when the line read last on `channel` was longer than kLineKeep.
bool line_was_cut(int channel);

}  // namespace platform
