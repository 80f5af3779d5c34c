#include "platform/files/replace_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime_reset.h"
#include "temp_folder.h"

namespace {

std::string sorted_lines(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  std::string listing;
  for (const std::string& name : names) listing += name + "\n";
  return listing;
}

// The clean-up takes only what a run of this program that ended without
// finishing left: a temporary name whose file no running program holds, and
// which is empty or starts as a result starts. Anybody else's file stays.
TEST(ReplaceFile, OnlyDeadRunsOwnTemporariesAreRemoved) {
  TempFolder folder;
  const auto target = folder.path() / "KASOR_max.dat";
  platform::Replacement live;
  ASSERT_TRUE(platform::begin_replacement(target, live).ok());
  const std::vector<std::string> kept = {
      live.temporary.filename().string(),
      "KASOR_max.dat.tmp42",            // somebody's notes
      "KASOR_max.dat.tmp0-1f",          // the same, under a newer name
      "KASOR_max.dat.tmp",              // no process id
      "KASOR_max.dat.tmp12x",           // not the pattern, whatever they hold
      "KASOR_max.dat.tmp-1",
      "KASOR_max.dat.tmp12-",
      "KASOR_max.dat.tmp12-0G",
      "kasor_max.dat.tmp12",
      "other.dat.tmp12",
  };
  for (const std::string& name : kept) {
    if (name != kept.front()) folder.write(name, name.find("12") != std::string::npos ? "VECTOR\r\n" : "meine Notizen");
  }
  folder.write("KASOR_max.dat.tmp77", "");                                   // a run killed before it wrote
  folder.write("KASOR_max.dat.tmp78-00ab", "VECTOR\r\nND  1\r\nST  0\r\n");  // and one killed while writing
#ifndef _WIN32
  // A link is nobody's result, wherever it points.
  folder.write("victim", "VECTOR\r\n");
  std::filesystem::create_symlink(folder.path() / "victim", folder.path() / "KASOR_max.dat.tmp79");
#endif
  platform::remove_dead_temporaries(target);
  std::vector<std::string> left = kept;
#ifndef _WIN32
  left.push_back("victim");
  left.push_back("KASOR_max.dat.tmp79");
#endif
  EXPECT_EQ(folder.listing(), sorted_lines(left));
  platform::abandon_replacement(live);
  EXPECT_FALSE(folder.exists(live.temporary.filename().string()));
}

// Two runs that pick the same temporary name (one process id in two
// containers on one folder): the second takes another, and each result
// reaches the target whole.
TEST(ReplaceFile, TwoRunsThatPickOneNameEachFinishWhole) {
  TempFolder folder;
  const auto target = folder.path() / "KASOR_max.dat";
  platform::Faults faults;
  int calls = 0;
  faults.random_part = [&calls] { return calls++ < 2 ? std::uint64_t{7} : std::uint64_t{8}; };
  const FaultsInstalled installed(faults);
  platform::Replacement first, second;
  ASSERT_TRUE(platform::begin_replacement(target, first).ok());
  ASSERT_TRUE(platform::begin_replacement(target, second).ok());
  EXPECT_NE(first.temporary, second.temporary);
  const std::string a = "VECTOR\r\n" + std::string(100000, 'a');
  const std::string b = "VECTOR\r\n" + std::string(50, 'b');
  ASSERT_TRUE(platform::write_replacement(first, a.data(), 40000).ok());
  ASSERT_TRUE(platform::write_replacement(second, b.data(), b.size()).ok());
  ASSERT_TRUE(platform::write_replacement(first, a.data() + 40000, a.size() - 40000).ok());
  ASSERT_TRUE(platform::finish_replacement(first).ok());
  EXPECT_EQ(folder.read("KASOR_max.dat"), a);
  ASSERT_TRUE(platform::finish_replacement(second).ok());
  EXPECT_EQ(folder.read("KASOR_max.dat"), b);
  EXPECT_EQ(folder.listing(), "KASOR_max.dat\n");
}

#ifndef _WIN32
// A link planted at the temporary name is never followed: the file it points
// to stays as it was, and the result goes to a name of the run's own.
TEST(ReplaceFile, ALinkAtTheTemporaryNameIsPassedOver) {
  TempFolder folder;
  const auto target = folder.path() / "KASOR_max.dat";
  platform::Faults faults;
  int calls = 0;
  faults.random_part = [&calls] { return static_cast<std::uint64_t>(7 + calls++); };
  const FaultsInstalled installed(faults);
  platform::Replacement probe;
  ASSERT_TRUE(platform::begin_replacement(target, probe).ok());
  const auto planted = probe.temporary;  // the name the next run picks first
  platform::abandon_replacement(probe);
  calls = 0;
  folder.write("precious", "meine Daten");
  std::filesystem::create_symlink(folder.path() / "precious", planted);
  platform::Replacement run;
  ASSERT_TRUE(platform::begin_replacement(target, run).ok());
  EXPECT_NE(run.temporary, planted);
  ASSERT_TRUE(platform::write_replacement(run, "VECTOR\r\n", 8).ok());
  ASSERT_TRUE(platform::finish_replacement(run).ok());
  EXPECT_EQ(folder.read("precious"), "meine Daten");
  EXPECT_EQ(folder.read("KASOR_max.dat"), "VECTOR\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(planted));
  EXPECT_FALSE(std::filesystem::is_symlink(target));
}
#endif

}  // namespace
