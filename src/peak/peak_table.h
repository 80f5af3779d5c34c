#pragma once
// The peak table: for every node the vector of largest magnitude offered so
// far, and that magnitude.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/numbers/decimal.h"
#include "platform/numbers/math.h"

inline constexpr std::int32_t kNodeCapacity = 2'200'000;

// Parallel tables indexed by node number 1 to the nodes they were made for
// (slot 0 is never used): the run's own at full capacity, a segment's for
// the data set's node count. All 0 when made. Beside each peak vector, the
// decimals its x and y were read from, or 0 (numbers/decimal.h).
struct PeakTable {
  float* magnitude = nullptr;
  float* x = nullptr;
  float* y = nullptr;
  platform::Decimal* x_read = nullptr;
  platform::Decimal* y_read = nullptr;
};

// The bytes a node takes in a table.
inline constexpr std::uint64_t kPeakTableBytesPerNode = 3 * sizeof(float) + 2 * sizeof(platform::Decimal);

// Allocates the tables, for nodes 1 to `nodes`; false when there is not the
// memory for them.
bool create_peak_table(PeakTable& table, std::int32_t nodes = kNodeCapacity);

void release_peak_table(PeakTable& table);

// Sets the entries of nodes 1 to `nodes` back to 0.
void clear_peak_table(PeakTable& table, std::int32_t nodes);

// Readies the entries of nodes 1 to `nodes` of a table of zeros (as made, or
// cleared) to be offered to: their pages get memory of their own at once,
// where the system can do that in one call, or else by writing the zeros.
// Otherwise the first offers would map each page to the shared page of zeros
// and then copy it, two faults a page, and on several cores each copy
// interrupts the other cores.
void prepare_peak_table(PeakTable& table, std::int32_t nodes);

// The square of (x, y)'s magnitude: x and y widened to double, squared and
// added in double. The magnitude is its root in double, rounded once to
// single precision. (The AVX2 way's offer_run_avx2 computes it four nodes at a time.)
inline double sum_of_squares(float x, float y) {
  return platform::__vbaPowerR8(static_cast<double>(x), 2.0) + platform::__vbaPowerR8(static_cast<double>(y), 2.0);
}

// Both magnitudes beyond the single-precision range; decided in double.
void offer_beyond_single_range(PeakTable& table, std::int32_t node, float x, float y, platform::Decimal x_read,
                               platform::Decimal y_read);

// Keeps (x, y) as the node's peak when its magnitude is strictly greater than
// the peak so far, so the first of equal magnitudes stays. Nodes outside the
// table are ignored. A NaN magnitude is greater than nothing and never kept.
// x_read and y_read: the decimals x and y were read from, or 0.
inline void offer(PeakTable& table, std::int32_t node, float x, float y, platform::Decimal x_read = 0,
                  platform::Decimal y_read = 0) {
  if (node < 1 || node > kNodeCapacity) return;
  const double sum = sum_of_squares(x, y);
  const float peak = table.magnitude[node];
  // The root is only taken when it can matter. The peak's square is exact in
  // double, and its root is the peak itself; rounding is monotonic, so a sum
  // no larger than the square has a magnitude no larger than the peak.
  if (sum > static_cast<double>(peak) * static_cast<double>(peak)) {
    const float m = static_cast<float>(platform::square_root(sum));
    if (m > peak) {
      table.magnitude[node] = m;
      table.x[node] = x;
      table.y[node] = y;
      table.x_read[node] = x_read;
      table.y_read[node] = y_read;
      return;
    }
  }
  if (peak == std::numeric_limits<float>::infinity()) offer_beyond_single_range(table, node, x, y, x_read, y_read);
}

// A run of pairs as the readers of runs leave it, x and y by turns: pair i is
// (xy[2i], xy[2i + 1]), read from the decimals read[2i] and read[2i + 1], or
// 0 where the way does not keep them. Room for 2 * count + 8 of each: a way
// may write past the pairs it reads.
struct PairBuffers {
  float* xy;
  platform::Decimal* read;
};

// Offers pair i of `pairs` to node first + i, for i from 0 to count - 1, as
// offer does: a way of offering runs (the ways of reading, input/ways.h).
using OfferRun = void (*)(PeakTable& table, std::int32_t first, const PairBuffers& pairs, std::size_t count);

// Node after node.
void offer_run_scalar(PeakTable& table, std::int32_t first, const PairBuffers& pairs, std::size_t count);

// Tables filled from the later parts of an input, in input order, whose
// peaks are still to be merged into the table of the part before them, a
// range of nodes at a time. Each table is released with its owner.
struct LaterPeaks {
  std::vector<PeakTable> tables;
  LaterPeaks() = default;
  LaterPeaks(const LaterPeaks&) = delete;
  LaterPeaks& operator=(const LaterPeaks&) = delete;
  ~LaterPeaks() {
    for (PeakTable& t : tables) release_peak_table(t);
  }
};

// Merges the peaks of nodes `first` to `last` of each later table into
// `table`, in order, as merge_peak does.
void merge_later_peaks(PeakTable& table, const LaterPeaks& later, std::int32_t first, std::int32_t last);

// Takes the node's peak from `later`, a table filled from input that follows
// all input offered to `table`, when offering its pairs here in order would
// have: the same as offering that peak, without working out its magnitude again.
inline void merge_peak(PeakTable& table, std::int32_t node, const PeakTable& later) {
  const float m = later.magnitude[node];
  if (m > table.magnitude[node]) {
    table.magnitude[node] = m;
    table.x[node] = later.x[node];
    table.y[node] = later.y[node];
    table.x_read[node] = later.x_read[node];
    table.y_read[node] = later.y_read[node];
  } else if (m == std::numeric_limits<float>::infinity()) {
    offer_beyond_single_range(table, node, later.x[node], later.y[node], later.x_read[node], later.y_read[node]);
  }
}

// The node's peak vector, with the decimals x and y were read from, or 0.
// Fails (and leaves them) outside 1 to kNodeCapacity.
inline bool peak(const PeakTable& table, std::int32_t node, float& x, float& y, platform::Decimal& x_read,
                 platform::Decimal& y_read) {
  if (node < 1 || node > kNodeCapacity) return false;
  x = table.x[node];
  y = table.y[node];
  x_read = table.x_read[node];
  y_read = table.y_read[node];
  return true;
}
