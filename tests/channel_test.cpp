#include "platform/channels.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/files/input_channel.h"
#include "platform/runtime.h"
#include "runtime_reset.h"
#include "temp_folder.h"

namespace {

class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_runtime();
    platform::__vbaOnError(-1);
  }
  void TearDown() override { reset_runtime(); }
  TempFolder folder;
};

TEST_F(ChannelTest, MissingInputIsNotFound) {
  EXPECT_FALSE(platform::__vbaFileOpen(platform::kModeInput, 1, folder.path() / "KASOR.dat"));
  EXPECT_EQ(platform::error_number(), platform::kFileNotFound);
  EXPECT_EQ(platform::input_channel(1), nullptr);
}

TEST_F(ChannelTest, AFolderDoesNotOpenAsInput) {
  std::filesystem::create_directory(folder.path() / "KASOR.dat");
  EXPECT_FALSE(platform::__vbaFileOpen(platform::kModeInput, 1, folder.path() / "KASOR.dat"));
  EXPECT_GT(platform::error_number(), 0);
  EXPECT_EQ(platform::input_channel(1), nullptr);
}

TEST_F(ChannelTest, NameIsMatchedWithoutCaseWhenExactlyOneEntryFits) {
  folder.write("kasor.DAT", "ND 1\n");
  EXPECT_TRUE(platform::__vbaFileOpen(platform::kModeInput, 1, folder.path() / "KASOR.dat"));
  ASSERT_NE(platform::input_channel(1), nullptr);
  EXPECT_FALSE(platform::input_channel(1)->at_end());
}

TEST_F(ChannelTest, NameIsNotGuessedWhenSeveralEntriesFit) {
  folder.write("kasor.dat", "a");
  folder.write("Kasor.Dat", "b");
  EXPECT_FALSE(platform::__vbaFileOpen(platform::kModeInput, 1, folder.path() / "KASOR.dat"));
  EXPECT_EQ(platform::error_number(), platform::kNameAmbiguous);
  EXPECT_EQ(platform::failure_of_this_thread().reason, "Kasor.Dat, kasor.dat");
}

TEST_F(ChannelTest, AChannelInUseCannotBeOpenedAgain) {
  folder.write("a", "1");
  ASSERT_TRUE(platform::__vbaFileOpen(platform::kModeInput, 1, folder.path() / "a"));
  EXPECT_FALSE(platform::__vbaFileOpen(platform::kModeInput, 1, folder.path() / "a"));
  EXPECT_EQ(platform::error_number(), platform::kChannelInUse);
  EXPECT_NE(platform::input_channel(1), nullptr);
}

TEST_F(ChannelTest, EmptyFileAndByteOrderMarkAloneAreAtTheEnd) {
  for (const char* bytes : {"", "\xEF\xBB\xBF"}) {
    folder.write("in", bytes);
    platform::InputChannel in;
    ASSERT_TRUE(in.open_file(folder.path() / "in").ok());
    EXPECT_TRUE(in.at_end());
  }
}

TEST_F(ChannelTest, ALineAcrossTheBufferEndIsReadWhole) {
  // The first line fills the buffer but for 10 bytes; the second starts there
  // and ends 100 bytes into the next buffer's worth, at the end of the file.
  std::string bytes(platform::kBufferSize - 11, 'a');
  bytes += '\n' + std::string(109, 'b') + 'z';
  folder.write("in", bytes);
  platform::InputChannel in;
  ASSERT_TRUE(in.open_file(folder.path() / "in").ok());
  std::string line;
  ASSERT_TRUE(in.read_line(line));
  ASSERT_TRUE(in.read_line(line));
  EXPECT_EQ(line, std::string(109, 'b') + 'z');
  EXPECT_TRUE(in.at_end());
}

// An item that is no number, or none at all, leaves its variable as it was.
TEST_F(ChannelTest, FailedReadsLeaveTheVariables) {
  folder.write("in", "1.5 abc\nlast");
  platform::InputChannel in;
  ASSERT_TRUE(in.open_file(folder.path() / "in").ok());
  float x = 7, y = 8;
  EXPECT_EQ(in.read_item(platform::kItemSingle, x), platform::ItemResult::kRead);
  EXPECT_EQ(in.read_item(platform::kItemSingle, y), platform::ItemResult::kUnreadable);
  EXPECT_EQ(x, 1.5f);
  EXPECT_EQ(y, 8.0f);
  in.end_item_line();
  std::string line = "before";
  EXPECT_TRUE(in.read_line(line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(in.read_line(line));
  EXPECT_EQ(line, "last");
  EXPECT_EQ(in.read_item(platform::kItemSingle, x), platform::ItemResult::kEndOfData);
  EXPECT_EQ(x, 1.5f);
}

// Where the search for the next line that starts with "TS" stops: at the
// same line start as reading line by line, whatever ends the lines (LF, CR
// LF, CR alone, a NUL within a line), in small inputs and in one that spans
// many fills of the buffer.
TEST(SkipToLine, StopsWhereReadingLineByLineFindsTheLine) {
  auto by_lines = [](const std::string& text) -> long long {
    platform::InputChannel in;
    EXPECT_TRUE(in.open_memory(text.data(), text.size()).ok());
    std::string line;
    for (;;) {
      const auto start = static_cast<long long>(in.offset());
      if (!in.read_line(line)) return -1;
      if (line.rfind("TS", 0) == 0) return start;
    }
  };
  auto by_search = [](const std::string& text) -> long long {
    platform::InputChannel in;
    EXPECT_TRUE(in.open_memory(text.data(), text.size()).ok());
    return in.skip_to_line_starting('T', 'S') ? static_cast<long long>(in.offset()) : -1;
  };
  std::mt19937 rng(5);
  const std::string pieces[] = {"T", "S", "TS", "x", "\n", "\r", "\r\n", std::string(1, '\0'), "ts"};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(rng() % 30);
    for (int i = 0; i < count; ++i) text += pieces[rng() % std::size(pieces)];
    ASSERT_EQ(by_search(text), by_lines(text)) << testing::PrintToString(text);
  }
  // A line longer than the buffer, which ends in its middle, just before a "TS".
  for (std::size_t length : {platform::kBufferSize - 1, platform::kBufferSize, platform::kBufferSize + 1}) {
    const std::string long_line = std::string(length, 'x') + "TS\nTS\n";
    EXPECT_EQ(by_search(long_line), by_lines(long_line)) << length;
  }
  std::string big;
  while (big.size() < 3 * platform::kBufferSize) big += "-1.5 2.25\nxTS 1\r\n";
  big += "\rT\rTS 9\n";
  EXPECT_EQ(by_search(big), by_lines(big));
  EXPECT_EQ(by_search(big), static_cast<long long>(big.size()) - 5);
}

}  // namespace
