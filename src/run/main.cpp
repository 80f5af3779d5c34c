#include "platform/system/console.h"
#include "run/arguments.h"
#include "run/run.h"

int main(int argc, char** argv) {
  platform::attach_console();
  switch (what_is_asked(argc, argv)) {
    case Asked::kVersion:
      platform::write_text(stdout, "kasor-max " KASOR_VERSION "\n");
      return 0;
    case Asked::kHelp:
      platform::write_text(stdout, help_text(KASOR_VERSION));
      return 0;
    case Asked::kRun:
      break;
  }
  // The working folder says everything else.
  return run(options_for_this_machine());
}
