// What the program does when the system fails it: faults made to happen in
// the files it reads and writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>

#include "platform/files/faults.h"
#include "platform/system/interruption.h"
#include "platform/runtime.h"
#include "runtime_reset.h"
#include "run/run.h"
#include "temp_folder.h"

namespace {

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_runtime();
    std::string input = "VECTOR\r\nND 80000\r\nST 0\r\nTS 0 0.0\r\n";
    for (int node = 1; node <= 80000; ++node) input += std::to_string(node) + ".25 -0.5\r\n";
    folder.write("KASOR.dat", input);
  }
  void TearDown() override { reset_runtime(); }

  // Runs with `faults` installed; standard error goes to `err`.
  int run_with(platform::Faults& faults, const RunOptions& options = options_for_this_machine()) {
    const FaultsInstalled installed(faults);
    ::testing::internal::CaptureStderr();
    const int status = run(options);
    err = ::testing::internal::GetCapturedStderr();
    reset_runtime();
    return status;
  }

  // The size of the complete result, from a run without faults.
  std::int64_t result_size() {
    EXPECT_EQ(run(options_for_this_machine()), kExitOk);
    reset_runtime();
    const auto size = static_cast<std::int64_t>(folder.read("KASOR_max.dat").size());
    std::filesystem::remove(folder.path() / "KASOR_max.dat");
    return size;
  }

  // Runs with a fault injected over an older result; everything must be as before.
  template <class Inject>
  void expect_nothing_lost(const char* name, Inject inject, const char* reason,
                           RunOptions options = options_for_this_machine()) {
    const std::string older = "VECTOR\r\nND  1\r\nST  0\r\nTS  0.0\r\n7             8\r\n";
    folder.write("KASOR_max.dat", older);
    platform::Faults faults;
    inject(faults);
    const int status = run_with(faults, options);
    EXPECT_EQ(status, kExitNotWritten) << name;
    EXPECT_EQ(folder.read("KASOR_max.dat"), older) << name;
    EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n") << name;
    EXPECT_NE(err.find("Fehler: KASOR_max.dat konnte nicht geschrieben werden"), std::string::npos) << name << err;
    EXPECT_NE(err.find(reason), std::string::npos) << name << ": " << err;
  }
  TempFolder folder;
  std::string err;
};

TEST_F(FaultTest, EveryFailureKeepsTheOlderResult) {
  const std::int64_t size = result_size();
  ASSERT_GT(size, 1 << 20);  // more than one buffer's worth
  expect_nothing_lost("open", [](platform::Faults& f) { f.output_open = true; }, "keine Berechtigung");
  expect_nothing_lost("disk full at once", [](platform::Faults& f) { f.write_after = 0; }, "Datenträger voll");
  expect_nothing_lost("disk full in the header", [](platform::Faults& f) { f.write_after = 10; }, "Datenträger voll");
  expect_nothing_lost("disk full later", [](platform::Faults& f) { f.write_after = 600000; }, "Datenträger voll");
  expect_nothing_lost("disk full one byte short", [size](platform::Faults& f) { f.write_after = size - 1; }, "Datenträger voll");
  expect_nothing_lost("sync", [](platform::Faults& f) { f.sync_error = EIO; }, "Ein-/Ausgabefehler");
  expect_nothing_lost("close", [](platform::Faults& f) { f.output_close = true; }, "Ein-/Ausgabefehler");
  expect_nothing_lost("rename", [](platform::Faults& f) { f.rename = true; }, "keine Berechtigung");
}

