#include "peak/peak_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/system/memory.h"

bool create_peak_table(PeakTable& table, std::int32_t nodes) {
  const std::size_t kSlots = static_cast<std::size_t>(std::clamp(nodes, 0, kNodeCapacity)) + 1;
  // calloc: zeroed at once, and pages that no node reaches are never touched.
  table.magnitude = static_cast<float*>(std::calloc(kSlots, sizeof(float)));
  table.x = static_cast<float*>(std::calloc(kSlots, sizeof(float)));
  table.y = static_cast<float*>(std::calloc(kSlots, sizeof(float)));
  table.x_read = static_cast<platform::Decimal*>(std::calloc(kSlots, sizeof(platform::Decimal)));
  table.y_read = static_cast<platform::Decimal*>(std::calloc(kSlots, sizeof(platform::Decimal)));
  if (!table.magnitude || !table.x || !table.y || !table.x_read || !table.y_read) {
    release_peak_table(table);
    return false;
  }
  return true;
}

void release_peak_table(PeakTable& table) {
  std::free(table.magnitude);
  std::free(table.x);
  std::free(table.y);
  std::free(table.x_read);
  std::free(table.y_read);
  table = PeakTable{};
}

static_assert(sizeof(platform::Decimal) == sizeof(float));

namespace {

// Calls `f` with each of the table's arrays and the bytes of its slots 0 to
// `nodes` (none when nodes <= 0).
template <class F>
void for_each_array(PeakTable& table, std::int32_t nodes, F f) {
  if (nodes <= 0) return;
  const std::size_t bytes = (static_cast<std::size_t>(std::min(nodes, kNodeCapacity)) + 1) * sizeof(float);
  for (void* entries : {static_cast<void*>(table.magnitude), static_cast<void*>(table.x), static_cast<void*>(table.y),
                        static_cast<void*>(table.x_read), static_cast<void*>(table.y_read)}) {
    f(entries, bytes);
  }
}

}  // namespace

void clear_peak_table(PeakTable& table, std::int32_t nodes) {
  for_each_array(table, nodes, [](void* entries, std::size_t bytes) { std::memset(entries, 0, bytes); });
}

void prepare_peak_table(PeakTable& table, std::int32_t nodes) {
  for_each_array(table, nodes, [](void* entries, std::size_t bytes) {
    if (!platform::populate_for_writing(entries, bytes)) std::memset(entries, 0, bytes);
  });
}

void merge_later_peaks(PeakTable& table, const LaterPeaks& later, std::int32_t first, std::int32_t last) {
  for (const PeakTable& part : later.tables) {
    for (std::int32_t node = first; node <= last; ++node) merge_peak(table, node, part);
  }
}

// Magnitudes above the single-precision range all round to infinity; comparing
// them in double keeps the larger vector rather than simply the first. Called
// for every pair offered to a node whose peak is infinite.
void offer_beyond_single_range(PeakTable& table, std::int32_t node, float x, float y, platform::Decimal x_read,
                               platform::Decimal y_read) {
  // The magnitudes in double, rooted as the rule says: rounding can make two sums' roots equal.
  if (platform::square_root(sum_of_squares(x, y)) > platform::square_root(sum_of_squares(table.x[node], table.y[node]))) {
    table.x[node] = x;
    table.y[node] = y;
    table.x_read[node] = x_read;
    table.y_read[node] = y_read;
  }
}

void offer_run_scalar(PeakTable& table, std::int32_t first, const PairBuffers& pairs, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    offer(table, first + static_cast<std::int32_t>(i), pairs.xy[2 * i], pairs.xy[2 * i + 1], pairs.read[2 * i],
          pairs.read[2 * i + 1]);
  }
}
