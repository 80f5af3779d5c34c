#include "platform/system/message_box.h"

#include <string>

#include "platform/system/console.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/system/wide_text.h"
#endif

namespace platform {

#ifdef _WIN32
void message_box(std::string_view prompt, int style, std::string_view title) {
  MessageBoxW(nullptr, widen(prompt).c_str(), widen(title).c_str(), static_cast<UINT>(style));
}
#else
void message_box(std::string_view prompt, int /*style*/, std::string_view title) {
  report(std::string(title) + ": " + std::string(prompt) + "\n");
}
#endif

}  // namespace platform
