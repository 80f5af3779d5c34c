#include "run/arguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

Asked asked(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "kasor-max");
  return what_is_asked(static_cast<int>(arguments.size()), arguments.data());
}

TEST(Arguments, OnlyHelpAndVersionAreRecognised) {
  EXPECT_EQ(asked({}), Asked::kRun);
  EXPECT_EQ(asked({"--version"}), Asked::kVersion);
  EXPECT_EQ(asked({"--help"}), Asked::kHelp);
  EXPECT_EQ(asked({"-h"}), Asked::kHelp);
  // Anything else is ignored, as scripts that pass arguments expect.
  EXPECT_EQ(asked({"--versions"}), Asked::kRun);
  EXPECT_EQ(asked({"-help"}), Asked::kRun);
  EXPECT_EQ(asked({"KASOR.dat", "-v"}), Asked::kRun);
  EXPECT_EQ(asked({"--bogus", "--version"}), Asked::kVersion);
  EXPECT_EQ(asked({"-h", "--version"}), Asked::kHelp);  // the first decides
#ifdef _WIN32
  EXPECT_EQ(asked({"/?"}), Asked::kHelp);
#else
  EXPECT_EQ(asked({"/?"}), Asked::kRun);  // a path here
#endif
}

TEST(Arguments, HelpNamesEveryExitStatus) {
  const std::string help = help_text("9.8.7");
  EXPECT_EQ(help.rfind("kasor-max 9.8.7", 0), 0u);
  for (const char* status : {"\n  0  ", "\n  1  ", "\n  2  ", "\n  3  ", "\n  4  ", "\n  5  "}) {
    EXPECT_NE(help.find(status), std::string::npos) << status;
  }
}

}  // namespace
