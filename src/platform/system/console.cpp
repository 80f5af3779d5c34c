#include "platform/system/console.h"

#include <algorithm>
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

namespace {
bool g_unseen = false;
std::string g_unseen_text;
}  // namespace

bool standard_error_unseen() { return g_unseen; }

const std::string& unseen_text() { return g_unseen_text; }

#ifdef _WIN32
namespace {

constexpr std::size_t kMostUnseen = std::size_t{64} << 10;

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

bool is_console_program() {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(GetModuleHandleW(nullptr));
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(dos) + dos->e_lfanew);
  return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

void attach_console() {
  if (is_console_program()) return;  // it has one, its own or its starter's
  const bool output_redirected = redirected(STD_OUTPUT_HANDLE);
  const bool error_redirected = redirected(STD_ERROR_HANDLE);
  if (output_redirected && error_redirected) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
    // Started from Explorer: no console, so what standard error would say is
    // kept. (A process that has a console already cannot attach to one.)
    g_unseen = !error_redirected && GetLastError() != ERROR_ACCESS_DENIED;
    return;
  }
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
  if (stream == stderr && g_unseen) {
    g_unseen_text.append(text.substr(0, kMostUnseen - std::min(kMostUnseen, g_unseen_text.size())));
    return;
  }
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

bool is_console_program() { return true; }

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

std::size_t terminal_width(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

void write_text(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }
#endif

}  // namespace platform
