#include "run/run.h"

#include <filesystem>

#include "peak/peak_table.h"
#include "platform/channel.h"
#include "platform/folder.h"
#include "platform/runtime.h"

namespace {

constexpr int kInputChannel = 1;

std::filesystem::path in_folder(const std::filesystem::path::string_type& prefix, const char* name) {
  return std::filesystem::path(prefix + std::filesystem::path(name).native());
}

}  // namespace

int run() {
  static_assert(kExitNoTable == platform::kExitStartFailed);
  PeakTable table;
  // Before continue-on-failure is on, a failure here ends the run at once.
  if (!create_peak_table(table)) return kExitNoTable;
  platform::__vbaOnError(-1);

  std::filesystem::path::string_type prefix;
  platform::working_folder(prefix);
  prefix += platform::kPathSeparator;
  platform::__vbaFileOpen(platform::kModeInput, -1, kInputChannel, in_folder(prefix, "KASOR.dat"));

  int status = kExitOk;
  if (platform::error_number() > 0) {
    platform::message_box("KASOR.dat nicht gefunden!", platform::kStyleCritical, "Fehler");
    status = kExitNoInput;
  }

  platform::close_all_channels();
  release_peak_table(table);
  return status;
}