// A printer on a helper thread that fails reports its own reason, not
// whatever this thread met last ("end of file", say): here no memory, which
// has a status of its own.
TEST_F(FaultTest, AHelperThreadsFailureIsReportedWithItsOwnReason) {
  RunOptions options = options_for_this_machine();
  options.write.writers = 2;
  options.write.nodes_per_chunk = 1000;
  options.write.parallel_from_nodes = 0;
  const std::string older = "older\r\n";
  folder.write("KASOR_max.dat", older);
  platform::Faults faults;
  faults.memory_output = true;
  EXPECT_EQ(run_with(faults, options), kExitNoMemory);
  EXPECT_EQ(err, "Fehler: nicht genug freier Speicher, um KASOR_max.dat zu schreiben; eine vorhandene Datei bleibt "
                 "unverändert.\n");
  EXPECT_EQ(folder.read("KASOR_max.dat"), older);
  EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n");
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
       "Zeile 50.004: Lesefehler im 1. Zeitschritt nach Knoten 49.999 von 80.000 (Ein-/Ausgabefehler); die Daten enden hier.\n",
       "0             0\r\n"},
      {"after the last line", input.size(), "Zeile 80.005: Lesefehler (Ein-/Ausgabefehler); die Daten enden hier.\n",
       "80000.25      -0.5\r\n"},
  };
  for (const auto& c : cases) {
    platform::Faults faults;
    faults.read_after = static_cast<std::int64_t>(c.fails_at);
    EXPECT_EQ(run_with(faults), kExitDamagedInput) << c.name;
    EXPECT_NE(err.find(c.warning), std::string::npos) << c.name << ": " << err;
    const std::string result = folder.read("KASOR_max.dat");
    EXPECT_NE(result.find("\r\n49999.25      -0.5\r\n"), std::string::npos) << c.name;
    EXPECT_EQ(result.substr(result.size() - std::strlen(c.last_line)), c.last_line) << c.name;
  }
}

// A read that fails before the count line leaves nothing to go by: nothing is
// written. One that fails later ends the data at the last whole line before
// it, with one warning at the line it kept from being read, in line order.
TEST_F(FaultTest, AFailedReadIsWarnedAboutOnceWhereItStoppedTheData) {
  const std::string input =
      "VECTOR\r\nND 3\r\nTS 0\r\n1 1\r\nbad 2\r\n3 3\r\nTS 1\r\n4 4\r\n5 5\r\n6 6\r\nTS 2\r\n7 7\r\n8 8\r\n9 9\r\n";
  const std::string older = "VECTOR\r\nND  1\r\nST  0\r\nTS  0.0\r\n7             8\r\n";
  // A line of pairs longer than the buffer, cut by the failure in its middle,
  // with a number cut by the buffer's end.
  std::string long_line = "ND 600000\r\nTS 0\r\n";
  for (int i = 0; i < 600000; ++i) long_line += "22 22 ";
  const struct {
    const char* fails_in;
    int status;
    const char* err;
    const std::string* other_input = nullptr;
  } cases[] = {
      {"VECTOR", kExitNotADataSet,
       "Fehler: KASOR.dat konnte nicht gelesen werden (Ein-/Ausgabefehler); nichts geschrieben.\n"},
      {"ND 3", kExitNotADataSet,
       "Fehler: KASOR.dat konnte nicht gelesen werden (Ein-/Ausgabefehler); nichts geschrieben.\n"},
      {"TS 1", kExitDamagedInput,
       "Warnung: KASOR.dat, Zeile 5: Zeile nicht lesbar, Wertepaar von Knoten 2 ignoriert.\n"
       "Warnung: KASOR.dat, Zeile 7: Lesefehler (Ein-/Ausgabefehler); die Daten enden hier.\n"
       "Warnung: KASOR.dat ist beschädigt: 2 beschädigte Stellen insgesamt; das Ergebnis enthält nur die lesbaren Wertepaare.\n"},
      {"5 5", kExitDamagedInput,
       "Warnung: KASOR.dat, Zeile 5: Zeile nicht lesbar, Wertepaar von Knoten 2 ignoriert.\n"
       "Warnung: KASOR.dat, Zeile 9: Lesefehler im 2. Zeitschritt nach Knoten 1 von 3 (Ein-/Ausgabefehler); die Daten enden hier.\n"
       "Warnung: KASOR.dat ist beschädigt: 2 beschädigte Stellen insgesamt; das Ergebnis enthält nur die lesbaren Wertepaare.\n"},
      {"22 22", kExitDamagedInput, "Warnung: KASOR.dat, Zeile 3: Lesefehler im 1. Zeitschritt nach Knoten ", &long_line},
  };
  for (const auto& c : cases) {
    const std::string& bytes = c.other_input ? *c.other_input : input;
    folder.write("KASOR.dat", bytes);
    folder.write("KASOR_max.dat", older);
    platform::Faults faults;
    faults.read_after = static_cast<std::int64_t>(bytes.find(c.fails_in) + (c.other_input ? (3 << 19) : 2));
    EXPECT_EQ(run_with(faults), c.status) << c.fails_in;
    if (c.other_input) {
      EXPECT_EQ(err.rfind(c.err, 0), 0u) << err;
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;  // and the total
    } else {
      EXPECT_EQ(err, c.err) << c.fails_in;
    }
    EXPECT_EQ(folder.read("KASOR_max.dat") == older, c.status == kExitNotADataSet) << c.fails_in;
  }
}

