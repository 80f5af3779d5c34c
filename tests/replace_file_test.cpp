#include "platform/files/replace_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

// The clean-up takes only what a run that ended without finishing left: a
// temporary name with a process id whose file no running program holds.
TEST(ReplaceFile, OnlyDeadRunsTemporariesAreRemoved) {
  TempFolder folder;
  const auto target = folder.path() / "KASOR_max.dat";
  platform::Replacement live;
  ASSERT_TRUE(platform::begin_replacement(target, nullptr, live).ok());
  for (const char* name : {"KASOR_max.dat.tmp12345", "KASOR_max.dat.tmp", "KASOR_max.dat.tmp12x",
                           "KASOR_max.dat.tmp-1", "kasor_max.dat.tmp12", "other.dat.tmp12"}) {
    folder.write(name, "x");
  }
  platform::remove_dead_temporaries(target);
  std::vector<std::string> left = {live.temporary.filename().string(), "KASOR_max.dat.tmp", "KASOR_max.dat.tmp12x",
                                   "KASOR_max.dat.tmp-1", "kasor_max.dat.tmp12", "other.dat.tmp12"};
  std::sort(left.begin(), left.end());
  std::string listing;
  for (const std::string& name : left) listing += name + "\n";
  EXPECT_EQ(folder.listing(), listing);
  platform::abandon_replacement(live);
  EXPECT_FALSE(folder.exists(live.temporary.filename().string()));
}

}  // namespace
