#include "run/run.h"

#include <gtest/gtest.h>

#include "platform/runtime.h"
#include "temp_folder.h"

namespace {

// Runs the program in-process in a fresh working folder.
class RunTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::reset_for_tests(); }
  void TearDown() override { platform::reset_for_tests(); }
  int run_capturing_stderr() {
    ::testing::internal::CaptureStderr();
    const int status = run(options_for_this_machine());
    err = ::testing::internal::GetCapturedStderr();
    return status;
  }
  TempFolder folder;
  std::string err;
};

TEST_F(RunTest, MissingInputShowsTheMessageAndCreatesNothing) {
  EXPECT_EQ(run_capturing_stderr(), kExitNoInput);
  EXPECT_EQ(err, "Fehler: KASOR.dat nicht gefunden!\n");
  EXPECT_EQ(folder.listing(), "");
}

TEST_F(RunTest, MissingInputLeavesAnOlderResultUntouched) {
  folder.write("KASOR_max.dat", "old result\r\n");
  EXPECT_EQ(run_capturing_stderr(), kExitNoInput);
  EXPECT_EQ(folder.read("KASOR_max.dat"), "old result\r\n");
  EXPECT_EQ(folder.listing(), "KASOR_max.dat\n");
}

// Without a working folder there is nowhere to look: the run reports the
// input missing and opens nothing at all (the folder's failure is the last).
TEST_F(RunTest, AWorkingFolderThatIsGoneOpensNothing) {
  const auto gone = folder.path() / "gone";
  std::filesystem::create_directory(gone);
  std::filesystem::current_path(gone);
  std::filesystem::remove(gone);
  EXPECT_EQ(run_capturing_stderr(), kExitNoInput);
  EXPECT_EQ(err, "Fehler: KASOR.dat nicht gefunden!\n");
  EXPECT_EQ(platform::error_number(), platform::kNoFolder);
  std::filesystem::current_path(folder.path());
}

TEST_F(RunTest, InputThatIsAFolderGivesTheSameMessage) {
  std::filesystem::create_directory(folder.path() / "KASOR.dat");
  EXPECT_EQ(run_capturing_stderr(), kExitNoInput);
  EXPECT_EQ(err, "Fehler: KASOR.dat nicht gefunden!\n");
  EXPECT_EQ(folder.listing(), "KASOR.dat\n");
}

TEST_F(RunTest, InputWithoutCountLineWritesNothing) {
  for (const char* input : {"", "VECTOR\r\nTS 0\r\n1 1\r\n"}) {
    folder.write("KASOR.dat", input);
    folder.write("KASOR_max.dat", "old result\r\n");
    EXPECT_EQ(run_capturing_stderr(), kExitNotADataSet);
    EXPECT_NE(err.find("Fehler: KASOR.dat enthält keine Zeile mit der Knotenzahl"), std::string::npos) << err;
    EXPECT_EQ(folder.read("KASOR_max.dat"), "old result\r\n");
    platform::reset_for_tests();
  }
}

TEST_F(RunTest, MoreNodesThanTheTableHoldsWritesNothing) {
  folder.write("KASOR.dat", "ND 2200001\r\nTS 0\r\n1 1\r\n");
  EXPECT_EQ(run_capturing_stderr(), kExitNotADataSet);
  EXPECT_NE(err.find("2200001 Knoten"), std::string::npos) << err;
  EXPECT_EQ(folder.listing(), "KASOR.dat\n");
}

TEST_F(RunTest, DamagedInputEndsWithItsOwnStatus) {
  folder.write("KASOR.dat", "ND 2\r\nTS 0\r\n1 1\r\n");
  EXPECT_EQ(run_capturing_stderr(), kExitDamagedInput);
  EXPECT_NE(err.find("Datei endet im Block nach Knoten 1 von 2"), std::string::npos) << err;
}

}  // namespace
