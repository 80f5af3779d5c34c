#include "input/progress.h"

#include <gtest/gtest.h>

namespace {

TEST(Progress, LineAtTheEdges) {
  const struct {
    std::uint64_t done, total;
    double seconds;
    const char* line;
  } cases[] = {
      {0, 400'000'000, 0.5, "KASOR.dat: 0 % gelesen"},           // nothing read yet: no rate to go by
      {1'000'000, 400'000'000, 0, "KASOR.dat: 0 % gelesen"},     // no time passed: no rate either
      {399'000'000, 400'000'000, 1, "KASOR.dat: 99 % gelesen, 399 MB/s, noch 0 s"},  // not 100 before the end
      {400'000'000, 400'000'000, 2, "KASOR.dat: 100 % gelesen, 200 MB/s, noch 0 s"},
      {500'000'000, 400'000'000, 2, "KASOR.dat: 100 % gelesen, 250 MB/s, noch 0 s"},  // the file grew
      {100'000'000, 400'000'000, 1, "KASOR.dat: 25 % gelesen, 100 MB/s, noch 3 s"},
      {123'456'789, 0, 2, "KASOR.dat: 123 MB gelesen, 62 MB/s"},  // a pipe: no size, no time left
  };
  for (const auto& c : cases) EXPECT_EQ(progress_line(c.done, c.total, c.seconds), c.line);
}

TEST(Progress, ClosingLine) {
  EXPECT_EQ(summary_line(2200000, 10, 462'000'123, 1.26),
            "KASOR_max.dat geschrieben: 2200000 Knoten, 10 Blöcke aus 462,0 MB gelesen, in 1,3 s.\n");
  EXPECT_EQ(summary_line(2, 1, 80, 0.01), "KASOR_max.dat geschrieben: 2 Knoten, 1 Block aus 0,0 MB gelesen, in 0,0 s.\n");
}

}  // namespace
