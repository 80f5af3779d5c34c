// The built program, run in fresh working folders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

#include "temp_folder.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>
#endif

namespace {

// Run under an emulator (a cross build's tests): its memory is the emulator's too.
constexpr bool kEmulated = sizeof(KASOR_RUNNER) > 1;

struct Ran {
  int status;
  std::string err;
};

class EndToEnd : public ::testing::Test {
 protected:
  // Runs kasor-max in the test's folder; `shell_prefix` goes before it (a
  // ulimit, say), `arguments` after it.
  Ran run(const std::string& shell_prefix = "", const std::string& arguments = "") {
    const std::filesystem::path err = folder.path().string() + ".err";
    // KASOR_RUNNER: what runs the program (an emulator for a cross build), or nothing.
    const std::string command =
        shell_prefix + KASOR_RUNNER " \"" KASOR_MAX_PATH "\" " + arguments + " 2> \"" + err.string() + "\"";
    const int raw = std::system(command.c_str());
    std::ifstream in(err, std::ios::binary);
    Ran ran{-1, std::string(std::istreambuf_iterator<char>(in), {})};
    std::filesystem::remove(err);
#ifdef _WIN32
    ran.status = raw;
#else
    if (WIFEXITED(raw)) ran.status = WEXITSTATUS(raw);
#endif
    return ran;
  }
  TempFolder folder;
};

const char kTenLines[] = "VECTOR\nND 2\nST 0\nTS 0 0.0\n1.0 0.0\n0.0 1.0\nTS 0 60.0\n0.0 -2.0\n0.5 0.5\nENDDS\n";

TEST_F(EndToEnd, TheTenLineExampleByteForByte) {
  folder.write("KASOR.dat", kTenLines);
  const Ran ran = run();
  EXPECT_EQ(ran.status, 0);
  EXPECT_EQ(ran.err, "");
  EXPECT_EQ(folder.read("KASOR_max.dat"),
            "VECTOR\r\nND  2\r\nST  0\r\nTS  0.0\r\n0             -2\r\n0             1\r\n");
  EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n");
}

TEST_F(EndToEnd, TheResultReadBackGivesItself) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> component(-1000, 1000);
  std::string input = "VECTOR\r\nND 3000\r\nST 0\r\n";
  for (int step = 0; step < 4; ++step) {
    input += "TS 0 " + std::to_string(step) + "\r\n";
    for (int node = 0; node < 3000; ++node) {
      char line[80];
      std::snprintf(line, sizeof line, (node % 8) ? "%.6f %.6f\r\n" : "%.6e %.6e\r\n", component(rng), component(rng));
      input += line;
    }
  }
  folder.write("KASOR.dat", input + "ENDDS\r\n");
  ASSERT_EQ(run().status, 0);
  const std::string first = folder.read("KASOR_max.dat");
  folder.write("KASOR.dat", first);
  ASSERT_EQ(run().status, 0);
  EXPECT_EQ(folder.read("KASOR_max.dat"), first);
}

// A count line that names no count keeps the older result; so does a read
// that cannot start. Cut or grown files are written, but never called clean.
TEST_F(EndToEnd, DoubtfulInputsNeverEndWithStatusZero) {
  const char kOlder[] = "VECTOR\r\nND  1\r\nST  0\r\nTS  0.0\r\n7             8\r\n";
  const struct {
    const char* input;
    int status;
    const char* warning;
  } cases[] = {
      {"VECTOR\nTS 0\n1 1\n", 3, "Fehler: KASOR.dat enthält keine Zeile mit der Knotenzahl (ND)"},
      {"VECTOR\r\nND abc\r\nTS\r\n1 1\r\n", 3, "Zeile 2: „ND abc“ nennt keine Knotenzahl"},
      {"ND 2\r\nST 0\r\n", 4, "enthält keinen Zeitschritt (TS)"},
      {"ND 2\r\nTS 1\r\n1.0 1.0\r\n1.0 2.221597e-0", 4, "Zeile 4: Die letzte Zeile hat kein Zeilenende"},
      {"ND 2\r\nTS 1\r\n1.0 1.0\r\n1.0 2.221597e-0", 4, "ist beschädigt: 1 beschädigte Stelle insgesamt"},
  };
  for (const auto& c : cases) {
    folder.write("KASOR_max.dat", kOlder);
    folder.write("KASOR.dat", c.input);
    const Ran ran = run();
    EXPECT_EQ(ran.status, c.status) << c.input;
    EXPECT_NE(ran.err.find(c.warning), std::string::npos) << ran.err;
    EXPECT_EQ(folder.read("KASOR_max.dat") == kOlder, c.status == 3) << c.input;
  }
}

