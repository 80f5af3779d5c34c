#include "platform/system/message_box.h"

#include <string>

#include "platform/system/console.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/system/wide_text.h"
#endif

namespace platform {

#ifdef _WIN32
namespace {

// A window station that is not visible has no screen: a service's, or a
// scheduled task's that runs whether or not a user is logged on.
bool seen_by_a_person() {
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  const HWINSTA station = GetProcessWindowStation();
  if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

void message_box(std::string_view prompt, int style, std::string_view title) {
  if (is_console_program() || !seen_by_a_person()) {
    report(std::string(title) + ": " + std::string(prompt) + "\n");
    return;
  }
  MessageBoxW(nullptr, widen(prompt).c_str(), widen(title).c_str(), static_cast<UINT>(style));
}
#else
void message_box(std::string_view prompt, int /*style*/, std::string_view title) {
  report(std::string(title) + ": " + std::string(prompt) + "\n");
}
#endif

}  // namespace platform
