#include "extract/inspect.hpp"

#include <gtest/gtest.h>

#include <string>

namespace pz {
namespace {

struct Result {
  std::string text;
  Positions pos;
};

Result run(std::string_view source, std::size_t length) {
  std::string dest(length, '#');
  Positions p = inspect(source, dest.data(), dest.size());
  return {dest, p};
}

void expect_positions(const Positions& p, int first, int last, int word) {
  EXPECT_EQ(p.IFIRST, first);
  EXPECT_EQ(p.ILAST, last);
  EXPECT_EQ(p.IWORD, word);
}

TEST(Inspect, PositionsAndLowerCaseCopy) {
  auto r = run("  ELEM1  ELEM2 INDEX", 20);
  EXPECT_EQ(r.text, "  elem1  elem2 index");
  expect_positions(r.pos, 3, 20, 7);
  r = run("Index", 5);
  EXPECT_EQ(r.text, "index");
  expect_positions(r.pos, 1, 5, 5);
  // Blank and empty sources: all positions 1, destination blank.
  r = run("     ", 8);
  EXPECT_EQ(r.text, "        ");
  expect_positions(r.pos, 1, 1, 1);
  r = run("", 4);
  EXPECT_EQ(r.text, "    ");
  expect_positions(r.pos, 1, 1, 1);
}

TEST(Inspect, LengthsBytesAndTabs) {
  // A longer source is cut to the destination.
  auto r = run("ABCDEFGH", 4);
  EXPECT_EQ(r.text, "abcd");
  expect_positions(r.pos, 1, 4, 4);
  // A shorter one is padded.
  r = run(std::string(230, 'x'), 240);
  EXPECT_EQ(r.text.substr(230), std::string(10, ' '));
  // A tab joins words; bytes above 127 are copied and count as non-blank.
  r = run("A\tB C", 5);
  EXPECT_EQ(r.text, "a\tb c");
  expect_positions(r.pos, 1, 5, 3);
  r = run(" \xC3\x84Z", 4);
  EXPECT_EQ(r.text, " \xC3\x84z");
  expect_positions(r.pos, 2, 4, 4);
  // In place.
  std::string s = " total time ";
  Positions p = inspect(s, s.data(), s.size());
  EXPECT_EQ(s, " total time ");
  expect_positions(p, 2, 11, 6);
}

}  // namespace
}  // namespace pz
