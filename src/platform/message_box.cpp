#include "platform/message_box.h"

#include <string>

#include "platform/console.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

#ifdef _WIN32
namespace {
std::wstring widen(std::string_view utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}
}  // namespace

void message_box(std::string_view prompt, int style, std::string_view title) {
  MessageBoxW(nullptr, widen(prompt).c_str(), widen(title).c_str(), static_cast<UINT>(style));
}
#else
void message_box(std::string_view prompt, int /*style*/, std::string_view title) {
  report(std::string(title) + ": " + std::string(prompt) + "\n");
}
#endif

}  // namespace platform
