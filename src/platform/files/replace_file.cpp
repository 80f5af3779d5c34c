#include "platform/files/replace_file.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

namespace platform {
namespace fs = std::filesystem;
using namespace replace_detail;

namespace {

// "<target>.tmp", the start of every temporary name for `target`.
fs::path::string_type temporary_stem(const fs::path& target) {
  fs::path stem = target.filename();
  stem += ".tmp";
  return stem.native();
}

// True when `name` is a temporary name for the target whose stem is `stem`:
// the stem and then a process id.
bool is_temporary_name(const fs::path::string_type& name, const fs::path::string_type& stem) {
  if (name.size() <= stem.size() || name.compare(0, stem.size(), stem) != 0) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()), name.end(),
                     [](auto c) { return c >= '0' && c <= '9'; });
}

}  // namespace

Status begin_replacement(const fs::path& target, Faults* faults, Replacement& replacement) {
  replacement = Replacement{};
  replacement.target = target;
  replacement.temporary = target.parent_path() / temporary_stem(target);
  replacement.temporary += std::to_string(process_id());
  replacement.faults = faults;
  if (faults && faults->output_open) return failure(kAccessDenied, system_reason(EACCES), replacement.temporary);
  return create_temporary(replacement);
}

Status write_replacement(Replacement& replacement, const char* data, std::size_t size) {
  // A disk that a test fills after so many bytes.
  std::size_t allowed = size;
  if (replacement.faults && replacement.faults->write_after >= 0) {
    const auto room = static_cast<std::uint64_t>(replacement.faults->write_after);
    allowed = static_cast<std::size_t>(std::min<std::uint64_t>(size, room - std::min(replacement.written, room)));
  }
  if (allowed > 0) {
    Status written = write_temporary(replacement, data, allowed);
    if (!written.ok()) return written;
    replacement.written += allowed;
  }
  if (allowed < size) return failure(kWriteFailed, system_reason(ENOSPC), replacement.temporary);
  return {};
}

Status finish_replacement(Replacement& replacement) {
  Faults* const faults = replacement.faults;
  Status status = faults && faults->sync ? failure(kWriteFailed, system_reason(EIO)) : sync_temporary(replacement);
  if (status.ok()) status = close_written(replacement);
  if (status.ok() && faults && faults->output_close) status = failure(kWriteFailed, system_reason(EIO));
  // Renamed while still locked, so that no clean-up can take it in between.
  if (status.ok() && faults && faults->rename) status = failure(kWriteFailed, system_reason(EACCES));
  if (status.ok()) status = rename_over_target(replacement);
  release(replacement);
  if (!status.ok()) {
    std::error_code ignored;
    fs::remove(replacement.temporary, ignored);
    if (status.file.empty()) status.file = replacement.temporary;
  }
  return status;
}

void abandon_replacement(Replacement& replacement) {
  release(replacement);
  std::error_code ignored;
  if (!replacement.temporary.empty()) fs::remove(replacement.temporary, ignored);
}

void remove_dead_temporaries(const fs::path& target) {
  const fs::path::string_type stem = temporary_stem(target);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (is_temporary_name(it->path().filename().native(), stem)) remove_if_dead(it->path());
  }
}

Status make_name_durable(const fs::path& file, Faults* faults) {
  if (faults && faults->folder_sync) return failure(kWriteFailed, system_reason(EIO), file);
  return sync_name(file, faults);
}

}  // namespace platform
