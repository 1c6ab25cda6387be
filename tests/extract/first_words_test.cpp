// The first words of a line: inspect's lower-case copy and positions, and a printout's time.
#include <gtest/gtest.h>

#include "extract/inspect.hpp"
#include "extract/printout_data.hpp"
#include "extract/tables.hpp"

namespace pz {
namespace {

TEST(Inspect, CopyAndPositions) {
  const struct { std::string source; std::size_t length; std::string copy; std::array<int, 3> positions; } cases[] = {
      {"  ELEM1  ELEM2 INDEX", 20, "  elem1  elem2 index", {3, 20, 7}},  // leading blanks
      {"", 4, "    ", {1, 1, 1}},                                         // empty
      {"ABCDEFGH", 4, "abcd", {1, 4, 4}},                                 // a destination shorter than the source
      {"x Y", 6, "x y   ", {1, 3, 1}},                                    // a longer one, padded
      {"A\tB C", 5, "a\tb c", {1, 5, 3}},                                 // a tab inside a word
      {" \xC3\x84Z", 4, " \xC3\x84z", {2, 4, 4}}};                        // bytes above 127 are not blanks
  for (const auto& c : cases) {
    std::string copy(c.length, '#');
    const Positions p = inspect(c.source, copy.data(), copy.size());
    const Positions q = inspect(std::string_view(c.source).substr(0, c.length));  // the positions alone
    EXPECT_EQ(copy, c.copy);
    EXPECT_EQ((std::array{p.first, p.last, p.word_end}), c.positions) << c.source;
    EXPECT_EQ((std::array{q.first, q.last, q.word_end}), c.positions) << c.source;
  }
}

TEST(PrintoutTime, FirstWordOfTheValuesLineOrThePrintoutNumber) {
  const std::tuple<const char*, long, double> cases[] = {
      {" 0.86400E+05     12      3", 1, 86400}, {"1.5D2", 2, 150}, {"  -2.5-3 x", 2, -0.0025},
      {" 12345", 2, 12345}, {" TIME 1.0", 7, 7}, {" 1.0E", 8, 8}, {"", 9, 9}, {"   ", 10, 10}};  // 12345: as written
  for (const auto& [line, number, time] : cases) EXPECT_EQ(printout_time(line, number), time) << line;
}

// A header line: "total time" in any case after column 1, never read past the line's end.
TEST(HeaderLine, TheMarkerAfterColumnOneWithinTheLine) {
  const std::string text = "\nTOTAL TIME in column 1 of the next line";
  EXPECT_FALSE(is_header_line(std::string_view(text.data(), 0)));  // the blank line before it
  EXPECT_FALSE(is_header_line(std::string_view(text.data() + 1, 12)));
  EXPECT_TRUE(is_header_line("   total Time"));
  EXPECT_FALSE(is_header_line(" total tim"));
}

// An OUTPUT AFTER line gives its step count and time; an empty, cut or column-1 record is none.
TEST(HeaderLine, OutputAfterLines) {
  const auto read = read_output_after(" OUTPUT AFTER  27 TIME STEPS    0.1000000000000000E+16 SECONDS");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->steps, "27");
  EXPECT_EQ(read->seconds, "0.1000000000000000E+16");
  EXPECT_TRUE(read_output_after("   output after 3 time steps 5.0 seconds"));
  for (const char* none : {"", " ", " OUTPUT AFTER", " OUTPUT AFTER 27 TIME STEPS 0.1E+16", "OUTPUT AFTER 2 1.0 SECONDS",
                           " OUTPUT AFTER x TIME STEPS 1.0 SECONDS"})
    EXPECT_FALSE(read_output_after(none)) << none;
}

}  // namespace
}  // namespace pz
