#pragma once
// What the command line asks for. A run needs no arguments; those the
// program does not know are ignored, so that scripts that pass some keep working.

#include <string>
#include <string_view>

enum class Asked { kRun, kHelp, kVersion };

// The first argument that asks for help ("--help", "-h", and on Windows "/?")
// or the version ("--version") decides; without one, a run.
Asked what_is_asked(int argc, const char* const* argv);

// A line that names the arguments a run does not know and ignores; empty
// when there are none.
std::string ignored_arguments(int argc, const char* const* argv);

// The usage text, in German like every message of the program.
std::string help_text(std::string_view version);
