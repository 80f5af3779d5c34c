#include "platform/system/console.h"

#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "platform/system/wide_text.h"
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32
namespace {

HANDLE handle_of(std::FILE* stream) {
  const int fd = _fileno(stream);
  return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

bool is_console(HANDLE handle) {
  DWORD mode;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

// A program without a console gets a standard handle only when its starter
// redirected that stream.
bool redirected(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && !is_console(handle);
}

}  // namespace

void attach_console() {
  const bool output_redirected = redirected(STD_OUTPUT_HANDLE);
  const bool error_redirected = redirected(STD_ERROR_HANDLE);
  if (output_redirected && error_redirected) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;  // started from Explorer: no console, nothing to show
  if (!output_redirected) std::freopen("CONOUT$", "w", stdout);
  if (!error_redirected) std::freopen("CONOUT$", "w", stderr);
}

bool is_terminal(std::FILE* stream) { return is_console(handle_of(stream)); }

std::size_t terminal_width(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(handle_of(stream), &info)) return 0;
  return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

void write_text(std::FILE* stream, std::string_view text) {
  const HANDLE console = handle_of(stream);
  if (!is_console(console)) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  std::fflush(stream);
  const std::wstring wide = widen(text);
  DWORD written;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}
#else
void attach_console() {}

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

std::size_t terminal_width(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

void write_text(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }
#endif

}  // namespace platform
