#pragma once
// The one message the program shows a person.

#include <string_view>

namespace platform {

inline constexpr int kStyleCritical = 16;  // stop icon, one OK button

// A modal message box on Windows; elsewhere the title and prompt as one line
// on standard error ("Fehler: ..."). Texts are UTF-8.
void message_box(std::string_view prompt, int style, std::string_view title);

}  // namespace platform
