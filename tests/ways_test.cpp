#include "input/ways.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/system/cpu.h"

namespace {

// KASOR_SIMD names a way; a name that names none, or a way the CPU lacks,
// gives the fastest way the CPU can take.
TEST(Ways, ChooseTheNamedWayOrTheFastestTheCpuTakes) {
  const struct {
    const char* name;
    bool cpu_has_avx2;
    const Way* chosen;
  } cases[] = {
      {"", true, &kAvx2Way},        {"", false, &kScalarWay},      {"scalar", true, &kScalarWay},
      {"avx2", true, &kAvx2Way},    {"avx2", false, &kScalarWay},  {"AVX2", true, &kAvx2Way},
      {"neon", false, &kScalarWay}, {"scalar ", true, &kAvx2Way},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(&choose_way(c.name, c.cpu_has_avx2), c.chosen) << '"' << c.name << "\" " << c.cpu_has_avx2;
  }
}

// The tests that compare the ways compare the AVX2 way only on a CPU that
// has AVX2; this says so where it is not compared.
TEST(Ways, TheAvx2WayIsComparedOnThisCpu) {
  if (!platform::cpu_has_avx2()) GTEST_SKIP() << "this CPU has no AVX2: the AVX2 way is compared with no other here";
  EXPECT_TRUE(can_take(kAvx2Way, true));
}

}  // namespace
