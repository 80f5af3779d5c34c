#pragma once
// The ways of reading runs of pairs and offering them to the peak table: one
// table of kernels, each way with its name and the instructions it needs. The
// run chooses one at its start, and every reader uses it from then on.

#include <span>
#include <string_view>

#include "input/pairs.h"
#include "peak/peak_table.h"

struct Way {
  const char* name;  // as KASOR_SIMD names it
  bool needs_avx2;
  ParsePairs parse_pairs;
  OfferRun offer_run;
};

// The scalar way (input/scalar/): pair after pair, each number the item
// reader's quick way; the reference, on every CPU. Keeps no decimals; offers
// node after node.
PlainRun parse_pairs_scalar(const char* p, const char* end, const PairBuffers& out, std::size_t count,
                            std::string& scratch);

// The AVX2 way (input/avx2/), only on a CPU with AVX2: every item of a
// stretch found at once, then read eight at a time; the few of another form
// one by one, as the item reader's quick way reads them. Pairs may share or
// span lines. Keeps the decimals of the common form. Offers four nodes at a
// time.
PlainRun parse_pairs_avx2(const char* p, const char* end, const PairBuffers& out, std::size_t count,
                          std::string& scratch);
void offer_run_avx2(PeakTable& table, std::int32_t first, const PairBuffers& pairs, std::size_t count);

// Slowest first.
inline constexpr Way kScalarWay{"scalar", false, parse_pairs_scalar, offer_run_scalar};
inline constexpr Way kAvx2Way{"avx2", true, parse_pairs_avx2, offer_run_avx2};
inline constexpr const Way* kWays[] = {&kScalarWay, &kAvx2Way};

// The ways a CPU can take (with AVX2 or without), slowest first.
bool can_take(const Way& way, bool cpu_has_avx2);

// The way called `name` if the CPU can take it; otherwise (no name, another
// name, a way the CPU lacks) the fastest it can.
const Way& choose_way(std::string_view name, bool cpu_has_avx2);