TEST_F(EndToEnd, AnOlderLongerResultIsReplacedWhole) {
  folder.write("KASOR_max.dat", std::string(100000, 'z'));
  folder.write("KASOR.dat", "ND 1\nTS\n-0.5 2e-3\n");
  EXPECT_EQ(run().status, 0);
  EXPECT_EQ(folder.read("KASOR_max.dat"), "VECTOR\r\nND  1\r\nST  0\r\nTS  0.0\r\n-0.5          0.002\r\n");
}

TEST_F(EndToEnd, DamagedInputStillWritesWhatWasRead) {
  folder.write("KASOR.dat", "ND 3\nTS 0\n1 1\n2 oops\n3 3\nTS 1\n4 4\n");
  const Ran ran = run();
  EXPECT_EQ(ran.status, 4);
  EXPECT_EQ(ran.err,
            "Warnung: KASOR.dat, Zeile 4: Wert nicht lesbar, Wertepaar von Knoten 2 ignoriert.\n"
            "Warnung: KASOR.dat, Zeile 7: Die Datei endet im 2. Zeitschritt nach Knoten 1 von 3.\n"
            "Warnung: KASOR.dat ist beschädigt: 2 beschädigte Stellen insgesamt; das Ergebnis enthält nur die lesbaren "
            "Wertepaare.\n");
  EXPECT_EQ(folder.read("KASOR_max.dat"),
            "VECTOR\r\nND  3\r\nST  0\r\nTS  0.0\r\n4             4\r\n0             0\r\n3             3\r\n");
  // Large numbers with a dot between thousands.
  std::string large = "ND 1500\nTS\n";
  for (int node = 1; node <= 1500; ++node) large += node == 1001 ? "1 x\n" : "1 1\n";
  folder.write("KASOR.dat", large);
  EXPECT_NE(run().err.find("Zeile 1.003: Wert nicht lesbar, Wertepaar von Knoten 1.001 ignoriert.\n"), std::string::npos);
}

#ifndef _WIN32
// The system's reason in the program's own words: here, no permission to read
// the input, and none to write in the folder. Run as a user that permissions
// hold back; root passes them, so as root the program runs as nobody.
TEST_F(EndToEnd, NoPermissionSaysSoInGerman) {
  std::string as_user;
  if (geteuid() == 0) {
    if (std::system("command -v setpriv > /dev/null") != 0) GTEST_SKIP() << "root, and no setpriv to run as another user";
    as_user = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  const auto unreadable = folder.path() / "unreadable";
  const auto read_only = folder.path() / "read-only";
  for (const auto& sub : {unreadable, read_only}) {
    std::filesystem::create_directory(sub);
    std::ofstream(sub / "KASOR.dat") << kTenLines;
  }
  // A result that anybody may write, in a folder where nobody but its owner may make a file.
  std::ofstream(read_only / "KASOR_max.dat") << "older\r\n";
  std::filesystem::permissions(read_only / "KASOR_max.dat", std::filesystem::perms::all);
  std::filesystem::permissions(unreadable / "KASOR.dat", std::filesystem::perms::none);
  std::filesystem::permissions(unreadable, std::filesystem::perms::all);
  std::filesystem::permissions(read_only, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                              std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                              std::filesystem::perms::others_exec);
  const Ran cannot_read = run("cd unreadable && " + as_user);
  EXPECT_EQ(cannot_read.status, 1);
  EXPECT_NE(cannot_read.err.find(": KASOR.dat lässt sich nicht lesen (keine Berechtigung).\n"), std::string::npos)
      << cannot_read.err;
  const Ran cannot_write = run("cd read-only && " + as_user);
  EXPECT_EQ(cannot_write.status, 2);
  // The folder is what refuses: it is named.
  EXPECT_NE(cannot_write.err.find("KASOR_max.dat konnte nicht geschrieben werden: im Ordner " + read_only.string() +
                                  " lässt sich keine Datei anlegen (keine Berechtigung)"),
            std::string::npos)
      << cannot_write.err;
  std::filesystem::permissions(unreadable / "KASOR.dat", std::filesystem::perms::owner_all);
}
#endif

TEST_F(EndToEnd, AResultThatCannotBeWrittenLeavesNothingBehind) {
  std::filesystem::create_directory(folder.path() / "KASOR_max.dat");
  folder.write("KASOR.dat", kTenLines);
  const Ran ran = run();
  EXPECT_EQ(ran.status, 2);
  EXPECT_NE(ran.err.find("Fehler: KASOR_max.dat konnte nicht geschrieben werden"), std::string::npos) << ran.err;
  EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n");
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "KASOR_max.dat"));
}

