#pragma once
// UTF-8 text as the wide (UTF-16) text that Windows' own functions take.
#ifdef _WIN32

#include <string>
#include <string_view>

namespace platform {

std::wstring widen(std::string_view utf8);

}  // namespace platform

#endif
