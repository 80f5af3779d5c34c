#include "run/run.h"

// Command-line arguments are ignored: the working folder says everything.
int main() { return run(options_for_this_machine()); }
