#pragma once
// Text for a person: standard error and output, and whether a person watches them.

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace platform {

// On Windows, a program without a console of its own that was started from
// one (cmd.exe, PowerShell, a batch file) attaches to it, so that what it
// writes to standard error and output appears there; a stream that is
// redirected stays as it is. Elsewhere nothing changes.
void attach_console();

// True when `stream` is a terminal (on Windows, a console).
bool is_terminal(std::FILE* stream);

// The columns of the terminal (console) that `stream` writes to; 0 when it is
// none or cannot say.
std::size_t terminal_width(std::FILE* stream);

// Writes UTF-8 text to `stream`: to a Windows console as characters, whatever
// its code page; elsewhere as the bytes they are.
void write_text(std::FILE* stream, std::string_view text);

// Writes a message to standard error.
inline void report(std::string_view text) { write_text(stderr, text); }

}  // namespace platform
