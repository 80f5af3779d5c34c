#include "platform/files/print.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>

#include "input/read_data_set.h"
#include "platform/runtime.h"
#include "sweep.h"
#include "temp_folder.h"

namespace {

using platform::kItemInteger;
using platform::kItemSingle;
using platform::kItemText;
using platform::kThenDirectly;
using platform::kThenLineEnd;
using platform::kThenNextZone;

constexpr std::uint8_t kPair[] = {0x02, 0x00, kItemSingle | kThenNextZone, kItemSingle | kThenLineEnd};

class PrintTest : public ::testing::Test {
 protected:
  void open() { ASSERT_TRUE(out.open_file(folder.path() / "out").ok()); }
  std::string close_and_read() {
    EXPECT_TRUE(out.close().ok());
    return folder.read("out");
  }
  std::string pair_line(float x, float y) {
    open();
    EXPECT_TRUE(platform::print(out, kPair, x, y).ok());
    return close_and_read();
  }
  TempFolder folder;
  platform::OutputChannel out;
};

TEST_F(PrintTest, SecondItemStartsAtTheNextZoneWithABlankBefore) {
  for (std::size_t length = 1; length <= 30; ++length) {
    open();
    constexpr std::uint8_t kTexts[] = {0x02, 0x00, kItemText | kThenNextZone, kItemText | kThenLineEnd};
    ASSERT_TRUE(platform::print(out, kTexts, std::string_view(std::string(length, 'x')), std::string_view("y")).ok());
    const std::string line = close_and_read();
    const std::size_t column = line.find('y');
    EXPECT_EQ(column % platform::kPrintZone, 0u) << length;
    EXPECT_GT(column, length) << length;
    EXPECT_LE(column, length + platform::kPrintZone) << length;
  }
}

TEST_F(PrintTest, TheHeaderLines) {
  open();
  constexpr std::uint8_t kText[] = {0x01, 0x00, kItemText | kThenLineEnd};
  constexpr std::uint8_t kCount[] = {0x02, 0x00, kItemText | kThenDirectly, kItemInteger | kThenLineEnd};
  EXPECT_TRUE(platform::print(out, kText, std::string_view("VECTOR")).ok());
  EXPECT_TRUE(platform::print(out, kCount, std::string_view("ND  "), std::int32_t{2}).ok());
  EXPECT_TRUE(platform::print(out, kCount, std::string_view("ND  "), std::int32_t{-4}).ok());
  EXPECT_TRUE(platform::print(out, kCount, std::string_view("ND  "), std::int32_t{INT32_MIN}).ok());
  EXPECT_EQ(close_and_read(), "VECTOR\r\nND  2\r\nND  -4\r\nND  -2147483648\r\n");
}

TEST_F(PrintTest, WrongDescriptorsAreRefused) {
  open();
  constexpr std::uint8_t kOne[] = {0x01, 0x00, kItemSingle | kThenLineEnd};
  constexpr std::uint8_t kShort[] = {0x02, 0x00, kItemSingle};
  EXPECT_EQ(platform::print(out, kOne, std::int32_t{1}).error, platform::kBadCall);  // a whole number is no single
  EXPECT_EQ(platform::print(out, kShort, 1.0f, 2.0f).error, platform::kBadCall);
  EXPECT_EQ(platform::print(out, kOne, 1.0f, 2.0f).error, platform::kBadCall);
  EXPECT_EQ(close_and_read(), "");
}

// Whatever is printed reads back as exactly the same single.
TEST_F(PrintTest, NodeLinesReadBackBitForBit) {
  std::mt19937 rng(2024);
  std::vector<std::pair<float, float>> pairs;
  while (pairs.size() < static_cast<std::size_t>(sweep(50000))) {
    const float x = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
    const float y = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
    if (!std::isnan(x) && !std::isnan(y)) pairs.emplace_back(x, y);
  }
  ASSERT_TRUE(out.open_file(folder.path() / "KASOR.dat").ok());
  constexpr std::uint8_t kCount[] = {0x02, 0x00, kItemText | kThenDirectly, kItemInteger | kThenLineEnd};
  constexpr std::uint8_t kText[] = {0x01, 0x00, kItemText | kThenLineEnd};
  ASSERT_TRUE(platform::print(out, kCount, std::string_view("ND  "), static_cast<std::int32_t>(pairs.size())).ok());
  ASSERT_TRUE(platform::print(out, kText, std::string_view("TS  0.0")).ok());
  for (auto [x, y] : pairs) ASSERT_TRUE(platform::print(out, kPair, x, y).ok());
  ASSERT_TRUE(out.close().ok());

  PeakTable table;
  ASSERT_TRUE(create_peak_table(table));
  platform::InputChannel in;
  ASSERT_TRUE(in.open_file(folder.path() / "KASOR.dat").ok());
  std::int32_t count = 0;
  const ReadResult read = read_data_set(in, table, count, ReadOptions{});
  EXPECT_EQ(read.damaged_places, 0u);
  ASSERT_EQ(count, static_cast<std::int32_t>(pairs.size()));
  for (std::int32_t node = 1; node <= count; ++node) {
    const auto [x, y] = pairs[static_cast<std::size_t>(node - 1)];
    if (x == 0 && y == 0) continue;  // never offered a larger value than 0: stays 0
    ASSERT_EQ(std::bit_cast<std::uint32_t>(table.x[node]), std::bit_cast<std::uint32_t>(x)) << node;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(table.y[node]), std::bit_cast<std::uint32_t>(y)) << node;
  }
  release_peak_table(table);
}

