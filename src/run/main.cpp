#include <new>

#include "platform/system/console.h"
#include "platform/system/process.h"
#include "run/arguments.h"
#include "run/run.h"

int main(int argc, char** argv) {
  platform::attach_console();
  platform::ignore_signals_of_failed_writes();
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
  try {
    return run(options_for_this_machine());
  } catch (const std::bad_alloc&) {
    // Whatever was unfinished goes as the program ends; an older result stays.
    platform::report("Fehler: nicht genug freier Speicher; nichts geschrieben.\n");
    return kExitNoMemory;
  }
}
