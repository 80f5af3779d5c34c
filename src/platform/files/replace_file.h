#pragma once
// A new version of a file, put in place of the old one whole or not at all.
//
// It is written under a temporary name beside its target,
// "<target>.tmp<process id>-<random hex>", made new (never an existing file
// or a link taken over: two runs of one process id in one folder, from two
// containers or hosts, pick other names), held locked while it is written,
// synced to the disk, and only then renamed over the target. A run that is
// killed leaves the temporary behind, and the next run removes it: never one
// that a running program still writes, which its lock keeps, and never a
// file this program did not write. Until the rename the target is as it
// was. The POSIX and Windows ways are in their own files.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "platform/runtime.h"

namespace platform {

struct Replacement {
  std::filesystem::path target;
  std::filesystem::path temporary;
#ifdef _WIN32
  void* handle = nullptr;  // writes the temporary and renames it
#else
  int fd = -1;    // writes the temporary
  int lock = -1;  // the same file, which holds its lock until it is in place or gone
#endif
};

// Creates the temporary file for `target`, with the permissions of the
// target it will replace where there is one. A target that the user may not
// write (no write permission for this process, or none for anybody; on
// Windows, read-only) is kept: kWriteProtected. A folder where no file can
// be made: kNoTemporary, for the folder.
Status begin_replacement(const std::filesystem::path& target, Replacement& replacement);

// Writes all of `data` to the temporary file.
Status write_replacement(Replacement& replacement, const char* data, std::size_t size);

// Syncs the temporary file, closes it and renames it over the target. On
// failure the temporary goes and the target stays as it was. From the rename
// on, signals that end the run are held back until release_ending_signals:
// the run that renamed must not end as one that kept the older file.
Status finish_replacement(Replacement& replacement);

// Lets the signals held back since the rename through again. True when one
// came in the meantime: it is then taken, and the run ends as a completed
// run that says so.
bool release_ending_signals();

// Closes and removes the temporary file; the target stays as it was.
void abandon_replacement(Replacement& replacement);

// Removes the temporary files that runs which ended without finishing left
// beside `target`: names of the form "<target>.tmp<digits>", with
// "-<hex digits>" or without, whose lock can be taken and which are empty or
// start as this program's results start ("VECTOR" and a line end). Anything
// else stays.
void remove_dead_temporaries(const std::filesystem::path& target);

// The first bytes of every result this program writes: a temporary file that
// starts otherwise is nobody's result.
inline constexpr char kResultStart[] = "VECTOR\r\n";

// Makes sure that `file`, just renamed into place, keeps that name after a
// power cut: the folder that holds it is synced (on Windows the file is
// flushed once more under its new name, as a move with write-through does).
// A failure leaves the file in place all the same.
Status make_name_durable(const std::filesystem::path& file);

// What each platform does, for the functions above.
namespace replace_detail {
// True when the user may not write `target`, which is then kept.
bool write_protected(const std::filesystem::path& target);
// Creates the temporary under `replacement.temporary`, a name that must be
// new: false with `exists` set when a file or link has that name.
Status create_temporary(Replacement& replacement, bool& exists);
Status write_temporary(Replacement& replacement, const char* data, std::size_t size);
Status sync_temporary(Replacement& replacement);
// Done writing: POSIX closes the descriptor that wrote (the lock stays);
// Windows keeps its handle, which renames the file.
Status close_written(Replacement& replacement);
Status rename_over_target(Replacement& replacement);
// Lets go of everything still open; removes nothing.
void release(Replacement& replacement);
// Removes `path`, a temporary file of a run, if no running program holds it
// and it starts as kResultStart (or is empty).
void remove_if_dead(const std::filesystem::path& path);
Status sync_name(const std::filesystem::path& file);
long long process_id();
}  // namespace replace_detail

}  // namespace platform
