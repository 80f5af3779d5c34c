#include "platform/runtime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/channels.h"
#include "platform/numbers/math.h"
#include "platform/system/memory.h"
#include "runtime_reset.h"

namespace {

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_runtime(); }
  void TearDown() override { reset_runtime(); }
};

TEST_F(RuntimeTest, ErrorNumberStartsAtZeroAndKeepsTheLatestFailure) {
  EXPECT_EQ(platform::error_number(), 0);
  platform::__vbaOnError(-1);
  EXPECT_FALSE(platform::record(platform::failure(platform::kReadFailed, "first")));
  EXPECT_EQ(platform::error_number(), platform::kReadFailed);
  EXPECT_FALSE(platform::record(platform::failure(platform::kWriteFailed, "second")));
  EXPECT_EQ(platform::failure_of_this_thread().error, platform::kWriteFailed);
  EXPECT_EQ(platform::failure_of_this_thread().reason, "second");
}

TEST_F(RuntimeTest, TheFaceOpensOnlyTheInputOnChannelOne) {
  platform::__vbaOnError(-1);
  EXPECT_FALSE(platform::__vbaFileOpen(platform::kModeInput, 0, "x"));
  EXPECT_EQ(platform::error_number(), platform::kBadCall);
  EXPECT_FALSE(platform::__vbaFileOpen(2, 1, "x"));  // output is the writer's own
  EXPECT_EQ(platform::error_number(), platform::kBadCall);
  std::int32_t value = 7;
  EXPECT_FALSE(platform::__vbaI4ErrVar("3.5", value));
  EXPECT_EQ(value, 7);
}

TEST_F(RuntimeTest, AFailureBeforeContinueOnFailureEndsTheRun) {
  EXPECT_EXIT(platform::__vbaFileOpen(platform::kModeInput, 3, "x"), ::testing::ExitedWithCode(platform::kExitStartFailed),
              "Fehler: unerwarteter Fehler im Programm \\(Nummer 1");
}

TEST_F(RuntimeTest, ContinueOnFailureCanBeSwitchedOffAgain) {
  platform::__vbaOnError(-1);
  platform::__vbaOnError(0);
  EXPECT_EXIT(platform::record(platform::failure(platform::kBadCall, "x")), ::testing::ExitedWithCode(platform::kExitStartFailed),
              "Nummer 1");
}

TEST(Math, SquareIsExactForWidenedSingles) {
  // 16777215 = 2^24 - 1: its square needs 48 bits, which a double holds exactly.
  EXPECT_EQ(platform::__vbaPowerR8(16777215.0, 2.0), 281474943156225.0);
  EXPECT_EQ(platform::__vbaPowerR8(-3.0, 2.0), 9.0);
  EXPECT_EQ(platform::__vbaPowerR8(2.0, 10.0), 1024.0);
  EXPECT_EQ(platform::square_root(2.0), 1.4142135623730951);
}

}  // namespace

// Giving pages their memory at once must not change what they hold.
TEST(Memory, PopulatingKeepsWhatThePagesHold) {
  std::vector<std::uint32_t> words(1 << 20);
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint32_t>(i * 2654435761u);
  platform::populate_for_writing(words.data() + 3, (words.size() - 5) * sizeof(std::uint32_t));
  for (std::size_t i = 0; i < words.size(); ++i) {
    ASSERT_EQ(words[i], static_cast<std::uint32_t>(i * 2654435761u)) << i;
  }
}