TEST_F(PrintTest, NothingReplacesTheTargetUntilTheCloseSucceeds) {
  folder.write("out", "old");
  open();
  EXPECT_TRUE(platform::print(out, kPair, 1.0f, 2.0f).ok());
  EXPECT_EQ(folder.read("out"), "old");
  out.discard();
  EXPECT_EQ(folder.read("out"), "old");
  EXPECT_EQ(folder.listing(), "out\n");
  EXPECT_EQ(pair_line(1, 2), "1             2\r\n");
  EXPECT_EQ(folder.listing(), "out\n");
}

TEST_F(PrintTest, ATargetThatCannotBeReplacedLeavesNothingBehind) {
  std::filesystem::create_directory(folder.path() / "out");
  open();
  EXPECT_TRUE(platform::print(out, kPair, 1.0f, 2.0f).ok());
  EXPECT_EQ(out.close().error, platform::kWriteFailed);
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "out"));
  EXPECT_EQ(folder.listing(), "out\n");
  // A folder that does not exist: nothing can be created.
  EXPECT_FALSE(out.open_file(folder.path() / "no" / "out").ok());
  EXPECT_FALSE(out.is_open());
}

TEST_F(PrintTest, LongOutputGoesThroughTheBuffer) {
  open();
  const std::string text(3 * platform::kBufferSize + 5, 'a');
  constexpr std::uint8_t kText[] = {0x01, 0x00, kItemText | kThenLineEnd};
  ASSERT_TRUE(platform::print(out, kText, std::string_view(text)).ok());
  for (int i = 0; i < 200000; ++i) ASSERT_TRUE(platform::print(out, kPair, 0.5f, -0.25f).ok());
  const std::string bytes = close_and_read();
  ASSERT_EQ(bytes.size(), text.size() + 2 + 200000 * std::string("0.5           -0.25\r\n").size());
  EXPECT_EQ(bytes.substr(text.size(), 23), "\r\n0.5           -0.25\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 21), "0.5           -0.25\r\n");
}

// The node lines' own printer writes what the descriptor does, wherever the
// zones fall.
TEST_F(PrintTest, PairLinesAsTheDescriptorPrintsThem) {
  std::mt19937 rng(14);
  const float specials[] = {0, -0.0f, 1e-45f, -3.4028235e38f, std::numeric_limits<float>::infinity(), 123456.7f};
  platform::OutputChannel by_descriptor, by_printer;
  ASSERT_TRUE(by_descriptor.open_memory().ok() && by_printer.open_memory().ok());
  for (int i = 0; i < 20000; ++i) {
    const float x = i % 8 ? std::bit_cast<float>(static_cast<std::uint32_t>(rng())) : specials[rng() % 6];
    const float y = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
    ASSERT_TRUE(platform::print(by_descriptor, kPair, x, y).ok());
    ASSERT_TRUE(platform::print_pair_line(by_printer, x, y));
    ASSERT_EQ(by_printer.printed(), by_descriptor.printed());
    by_descriptor.empty();
    by_printer.empty();
  }
}

}  // namespace