// A signal that interrupts a call of the system does not end the run: the
// call is made again, and the result is that of a run without signals.
TEST_F(FaultTest, InterruptedCallsAreMadeAgain) {
  ASSERT_EQ(run(options_for_this_machine()), kExitOk);
  const std::string expected = folder.read("KASOR_max.dat");
  reset_runtime();
  for (int call = 0; call < static_cast<int>(platform::Call::kCount); ++call) {
    platform::Faults faults;
    // An interrupted close has closed all the same: it is never made again.
    faults.interrupted[call] = call == static_cast<int>(platform::Call::kClose) ? 1 : 3;
    const int status = run_with(faults);
    EXPECT_EQ(faults.interrupted[call], 0) << "call " << call << " was never made";
    EXPECT_EQ(status, kExitOk) << "call " << call << ": " << err;
    EXPECT_EQ(err, "") << "call " << call;
    EXPECT_EQ(folder.read("KASOR_max.dat"), expected) << "call " << call;
    EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n") << "call " << call;
  }
}

// Once the new result has its name, a folder that cannot be synced is worth
// a warning, not a failure: the result is in place. A file that cannot be
// synced on a file system that keeps nothing is none either.
TEST_F(FaultTest, AFolderThatCannotBeSyncedIsAWarning) {
  ASSERT_EQ(run(options_for_this_machine()), kExitOk);
  const std::string expected = folder.read("KASOR_max.dat");
  reset_runtime();
  platform::Faults faults;
  faults.folder_sync = true;
  EXPECT_EQ(run_with(faults), kExitOk);
  EXPECT_NE(err.find("Warnung: KASOR_max.dat ist geschrieben, doch der Ordner"), std::string::npos) << err;
  EXPECT_EQ(folder.read("KASOR_max.dat"), expected);
  // A file system that keeps nothing on a disk cannot sync a file (EINVAL):
  // nothing to wait for, and no failure.
  platform::Faults keeps_nothing;
  keeps_nothing.sync_error = EINVAL;
  folder.write("KASOR_max.dat", "older\r\n");
  EXPECT_EQ(run_with(keeps_nothing), kExitOk) << err;
  EXPECT_EQ(err, "");
  EXPECT_EQ(folder.read("KASOR_max.dat"), expected);
}

#ifndef _WIN32
// Ctrl-C once the new result has its name: the run is complete and ends so,
// with a line that says so, not with the status of a run that kept the
// older result.
TEST_F(FaultTest, AnInterruptionAfterTheRenameEndsAsACompletedRun) {
  ASSERT_EQ(run(options_for_this_machine()), kExitOk);
  const std::string expected = folder.read("KASOR_max.dat");
  reset_runtime();
  folder.write("KASOR_max.dat", "older\r\n");
  platform::Faults faults;
  faults.before_call = [](platform::Call call) {
    if (call == platform::Call::kFolderSync) std::raise(SIGINT);
  };
  EXPECT_EQ(run_with(faults), kExitOk);
  EXPECT_EQ(err, "Hinweis: abgebrochen, als KASOR_max.dat schon neu geschrieben war; das Ergebnis ist vollständig.\n");
  EXPECT_EQ(folder.read("KASOR_max.dat"), expected);
  // Started under nohup, SIGHUP ignored: a hangup while it writes ends nothing.
  std::signal(SIGHUP, SIG_IGN);
  platform::answer_interruptions();
  platform::Faults hangup;
  hangup.before_call = [](platform::Call call) {
    if (call == platform::Call::kWrite) std::raise(SIGHUP);
  };
  folder.write("KASOR_max.dat", "older\r\n");
  EXPECT_EQ(run_with(hangup), kExitOk);
  EXPECT_EQ(err, "");
  EXPECT_EQ(folder.read("KASOR_max.dat"), expected);
  std::signal(SIGHUP, SIG_DFL);
}

TEST_F(FaultTest, TheResultKeepsThePermissionsOfTheOneItReplaces) {
  using std::filesystem::perms;
  folder.write("KASOR_max.dat", "older\r\n");
  const perms kept = perms::owner_read | perms::owner_write | perms::group_read | perms::others_read;  // 0644
  std::filesystem::permissions(folder.path() / "KASOR_max.dat", kept);
  ASSERT_EQ(run(options_for_this_machine()), kExitOk);
  EXPECT_EQ(std::filesystem::status(folder.path() / "KASOR_max.dat").permissions(), kept);
}
#endif

