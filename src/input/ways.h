#pragma once
// The ways of reading runs of pairs and offering them to the peak table: one
// table of kernels, each way with its name and the instructions it needs. The
// run chooses one at its start, and every reader uses it from then on.

#include <span>
#include <string_view>

#include "peak/peak_table.h"
#include "platform/numbers/parse_pairs.h"

struct Way {
  const char* name;  // as KASOR_SIMD names it
  bool needs_avx2;
  platform::ParsePairs parse_pairs;
  OfferRun offer_run;
};

// Slowest first. The scalar way is the reference, on every CPU.
inline constexpr Way kScalarWay{"scalar", false, platform::parse_pairs_scalar, offer_run_scalar};
inline constexpr Way kAvx2Way{"avx2", true, platform::parse_pairs_avx2, offer_run_avx2};
inline constexpr const Way* kWays[] = {&kScalarWay, &kAvx2Way};

// The ways a CPU can take (with AVX2 or without), slowest first.
bool can_take(const Way& way, bool cpu_has_avx2);

// The way called `name` if the CPU can take it; otherwise (no name, another
// name, a way the CPU lacks) the fastest it can.
const Way& choose_way(std::string_view name, bool cpu_has_avx2);