// Asked for help or the version, the program says it on standard output and
// touches no file; any other argument is ignored, with a line that says so,
// and the run goes on.
TEST_F(EndToEnd, HelpAndVersionTouchNoFile) {
  folder.write("KASOR.dat", kTenLines);
  const std::filesystem::path out = folder.path().string() + ".out";
  for (const char* argument : {"--version", "--help", "-h"}) {
    const Ran ran = run("", std::string(argument) + " > \"" + out.string() + "\"");
    std::ifstream in(out, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(ran.status, 0) << argument;
    EXPECT_EQ(ran.err, "") << argument;
    EXPECT_EQ(text.rfind("kasor-max " KASOR_VERSION, 0), 0u) << argument << ": " << text;
    EXPECT_EQ(folder.listing(), "KASOR.dat\n") << argument;
  }
  std::filesystem::remove(out);
  const Ran unknown = run("", "--bogus anderes.dat");
  EXPECT_EQ(unknown.status, 0);
  EXPECT_EQ(unknown.err, "Hinweis: unbekannte Argumente „--bogus“, „anderes.dat“ ignoriert; kasor-max liest immer "
                         "KASOR.dat im Arbeitsordner (kasor-max --help zeigt mehr).\n");
  EXPECT_EQ(folder.listing(), "KASOR.dat\nKASOR_max.dat\n");
}

// The message, and where the program looked and why it found nothing it
// could read there.
TEST_F(EndToEnd, MissingInputSaysWhereAndWhy) {
  const std::string searched = "Fehler: KASOR.dat nicht gefunden!\nGesucht im Ordner " + folder.path().string() + ": ";
  const struct {
    const char* case_name;
    std::function<void()> prepare;
    const char* cause;
  } cases[] = {
      {"missing", [] {}, "dort gibt es keine Datei KASOR.dat.\n"},
      {"a folder", [&] { std::filesystem::create_directory(folder.path() / "KASOR.dat"); },
       "KASOR.dat ist dort ein Ordner, keine Datei.\n"},
#ifndef _WIN32
      {"two names apart from case",
       [&] {
         folder.write("kasor.DAT", "a");
         folder.write("Kasor.dat", "b");
       },
       "mehrere Dateien heißen bis auf Groß- und Kleinschreibung KASOR.dat (Kasor.dat, kasor.DAT), und welche "
       "gemeint ist, bleibt offen.\n"},
#endif
  };
  for (const auto& c : cases) {
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) std::filesystem::remove_all(entry);
    c.prepare();
    const std::string before = folder.listing();
    const Ran ran = run();
    EXPECT_EQ(ran.status, 1) << c.case_name;
    EXPECT_EQ(ran.err, searched + c.cause) << c.case_name;
    EXPECT_EQ(folder.listing(), before) << c.case_name;
  }
}

#ifndef _WIN32
// Without a working folder there is nowhere to look: the run reports the
// input missing and creates nothing. The shell that starts it goes into a
// folder and removes it; this test process stays where it is.
TEST_F(EndToEnd, AWorkingFolderThatIsGoneOpensNothing) {
  std::filesystem::create_directory(folder.path() / "gone");
  folder.write("gone/KASOR.dat", kTenLines);
  const Ran ran = run("cd gone && rm -r ../gone && ");
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.err.rfind("Fehler: KASOR.dat nicht gefunden!\nDer Arbeitsordner ist nicht mehr vorhanden (", 0), 0u)
      << ran.err;
  EXPECT_EQ(folder.listing(), "");
}
#endif

