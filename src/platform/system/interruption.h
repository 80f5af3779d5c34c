#pragma once
// Ctrl-C, a closed terminal or console, a polite kill: the run answers with
// one line that says what was stopped and what became of KASOR_max.dat, and
// the unfinished temporary file goes first. From the moment the new result
// takes its name until it is safely there, such an interruption is held back,
// so that a run never ends as one that kept the older result while the new
// one is in place.

namespace platform {

// Installs the answer, once, at the start: on POSIX for SIGINT, SIGTERM and
// SIGHUP that are not ignored (a run under nohup keeps ignoring SIGHUP); on
// Windows for the console's Ctrl-C, Ctrl-Break and close. The run then ends
// as the interruption would have ended it (status 130 for Ctrl-C in a shell).
void answer_interruptions();

// The temporary file being written, which an interruption removes before the
// run ends (POSIX; on Windows it goes with the run's handle); null: none.
// The name is copied, so that a signal handler may use it.
void note_unfinished_file(const char* name);

// Holds interruptions back (POSIX) while a step runs that must not be cut in
// two (a temporary file made, and noted as the run's), and lets them act
// again after it.
void defer_interruptions();
void resume_interruptions();

// Holds interruptions back (POSIX) and notes that the new result is taking
// its name, so that an interruption from now on says it is new.
void hold_interruptions();

// Lets held interruptions through again. With `take`, one that came in the
// meantime is taken and reported (true), and the run goes on to its end;
// otherwise it acts now.
bool release_interruptions(bool take);

}  // namespace platform
