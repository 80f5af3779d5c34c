#pragma once
// Text for a person: standard error and output, and whether a person watches them.

#include <cstddef>
#include <cstdio>
#include <string>
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

// True when nobody can read standard error: on Windows, a program without a
// console of its own that was started without one (from Explorer, a
// shortcut, the Run dialog) and whose standard error is not redirected. What
// is written there is then kept, to be shown another way. Never elsewhere,
// and never for the console program (kasor-max.com).
bool standard_error_unseen();

// What was written to an unseen standard error, in order (the first 64 KiB).
const std::string& unseen_text();

// True when this is a program of the console subsystem, which always has a
// console to write to (Windows' kasor-max.com); true elsewhere.
bool is_console_program();

}  // namespace platform
