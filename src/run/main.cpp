#include "platform/system/console.h"
#include "platform/system/interruption.h"
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
  platform::answer_interruptions();
  // The working folder says everything else. Scripts may pass arguments;
  // they are said to be ignored, and the run goes on.
  RunOptions options = options_for_this_machine();
  options.notice = ignored_arguments(argc, argv);
  const int status = run(options);
  show_what_nobody_saw(status);
  return status;
}
