#include "output/write_peak_data_set.h"

#include "platform/channel.h"
#include "platform/item_input.h"
#include "platform/print.h"

namespace {

constexpr int kChannel = 3;
using platform::kItemInteger;
using platform::kItemSingle;
using platform::kItemText;
using platform::kThenDirectly;
using platform::kThenLineEnd;
using platform::kThenNextZone;

constexpr std::uint8_t kTextLine[] = {0x01, 0x00, kItemText | kThenLineEnd};
constexpr std::uint8_t kCountLine[] = {0x02, 0x00, kItemText | kThenDirectly, kItemInteger | kThenLineEnd};
constexpr std::uint8_t kNodeLine[] = {0x02, 0x00, kItemSingle | kThenNextZone, kItemSingle | kThenLineEnd};

bool write_lines(std::int32_t node_count, const PeakTable& table) {
  if (!platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("VECTOR")) ||
      !platform::__vbaPrintFile(kChannel, kCountLine, std::string_view("ND  "), node_count) ||
      !platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("ST  0")) ||
      !platform::__vbaPrintFile(kChannel, kTextLine, std::string_view("TS  0.0"))) {
    return false;
  }
  float x, y;
  for (std::int32_t node = 1; node <= node_count; ++node) {
    if (!peak(table, node, x, y) || !platform::__vbaPrintFile(kChannel, kNodeLine, x, y)) return false;
  }
  return true;
}

}  // namespace

bool write_peak_data_set(const std::filesystem::path::string_type& prefix, std::int32_t node_count,
                         const PeakTable& table) {
  const std::filesystem::path name(prefix + std::filesystem::path("KASOR_max.dat").native());
  if (!platform::__vbaFileOpen(platform::kModeOutput, -1, kChannel, name)) return false;
  // A write that fails stops the writing, and the unfinished file goes.
  if (!write_lines(node_count, table)) {
    platform::discard_output(kChannel);
    return false;
  }
  return platform::__vbaFileClose(kChannel);
}
