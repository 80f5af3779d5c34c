#pragma once
// The system's calls as the files part makes them, and the one place where a
// test makes them fail. A call that a signal interrupts is made again, and a
// read or write that does part of its work goes on with the rest, so that a
// signal never ends a run's reading or writing. A failure leaves its error
// code in `error` (errno's values).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/files/faults.h"

namespace platform {

// Failures that a test makes happen in the calls below, for the whole
// process, until it installs none (nullptr) again. A run never installs any.
void install_faults(Faults* faults);

// The file `name` in the folder that `prefix` names: the folder's path and
// its separator.
std::filesystem::path file_in_folder(const std::filesystem::path::string_type& prefix, std::string_view name);

// Opens `name` for reading: a descriptor, or -1.
int open_for_reading(const std::filesystem::path& name, int& error);

// Reads until `size` bytes are in, the file ends or a read fails; returns the
// bytes read. `error` is 0 unless a read failed.
std::size_t read_fully(int fd, char* data, std::size_t size, int& error);

// Closes a descriptor opened for reading.
void close_descriptor(int fd);

// What a buffer is for: reading, writing a file, or writing into memory.
enum class Buffer { kInput, kOutput, kMemory };

// A buffer of `size` bytes from the system, or null when there is no memory.
std::unique_ptr<char[]> new_buffer(std::size_t size, Buffer use);

// A random number from the system's source, for names that two runs must not share.
std::uint64_t random_number();

#ifndef _WIN32
// open(2): a descriptor, or -1.
int open_retrying(const char* name, int flags, int mode, int& error);
bool write_fully(int fd, const char* data, std::size_t size, int& error);
bool sync_retrying(int fd, int& error);
// The same for a folder opened for reading.
bool sync_folder_retrying(int fd, int& error);
bool rename_retrying(const char* from, const char* to, int& error);
// An interrupted close has closed the descriptor all the same (it must not be
// closed again); only another failure is one.
bool close_checked(int fd, int& error);
bool lock_retrying(int fd, int operation, int& error);
#endif

}  // namespace platform
