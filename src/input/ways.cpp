#include "input/ways.h"

bool can_take(const Way& way, bool cpu_has_avx2) { return !way.needs_avx2 || cpu_has_avx2; }

const Way& choose_way(std::string_view name, bool cpu_has_avx2) {
  const Way* fastest = &kScalarWay;
  for (const Way* way : kWays) {
    if (can_take(*way, cpu_has_avx2)) fastest = way;
  }
  for (const Way* way : kWays) {
    if (name == way->name && can_take(*way, cpu_has_avx2)) return *way;
  }
  return *fastest;
}
