#pragma once
// A new version of a file, put in place of the old one whole or not at all.
//
// It is written under a temporary name beside its target,
// "<target>.tmp<process id>", held locked while it is written, synced to the
// disk, and only then renamed over the target. A run that is killed leaves
// the temporary behind, and the next run removes it: never one that a
// running program still writes, which its lock keeps. Until the rename the
// target is as it was. The POSIX and Windows ways are in their own files.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "platform/files/faults.h"
#include "platform/runtime.h"

namespace platform {

struct Replacement {
  std::filesystem::path target;
  std::filesystem::path temporary;
  std::uint64_t written = 0;  // bytes written so far
  Faults* faults = nullptr;
#ifdef _WIN32
  void* handle = nullptr;  // writes the temporary and renames it
#else
  int fd = -1;    // writes the temporary
  int lock = -1;  // the same file, which holds its lock until it is in place or gone
#endif
};

// Creates the temporary file for `target`, with the permissions of the
// target it will replace where there is one.
Status begin_replacement(const std::filesystem::path& target, Faults* faults, Replacement& replacement);

// Writes all of `data` to the temporary file.
Status write_replacement(Replacement& replacement, const char* data, std::size_t size);

// Syncs the temporary file, closes it and renames it over the target. On
// failure the temporary goes and the target stays as it was.
Status finish_replacement(Replacement& replacement);

// Closes and removes the temporary file; the target stays as it was.
void abandon_replacement(Replacement& replacement);

// Removes the temporary files that runs which ended without finishing left
// beside `target`: names of the form "<target>.tmp<digits>" whose lock can be
// taken.
void remove_dead_temporaries(const std::filesystem::path& target);

// Makes sure that `file`, just renamed into place, keeps that name after a
// power cut: the folder that holds it is synced (on Windows the file is
// flushed once more under its new name, as a move with write-through does).
// A failure leaves the file in place all the same.
Status make_name_durable(const std::filesystem::path& file, Faults* faults);

// What each platform does, for the functions above.
namespace replace_detail {
Status create_temporary(Replacement& replacement);
Status write_temporary(Replacement& replacement, const char* data, std::size_t size);
Status sync_temporary(Replacement& replacement);
// Done writing: POSIX closes the descriptor that wrote (the lock stays);
// Windows keeps its handle, which renames the file.
Status close_written(Replacement& replacement);
Status rename_over_target(Replacement& replacement);
// Lets go of everything still open; removes nothing.
void release(Replacement& replacement);
// Removes `path`, a temporary file of a run, if no running program holds it.
void remove_if_dead(const std::filesystem::path& path);
Status sync_name(const std::filesystem::path& file, Faults* faults);
long long process_id();
}  // namespace replace_detail

}  // namespace platform
