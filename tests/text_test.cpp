#include "platform/numbers/text.h"
#include "platform/numbers/whole_number.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, LeftAndMiddleParts) {
  EXPECT_EQ(platform::left_part("ENDDS and more", 5), "ENDDS");
  EXPECT_EQ(platform::left_part("TS", 5), "TS");  // shorter: the whole text
  EXPECT_EQ(platform::left_part("", 2), "");
  EXPECT_EQ(platform::middle_part("ND 12", 3, 3), " 12");
  EXPECT_EQ(platform::middle_part("ND", 3, 0), "");
  EXPECT_EQ(platform::middle_part("ND 12", 3, 99), " 12");
  EXPECT_EQ(platform::middle_part("ND 12", 9, 1), "");
  EXPECT_TRUE(platform::__vbaVarTstEq("TS", "TS"));
  EXPECT_FALSE(platform::__vbaVarTstEq("ts", "TS"));
}

TEST(Text, WholeNumberConversion) {
  const struct {
    const char* text;
    bool ok;
    std::int32_t value;
  } cases[] = {
      {"3", true, 3},           {"  3  ", true, 3},   {"\t-4\t", true, -4},
      {"+17", true, 17},        {"0003", true, 3},    {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},               {"2147483648", false, 0},
      {"-2147483649", false, 0}, {"99999999999999999999", false, 0},
      {"", false, 0},           {"   ", false, 0},    {"-", false, 0},
      {"X 3", false, 0},        {"3 4", false, 0},    {"3.0", false, 0},
      {"1e3", false, 0},        {"- 3", false, 0},    {"3,", false, 0},
  };
  for (const auto& c : cases) {
    std::int32_t value = 77;
    EXPECT_EQ(platform::parse_whole_number(c.text, value), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(value, c.ok ? c.value : 77) << '"' << c.text << '"';
  }
}

}  // namespace
