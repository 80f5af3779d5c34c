#include "run/status_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(StatusLine, LineAtTheEdges) {
  const struct {
    std::uint64_t done, total, in_pass;
    double seconds;
    bool again;
    const char* line;
  } cases[] = {
      {0, 400'000'000, 0, 0.5, false, "KASOR.dat: 0 % gelesen"},        // nothing read yet: no rate to go by
      {1'000'000, 400'000'000, 1'000'000, 0, false, "KASOR.dat: 0 % gelesen"},  // no time passed: no rate either
      {399'000'000, 400'000'000, 399'000'000, 1, false, "KASOR.dat: 99 % gelesen, 399 MB/s, noch 0 s"},  // not 100 before the end
      {400'000'000, 400'000'000, 400'000'000, 2, false, "KASOR.dat: 100 % gelesen, 200 MB/s, noch 0 s"},
      {500'000'000, 400'000'000, 500'000'000, 2, false, "KASOR.dat: 100 % gelesen, 250 MB/s, noch 0 s"},  // the file grew
      {100'000'000, 400'000'000, 100'000'000, 1, false, "KASOR.dat: 25 % gelesen, 100 MB/s, noch 3 s"},
      {3'123'456'789, 0, 3'123'456'789, 2, false, "KASOR.dat: 3.123 MB gelesen, 1.562 MB/s"},  // a pipe: no size, no time left
      // A new pass from 100 MB on: its rate and the time left count from there.
      {200'000'000, 400'000'000, 100'000'000, 1, true, "KASOR.dat: 50 % neu gelesen, 100 MB/s, noch 2 s"},
  };
  for (const auto& c : cases) EXPECT_EQ(progress_line(c.done, c.total, c.in_pass, c.seconds, c.again), c.line);
}

TEST(StatusLine, ClosingLine) {
  EXPECT_EQ(summary_line(2200000, 10, 462'000'123, 1.26),
            "KASOR_max.dat geschrieben: 2.200.000 Knoten, 10 Zeitschritte, 462,0 MB in 1,3 s gelesen.\n");
  EXPECT_EQ(summary_line(2, 1, 80, 0.0104), "KASOR_max.dat geschrieben: 2 Knoten, 1 Zeitschritt, 80 Byte in 10 ms gelesen.\n");
  EXPECT_EQ(summary_line(300, 8, 50'487, 0.9), "KASOR_max.dat geschrieben: 300 Knoten, 8 Zeitschritte, 50,5 kB in 900 ms gelesen.\n");
  EXPECT_EQ(summary_line(2200000, 2000, 92'400'000'000, 125), "KASOR_max.dat geschrieben: 2.200.000 Knoten, 2.000 Zeitschritte, 92,4 GB in 2 min 5 s gelesen.\n");
}

// The line never wraps (at most one character fewer than the terminal is
// wide) and never cuts a word: the rate goes first, then the time left, then
// the file name is shortened; the share stays.
TEST(StatusLine, FitsTheTerminal) {
  auto columns = [](const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
  };
  auto words = [](const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t blank = text.find(' ', i);
      const std::size_t end = blank == std::string::npos ? text.size() : blank;
      std::string word = text.substr(i, end - i);
      while (!word.empty() && (word.back() == ',' || word.back() == ':')) word.pop_back();
      if (!word.empty()) found.push_back(word);
      i = end + 1;
    }
    return found;
  };
  const std::string full = progress_line(100'000'000, 400'000'000, 100'000'000, 1, false);
  ASSERT_EQ(full, "KASOR.dat: 25 % gelesen, 100 MB/s, noch 3 s");
  const std::string other = "KASOR.dat: beschädigte Stelle gefunden, lese in einem Durchgang neu …";
  const struct {
    std::size_t width;
    const char* progress;
  } exact[] = {
      {120, "KASOR.dat: 25 % gelesen, 100 MB/s, noch 3 s"}, {44, "KASOR.dat: 25 % gelesen, 100 MB/s, noch 3 s"},
      {43, "KASOR.dat: 25 % gelesen, noch 3 s"},           {33, "KASOR.dat: 25 % gelesen"},
      {23, "KASOR…: 25 % gelesen"},                        {21, "KASOR…: 25 % gelesen"},
      {20, "25 % gelesen"},
  };
  for (const auto& e : exact) {
    EXPECT_EQ(progress_line(100'000'000, 400'000'000, 100'000'000, 1, false, e.width), e.progress) << e.width;
  }
  const std::vector<std::string> all_words = words(full + " KASOR… " + other);
  for (std::size_t width = 20; width <= 120; ++width) {
    for (const std::string& line :
         {progress_line(100'000'000, 400'000'000, 100'000'000, 1, false, width), fit_to_width(other, width)}) {
      EXPECT_LT(columns(line), width) << line;
      for (const std::string& word : words(line)) {
        EXPECT_NE(std::find(all_words.begin(), all_words.end(), word), all_words.end()) << width << ": " << line;
      }
    }
    EXPECT_NE(progress_line(100'000'000, 400'000'000, 100'000'000, 1, false, width).find("25 %"), std::string::npos);
  }
  EXPECT_EQ(fit_to_width(other, 0), other);
  EXPECT_EQ(fit_to_width(other, 41), "KASOR.dat: beschädigte Stelle gefunden …");
  EXPECT_EQ(fit_to_width(other, 40), "KASOR.dat: beschädigte Stelle …");
}

// The line is updated no sooner than 250 ms after the start, for a small
// input no sooner than a second, and then at most every 250 ms; never off a
// terminal.
TEST(StatusLine, UpdatesAreThrottled) {
  using std::chrono::milliseconds;
  const struct {
    std::uint64_t total;
    bool on_terminal;
    int at_ms[6];
    bool updated[6];
  } cases[] = {
      {400'000'000, true, {0, 249, 250, 499, 500, 760}, {false, false, true, false, true, true}},
      {1'000'000, true, {250, 999, 1000, 1100, 1249, 1250}, {false, false, true, false, false, true}},
      {400'000'000, false, {250, 500, 1000, 2000, 3000, 4000}, {false, false, false, false, false, false}},
  };
  for (const auto& c : cases) {
    StatusLine status;
    status.total = c.total;
    status.on_terminal = c.on_terminal;
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(note_read(status, 1000, milliseconds(c.at_ms[i])), c.updated[i]) << c.total << " at " << c.at_ms[i];
    }
    const std::string shown = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status.done, 6000u);
    EXPECT_EQ(shown.empty(), !c.on_terminal);
  }
}

}  // namespace