#ifndef _WIN32
// Whatever the input, the run's memory stays bounded:
// the peak table (26 MiB) and the buffers, never a whole line or file. The
// peak is measured by /usr/bin/time, which starts the program from a small
// process (a child of this big test process would count its memory too).
TEST_F(EndToEnd, ResourcesStayBoundedWhateverTheInput) {
  if (kEmulated) GTEST_SKIP() << "under an emulator, whose memory this would measure";
  const bool can_measure = std::filesystem::exists("/usr/bin/time");
  const std::filesystem::path rss_file = folder.path().string() + ".rss";
  const auto mib = [](int n, char c) { return std::string(static_cast<std::size_t>(n) << 20, c); };
  const struct {
    const char* name;
    std::function<std::string()> input;
    int status;  // -1: any of 0, 3, 4
  } cases[] = {
      {"a 200 MiB line without a line end", [&] { return mib(200, 'x'); }, 3},
      {"a count line of megabytes of blanks", [&] { return "ND" + mib(8, ' ') + "3\nTS\n1 1\n"; }, 3},
      {"a line of 200 MiB inside a block", [&] { return "ND 2\nTS\n1 1\n" + mib(200, '7') + "\n2 2\n"; }, 4},
      {"the largest count with one short block", [] { return std::string("ND 2200000\nTS 0\n1 2\n"); }, 4},
      {"random bytes",
       [] {
         std::string bytes(20 << 20, '\0');
         std::mt19937_64 rng(1);
         for (char& c : bytes) c = static_cast<char>(rng());
         return bytes;
       },
       -1},
  };
  for (const auto& c : cases) {
    folder.write("KASOR.dat", c.input());
    const Ran ran = run(can_measure ? "/usr/bin/time -f %M -o \"" + rss_file.string() + "\" " : "");
    if (c.status >= 0) {
      EXPECT_EQ(ran.status, c.status) << c.name << "\n" << ran.err.substr(0, 500);
    } else {
      EXPECT_TRUE(ran.status == 0 || ran.status == 3 || ran.status == 4) << c.name << ": " << ran.status;
    }
#ifndef KASOR_SANITIZE
    if (can_measure) {
      // The last line holds the figure (a line about the exit status may come first).
      std::ifstream in(rss_file);
      std::string line, last;
      while (std::getline(in, line)) last = line;
      const long kib = std::atol(last.c_str());
      EXPECT_GT(kib, 0) << c.name;
      EXPECT_LT(kib, 64 * 1024) << c.name << ": peak resident KiB";
    }
#endif
    if (c.status == 4 && std::string(c.name).find("largest") != std::string::npos) {
      const std::string result = folder.read("KASOR_max.dat");
      EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 4 + 2200000) << "every node has its line";
    }
  }
  std::filesystem::remove(rss_file);
}

// A named pipe is written while it is read by its nature: that is no file
// that changed under the reader.
TEST_F(EndToEnd, AnInputThroughAPipeIsReadAsAFile) {
  ASSERT_EQ(mkfifo((folder.path() / "KASOR.dat").c_str(), 0600), 0);
  const Ran ran = run(std::string("(printf '") + "VECTOR\\nND 2\\nST 0\\nTS 0 0.0\\n1.0 0.0\\n0.0 1.0\\nTS 0 60.0\\n" +
                      "0.0 -2.0\\n0.5 0.5\\nENDDS\\n' > KASOR.dat &); ");
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(folder.read("KASOR_max.dat"),
            "VECTOR\r\nND  2\r\nST  0\r\nTS  0.0\r\n0             -2\r\n0             1\r\n");
}

TEST_F(EndToEnd, NoMemoryForThePeakTable) {
#ifdef KASOR_SANITIZE
  GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
#endif
  if (kEmulated) GTEST_SKIP() << "an emulator needs more address space than the limit leaves";
  folder.write("KASOR.dat", kTenLines);
  const Ran ran = run("ulimit -v 15000; ");
  EXPECT_EQ(ran.status, 5);
  EXPECT_NE(ran.err.find("Knotentabelle"), std::string::npos) << ran.err;
  EXPECT_EQ(folder.listing(), "KASOR.dat\n");
}
#endif

}  // namespace
