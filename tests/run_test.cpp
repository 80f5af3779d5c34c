#include "run/run.h"

#include <gtest/gtest.h>

#include "platform/runtime.h"
#include "runtime_reset.h"
#include "temp_folder.h"

namespace {

// Runs the program in-process in a fresh working folder.
class RunTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_runtime(); }
  void TearDown() override { reset_runtime(); }
  int run_capturing_stderr() {
    ::testing::internal::CaptureStderr();
    const int status = run(options_for_this_machine());
    err = ::testing::internal::GetCapturedStderr();
    return status;
  }
  TempFolder folder;
  std::string err;
};

TEST_F(RunTest, MissingInputLeavesAnOlderResultUntouched) {
  folder.write("KASOR_max.dat", "old result\r\n");
  EXPECT_EQ(run_capturing_stderr(), kExitNoInput);
  EXPECT_EQ(folder.read("KASOR_max.dat"), "old result\r\n");
  EXPECT_EQ(folder.listing(), "KASOR_max.dat\n");
}

TEST_F(RunTest, InputWithoutCountLineWritesNothing) {
  for (const char* input : {"", "VECTOR\r\nTS 0\r\n1 1\r\n"}) {
    folder.write("KASOR.dat", input);
    folder.write("KASOR_max.dat", "old result\r\n");
    EXPECT_EQ(run_capturing_stderr(), kExitNotADataSet);
    EXPECT_NE(err.find("Fehler: KASOR.dat enthält keine Zeile mit der Knotenzahl"), std::string::npos) << err;
    EXPECT_EQ(folder.read("KASOR_max.dat"), "old result\r\n");
    reset_runtime();
  }
}

// The count line must name 1 to 2,200,000 nodes. Anything else would write a
// result of no nodes (or of nodes the table does not hold) over an older one:
// nothing is written, and the message names the line.
TEST_F(RunTest, OnlyACountFromOneTo2200000IsACount) {
  const struct {
    const char* line;
    int status;
    const char* shown;  // in the message, for a count that is none
  } cases[] = {
      {"ND 1", kExitDamagedInput, nullptr},        // a count; the two pairs after the first are left over
      {"ND  3  ", kExitOk, nullptr},
      {"ND\t+3\t", kExitOk, nullptr},
      {"ND 003", kExitOk, nullptr},
      {"ND 2200000", kExitDamagedInput, nullptr},  // a count this large, and one block of three pairs
      {"ND", kExitNotADataSet, "„ND“"},
      {"ND abc", kExitNotADataSet, "„ND abc“"},
      {"NDX 3", kExitNotADataSet, "„NDX 3“"},
      {"ND -", kExitNotADataSet, "„ND -“"},
      {"ND 3.5", kExitNotADataSet, "„ND 3.5“"},
      {"ND 1e3", kExitNotADataSet, "„ND 1e3“"},
      {"ND 2x", kExitNotADataSet, "„ND 2x“"},
      {"ND 0", kExitNotADataSet, "„ND 0“"},
      {"ND -5", kExitNotADataSet, "„ND -5“"},
      {"ND 2200001", kExitNotADataSet, "„ND 2200001“"},
      {"ND 2147483647", kExitNotADataSet, "„ND 2147483647“"},
      {"ND 2147483648", kExitNotADataSet, "„ND 2147483648“"},
      {"ND 99999999999", kExitNotADataSet, "„ND 99999999999“"},
      {"ND\x01\xFF 12345678901234567890123456789012345678901234567890", kExitNotADataSet,
       "„ND?? 12345678901234567890123456789012345…“"},
  };
  const std::string older = "VECTOR\r\nND  1\r\nST  0\r\nTS  0.0\r\n7             8\r\n";
  for (const auto& c : cases) {
    folder.write("KASOR.dat", std::string("VECTOR\r\n") + c.line + "\r\nTS 0\r\n1 1\r\n2 2\r\n3 3\r\n");
    folder.write("KASOR_max.dat", older);
    EXPECT_EQ(run_capturing_stderr(), c.status) << c.line << "\n" << err;
    if (c.shown) {
      EXPECT_EQ(err, std::string("Fehler: KASOR.dat, Zeile 2: ") + c.shown +
                         " nennt keine Knotenzahl von 1 bis 2.200.000; nichts geschrieben.\n");
      EXPECT_EQ(folder.read("KASOR_max.dat"), older) << c.line;
      EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n") << c.line;
    } else {
      EXPECT_NE(folder.read("KASOR_max.dat"), older) << c.line;
    }
    reset_runtime();
  }
}

// A box shows at most the first six lines, how many more there were, and the
// last (the total of the warnings, or the error that ended the run).
TEST(BoxText, KeepsTheFirstLinesAndTheLast) {
  auto lines = [](int n) {
    std::string text;
    for (int i = 1; i <= n; ++i) text += "Zeile " + std::to_string(i) + "\n";
    return text;
  };
  EXPECT_EQ(box_text(lines(8)), lines(8));
  EXPECT_EQ(box_text(lines(12)), lines(6) + "… (5 weitere Zeilen)\nZeile 12\n");
  EXPECT_EQ(box_text(""), "");
}

#ifndef _WIN32
// A result its user protected (no write permission) is kept, for root too.
TEST_F(RunTest, AWriteProtectedResultIsKept) {
  folder.write("KASOR.dat", "ND 1\r\nTS 0\r\n1 1\r\n");
  folder.write("KASOR_max.dat", "old result\r\n");
  std::filesystem::permissions(folder.path() / "KASOR_max.dat", std::filesystem::perms::owner_read |
                                                                    std::filesystem::perms::group_read |
                                                                    std::filesystem::perms::others_read);
  EXPECT_EQ(run_capturing_stderr(), kExitNotWritten);
  EXPECT_EQ(err, "Fehler: KASOR_max.dat ist schreibgeschützt und bleibt unverändert; nichts geschrieben.\n");
  EXPECT_EQ(folder.read("KASOR_max.dat"), "old result\r\n");
  EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n");
}
#endif

#ifdef __linux__
// Every file the run opens is closed again, whatever became of the run.
TEST_F(RunTest, NoDescriptorIsLeftOpen) {
  auto open_descriptors = [] {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
  };
  const int before = open_descriptors();
  const struct {
    const char* input;
    bool result_is_a_folder;
    int status;
  } cases[] = {
      {"VECTOR\r\nND 2\r\nTS 0\r\n1 1\r\n2 2\r\n", false, kExitOk},
      {"ND 2\r\nTS 0\r\n1 1\r\n", false, kExitDamagedInput},
      {"ND abc\r\n", false, kExitNotADataSet},
      {"ND 2\r\nTS 0\r\n1 1\r\n2 2\r\n", true, kExitNotWritten},
      {nullptr, false, kExitNoInput},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(folder.path() / "KASOR.dat");
    std::filesystem::remove_all(folder.path() / "KASOR_max.dat");
    if (c.input) folder.write("KASOR.dat", c.input);
    if (c.result_is_a_folder) std::filesystem::create_directory(folder.path() / "KASOR_max.dat");
    EXPECT_EQ(run_capturing_stderr(), c.status) << err;
    EXPECT_EQ(open_descriptors(), before) << (c.input ? c.input : "no input");
    reset_runtime();
  }
}
#endif

}  // namespace
