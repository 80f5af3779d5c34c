#pragma once
// The whole run, from the start to the exit status.

// Exit statuses of the program.
inline constexpr int kExitOk = 0;             // result written from a cleanly read input
inline constexpr int kExitNoInput = 1;        // the input could not be opened
inline constexpr int kExitNotWritten = 2;     // the result could not be written; an older one is kept
inline constexpr int kExitNotADataSet = 3;    // no count line, or more nodes than the table holds
inline constexpr int kExitDamagedInput = 4;   // result written, but the input was damaged
inline constexpr int kExitNoTable = 5;        // the peak table could not be created

// Reads "KASOR.dat" from the working folder and writes "KASOR_max.dat" beside it.
int run();
