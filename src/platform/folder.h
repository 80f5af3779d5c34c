#pragma once
// The working folder and the one message the program shows a person.

#include <filesystem>
#include <string_view>

namespace platform {

// The process's current folder, as a path text without a trailing separator.
// Fails (and gives `folder` unchanged) when there is none, e.g. it was removed.
bool working_folder(std::filesystem::path::string_type& folder);

// The platform's path separator, as text to put after a folder.
inline constexpr std::filesystem::path::value_type kPathSeparator[] = {
    std::filesystem::path::preferred_separator, 0};

inline constexpr int kStyleCritical = 16;  // stop icon, one OK button

// A modal message box on Windows; elsewhere the title and prompt as one line
// on standard error ("Fehler: ..."). Texts are UTF-8.
void message_box(std::string_view prompt, int style, std::string_view title);

}  // namespace platform
