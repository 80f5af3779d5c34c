#pragma once
// The system's file calls as the channels make them. A call that a signal
// interrupts is made again, and a read or write that does part of its work
// goes on with the rest, so that a signal never ends a run's reading or
// writing. A failure leaves its error code in `error` (errno's values).
// `faults`, from a test, may interrupt calls on purpose.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "platform/files/faults.h"

namespace platform {

// Opens `name` for reading: a descriptor, or -1.
int open_for_reading(const std::filesystem::path& name, int& error, Faults* faults);

// Reads until `size` bytes are in, the file ends or a read fails; returns the
// bytes read. `error` is 0 unless a read failed.
std::size_t read_fully(int fd, char* data, std::size_t size, int& error, Faults* faults);

// Closes a descriptor opened for reading.
void close_descriptor(int fd);

#ifndef _WIN32
// open(2): a descriptor, or -1.
int open_retrying(const char* name, int flags, int mode, int& error, Faults* faults);
bool write_fully(int fd, const char* data, std::size_t size, int& error, Faults* faults);
bool sync_retrying(int fd, int& error, Faults* faults);
// The same for a folder opened for reading.
bool sync_folder_retrying(int fd, int& error, Faults* faults);
bool rename_retrying(const char* from, const char* to, int& error, Faults* faults);
// An interrupted close has closed the descriptor all the same (it must not be
// closed again); only another failure is one.
bool close_checked(int fd, int& error, Faults* faults);
bool lock_retrying(int fd, int operation, int& error, Faults* faults);
#endif

}  // namespace platform
