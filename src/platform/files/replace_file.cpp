#include "platform/files/replace_file.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

#include "platform/files/file_calls.h"
#include "platform/system/interruption.h"

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
// the stem, a process id and, since names have a random part, a minus and
// hexadecimal digits.
bool is_temporary_name(const fs::path::string_type& name, const fs::path::string_type& stem) {
  if (name.size() <= stem.size() || name.compare(0, stem.size(), stem) != 0) return false;
  auto is_digit = [](auto c) { return c >= '0' && c <= '9'; };
  auto is_hex = [&](auto c) { return is_digit(c) || (c >= 'a' && c <= 'f'); };
  auto c = name.begin() + static_cast<std::ptrdiff_t>(stem.size());
  const auto digits = c;
  while (c != name.end() && is_digit(*c)) ++c;
  if (c == digits) return false;
  if (c == name.end()) return true;
  return *c == '-' && c + 1 != name.end() && std::all_of(c + 1, name.end(), is_hex);
}

// "<target>.tmp<process id>-<random hex>".
fs::path temporary_name(const fs::path& target) {
  const std::uint64_t random = random_number();
  char hex[17];
  for (int i = 0; i < 16; ++i) hex[i] = "0123456789abcdef"[(random >> (60 - 4 * i)) & 0xF];
  hex[16] = '\0';
  fs::path name = target.parent_path() / temporary_stem(target);
  name += std::to_string(process_id()) + "-" + hex;
  return name;
}

fs::path folder_of(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

}  // namespace

Status begin_replacement(const fs::path& target, Replacement& replacement) {
  replacement = Replacement{};
  replacement.target = target;
  if (write_protected(target)) return failure(kWriteProtected, "schreibgeschützt", target);
  // A name that another run took in the meantime, or that somebody put a
  // file or link at, is passed over for another.
  for (int attempt = 0; attempt < 100; ++attempt) {
    replacement.temporary = temporary_name(target);
    bool exists = false;
    Status created = create_temporary(replacement, exists);
    if (!exists) return created;
  }
  return failure(kNoTemporary, "jeder Name für eine vorläufige Datei ist schon vergeben", folder_of(target));
}

Status write_replacement(Replacement& replacement, const char* data, std::size_t size) {
  return write_temporary(replacement, data, size);
}

Status finish_replacement(Replacement& replacement) {
  Status status = sync_temporary(replacement);
  if (status.ok()) status = close_written(replacement);
  // Renamed while still locked, so that no clean-up can take it in between.
  if (status.ok()) {
    hold_interruptions();
    status = rename_over_target(replacement);
  }
  release(replacement);
  if (!status.ok()) {
    std::error_code ignored;
    fs::remove(replacement.temporary, ignored);
    if (status.file.empty()) status.file = replacement.temporary;
    release_interruptions(false);  // the older file is kept: an interruption may end the run as it does
  }
  return status;
}

bool release_ending_signals() { return release_interruptions(true); }

void abandon_replacement(Replacement& replacement) {
  release(replacement);
  std::error_code ignored;
  if (!replacement.temporary.empty()) fs::remove(replacement.temporary, ignored);
}

void remove_dead_temporaries(const fs::path& target) {
  const fs::path::string_type stem = temporary_stem(target);
  const fs::path folder = folder_of(target);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (is_temporary_name(it->path().filename().native(), stem)) remove_if_dead(it->path());
  }
}

Status make_name_durable(const fs::path& file) { return sync_name(file); }

}  // namespace platform
