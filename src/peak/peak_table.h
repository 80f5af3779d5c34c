#pragma once
// The peak table: for every node the vector of largest magnitude offered so
// far, and that magnitude.

#include <cstdint>
#include <limits>

#include "platform/math.h"

inline constexpr std::int32_t kNodeCapacity = 2'200'000;

// Three parallel tables indexed by node number 1 to kNodeCapacity (slot 0 is
// never used). Created once at full capacity, all 0.
struct PeakTable {
  float* magnitude = nullptr;
  float* x = nullptr;
  float* y = nullptr;
};

// Allocates the three tables. A failure goes through the runtime's error
// handling (before continue-on-failure is on, that ends the run).
bool create_peak_table(PeakTable& table);

void release_peak_table(PeakTable& table);

// The magnitude of (x, y): widened to double, squared, added and rooted in
// double, then rounded once to single precision.
inline float magnitude_of(float x, float y) {
  const double xx = platform::__vbaPowerR8(static_cast<double>(x), 2.0);
  const double yy = platform::__vbaPowerR8(static_cast<double>(y), 2.0);
  return static_cast<float>(platform::square_root(xx + yy));
}

// Both magnitudes beyond the single-precision range; decided in double.
void offer_beyond_single_range(PeakTable& table, std::int32_t node, float x, float y);

// Keeps (x, y) as the node's peak when its magnitude is strictly greater than
// the peak so far, so the first of equal magnitudes stays. Nodes outside the
// table are ignored. A NaN magnitude is greater than nothing and never kept.
inline void offer(PeakTable& table, std::int32_t node, float x, float y) {
  if (node < 1 || node > kNodeCapacity) return;
  const float m = magnitude_of(x, y);
  // Without a branch: whether a pair replaces the peak follows the data, and
  // a mispredicted branch costs more than three stores.
  const float peak = table.magnitude[node];
  const bool greater = m > peak;
  table.magnitude[node] = greater ? m : peak;
  table.x[node] = greater ? x : table.x[node];
  table.y[node] = greater ? y : table.y[node];
  if (m == std::numeric_limits<float>::infinity() && !greater) {
    // Only reached when the peak is infinite too.
    offer_beyond_single_range(table, node, x, y);
  }
}

// The node's peak vector. Fails (and leaves x and y) outside 1 to kNodeCapacity.
bool peak(const PeakTable& table, std::int32_t node, float& x, float& y);