// A file that changes between the open and the end of reading is still being
// written: its peaks are of no one moment, so the run warns and is not clean,
// and a last line without a line end (where the writer was) is not taken.
// Read in segments or in one pass, the outcome is the same.
TEST_F(FaultTest, AFileThatChangesWhileItIsReadIsNeverClean) {
  std::string input = "VECTOR\r\nND 2\r\nTS 0\r\n1 1\r\n2 2\r\n";
  for (int step = 1; step <= 20; ++step) input += "TS " + std::to_string(step) + "\r\n0.5 0.5\r\n0.5 0.5\r\n";
  const std::filesystem::path name = folder.path() / "KASOR.dat";
  const struct {
    const char* name;
    std::function<void()> change;
    const char* peaks;
    const char* warnings;
  } cases[] = {
      {"appended to, the last line cut", [&] { std::ofstream(name, std::ios::app) << "TS 2\r\n7 7\r\n8 8"; },
       "7             7\r\n2             2\r\n",
       "Warnung: KASOR.dat, Zeile 67: Die Datei endet im 22. Zeitschritt nach Knoten 1 von 2.\n"},
      {"replaced under its name",
       [&] {
         std::ofstream(folder.path() / "new", std::ios::binary) << "ND 2\r\nTS\r\n9 9\r\n9 9\r\n";
         std::filesystem::rename(folder.path() / "new", name);
       },
       "1             1\r\n2             2\r\n", ""},
  };
  for (const auto& c : cases) {
    for (int segments : {1, 2}) {
      folder.write("KASOR.dat", input);
      platform::Faults faults;
      faults.before_read = [&](std::uint64_t offset) {
        if (offset == 0) c.change();
      };
      RunOptions options = options_for_this_machine();
      options.read.segments = segments;
      options.read.parallel_from_bytes = 0;
      const int status = run_with(faults, options);
      const std::string where = std::string(c.name) + ", segments " + std::to_string(segments);
      EXPECT_EQ(status, kExitDamagedInput) << where;
      EXPECT_EQ(folder.read("KASOR_max.dat"), std::string("VECTOR\r\nND  2\r\nST  0\r\nTS  0.0\r\n") + c.peaks) << where;
      EXPECT_EQ(err.find(c.warnings), 0u) << where << ": " << err;
      EXPECT_NE(err.find("Warnung: KASOR.dat wurde während des Lesens verändert (wird sie noch geschrieben?).\n"),
                std::string::npos)
          << where << ": " << err;
    }
  }
}

// Segments read a file replaced under its name while the one pass reads the
// file it opened: their work is thrown away, and with it every node's peak,
// the last one too, in a table large enough that its pages are given memory
// rather than cleared.
TEST_F(FaultTest, WorkThrownAwayLeavesNoPeakBehind) {
  constexpr int kNodes = 5000;
  std::string input = "ND " + std::to_string(kNodes) + "\r\n";
  for (int step = 0; step < 8; ++step) {
    input += "TS " + std::to_string(step) + "\r\n";
    for (int node = 1; node <= kNodes; ++node) input += "0.5 0.5\r\n";
  }
  const std::filesystem::path name = folder.path() / "KASOR.dat";
  folder.write("KASOR.dat", input);
  std::string replaced = input;
  replaced.replace(replaced.find("TS 1\r\n") - 9, 7, "9.5 9.5");  // the last node, early on
  platform::Faults faults;
  faults.before_read = [&](std::uint64_t offset) {
    if (offset != 0) return;
    std::ofstream(folder.path() / "new", std::ios::binary) << replaced;
    std::filesystem::rename(folder.path() / "new", name);
  };
  RunOptions options = options_for_this_machine();
  options.read.segments = 2;
  options.read.parallel_from_bytes = 0;
  EXPECT_EQ(run_with(faults, options), kExitDamagedInput);
  const std::string result = folder.read("KASOR_max.dat");
  EXPECT_EQ(result.substr(result.size() - 19), "0.5           0.5\r\n");
}

TEST_F(FaultTest, ExactlyEnoughRoomIsEnough) {
  const std::int64_t size = result_size();
  platform::Faults faults;
  faults.write_after = size;
  EXPECT_EQ(run_with(faults), kExitOk);
  EXPECT_EQ(static_cast<std::int64_t>(folder.read("KASOR_max.dat").size()), size);
  EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n");
}

}  // namespace
