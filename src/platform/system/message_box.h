#pragma once
// The one message the program shows a person.

#include <string_view>

namespace platform {

inline constexpr int kStyleCritical = 16;     // stop icon, one OK button
inline constexpr int kStyleExclamation = 48;  // exclamation mark, one OK button

// A modal message box on Windows; elsewhere, in the console program, and
// where nobody could answer a box (a service, a task that runs whether a
// user is logged on or not: a window station that is not visible), the
// title and prompt as one line on standard error ("Fehler: ..."), so that no
// run waits for a click that never comes. Texts are UTF-8.
void message_box(std::string_view prompt, int style, std::string_view title);

}  // namespace platform
