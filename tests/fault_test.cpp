// What the program does when the system fails it while writing the result.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/faults.h"
#include "platform/runtime.h"
#include "run/run.h"
#include "temp_folder.h"

namespace {

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::reset_for_tests();
    std::string input = "VECTOR\r\nND 80000\r\nST 0\r\nTS 0 0.0\r\n";
    for (int node = 1; node <= 80000; ++node) input += std::to_string(node) + ".25 -0.5\r\n";
    folder.write("KASOR.dat", input);
  }
  void TearDown() override { platform::reset_for_tests(); }

  // The size of the complete result, from a run without faults.
  std::int64_t result_size() {
    EXPECT_EQ(run(options_for_this_machine()), kExitOk);
    platform::reset_for_tests();
    const auto size = static_cast<std::int64_t>(folder.read("KASOR_max.dat").size());
    std::filesystem::remove(folder.path() / "KASOR_max.dat");
    return size;
  }

  // Runs with a fault injected over an older result; everything must be as before.
  template <class Inject>
  void expect_nothing_lost(const char* name, Inject inject, const char* reason) {
    const std::string older = "VECTOR\r\nND  1\r\nST  0\r\nTS  0.0\r\n7             8\r\n";
    folder.write("KASOR_max.dat", older);
    inject(platform::g_faults);
    ::testing::internal::CaptureStderr();
    const int status = run(options_for_this_machine());
    const std::string err = ::testing::internal::GetCapturedStderr();
    platform::reset_for_tests();
    EXPECT_EQ(status, kExitNotWritten) << name;
    EXPECT_EQ(folder.read("KASOR_max.dat"), older) << name;
    EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n") << name;
    EXPECT_NE(err.find("Fehler: KASOR_max.dat konnte nicht geschrieben werden"), std::string::npos) << name << err;
    EXPECT_NE(err.find(reason), std::string::npos) << name << ": " << err;
  }
  TempFolder folder;
};

TEST_F(FaultTest, EveryFailureKeepsTheOlderResult) {
  const std::int64_t size = result_size();
  ASSERT_GT(size, 1 << 20);  // more than one buffer's worth
  expect_nothing_lost("open", [](platform::Faults& f) { f.output_open = true; }, "ermission");
  expect_nothing_lost("disk full at once", [](platform::Faults& f) { f.write_after = 0; }, "space");
  expect_nothing_lost("disk full in the header", [](platform::Faults& f) { f.write_after = 10; }, "space");
  expect_nothing_lost("disk full later", [](platform::Faults& f) { f.write_after = 600000; }, "space");
  expect_nothing_lost("disk full one byte short", [size](platform::Faults& f) { f.write_after = size - 1; }, "space");
  expect_nothing_lost("sync", [](platform::Faults& f) { f.sync = true; }, "Input/output error");
  expect_nothing_lost("close", [](platform::Faults& f) { f.output_close = true; }, "error");
  expect_nothing_lost("rename", [](platform::Faults& f) { f.rename = true; }, "ermission");
}

// A read that fails ends the data there: what was read before is written,
// with a warning and the status of a damaged input. A line cut by the failed
// read counts as unread, so no number cut short is taken.
TEST_F(FaultTest, AFailedReadKeepsWhatWasReadBeforeIt) {
  const std::string input = folder.read("KASOR.dat");
  const std::size_t node_50000 = input.find("\r\n50000.25 -0.5\r\n") + 2;
  const struct {
    const char* name;
    std::size_t fails_at;
    const char* warning;
    const char* last_line;  // of the result
  } cases[] = {
      {"inside a pair's y", node_50000 + std::strlen("50000.25 -0."),
       "Zeile 50003: Lesefehler im Block nach Knoten 49999 von 80000", "0             0\r\n"},
      {"after the last line", input.size(), "Lesefehler, die Daten enden hier", "80000.25      -0.5\r\n"},
  };
  for (const auto& c : cases) {
    platform::g_faults.read_after = static_cast<std::int64_t>(c.fails_at);
    ::testing::internal::CaptureStderr();
    const int status = run(options_for_this_machine());
    const std::string err = ::testing::internal::GetCapturedStderr();
    platform::reset_for_tests();
    EXPECT_EQ(status, kExitDamagedInput) << c.name;
    EXPECT_NE(err.find(c.warning), std::string::npos) << c.name << ": " << err;
    const std::string result = folder.read("KASOR_max.dat");
    EXPECT_NE(result.find("\r\n49999.25      -0.5\r\n"), std::string::npos) << c.name;
    EXPECT_EQ(result.substr(result.size() - std::strlen(c.last_line)), c.last_line) << c.name;
  }
}

TEST_F(FaultTest, ExactlyEnoughRoomIsEnough) {
  const std::int64_t size = result_size();
  platform::g_faults.write_after = size;
  EXPECT_EQ(run(options_for_this_machine()), kExitOk);
  EXPECT_EQ(static_cast<std::int64_t>(folder.read("KASOR_max.dat").size()), size);
  EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n");
}

}  // namespace
