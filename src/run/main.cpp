#include "run/run.h"

// Command-line arguments are ignored: the working folder says everything.
int main() { return run(); }
