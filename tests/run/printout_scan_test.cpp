// The scan for where printouts begin, going on from where an earlier scan
// stopped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/printout_scan.hpp"
#include "support/run.hpp"

namespace pz {
namespace {

using test::lines, test::terminator;

// An earlier scan stopped inside the first printout's connection table,
// past its first heading and before the heading of the table's next page:
// the scan that goes on takes neither that page's heading for the table's,
// nor its distance from the header line for the later printouts' (which it
// guesses, the printouts being alike).
TEST(PrintoutScan, GoingOnInsideATableTakesNoLaterPageForItsHeading) {
  const auto printout = [](int n) {
    return lines({" TOTAL TIME", " " + std::to_string(n) + ".0", " ELEM.  INDEX  P", " A1  1     1  1.5", terminator,
                  " ELEM1 ELEM2 INDEX  FLOH", " A1  1 A1  2     1  4.0", " A1  1 A1  2     2  4.0",
                  " ELEM1 ELEM2 INDEX  FLOH", " A1  1 A1  2     3  4.0", terminator});
  };
  const std::string text = printout(1) + printout(2) + printout(3);
  test::ScratchDir dir;
  dir.write("p.out", text);
  const std::string path = (dir.path() / "p.out").string();

  // Offsets and line numbers of the header lines and of the first headings.
  const std::string heading = " ELEM1 ELEM2 INDEX  FLOH";
  const auto at = [&](const std::string& what, std::size_t from) { return text.find(what, from); };
  const auto line_of = [&](std::size_t offset) {
    const auto end = text.begin() + static_cast<std::ptrdiff_t>(offset);
    return 1 + static_cast<long long>(std::count(text.begin(), end, '\n'));
  };
  std::vector<std::size_t> starts, headings;
  for (std::size_t s = at(" TOTAL TIME", 0); s != std::string::npos; s = at(" TOTAL TIME", s + 1)) {
    starts.push_back(s);
    headings.push_back(at(heading, s));
  }
  ASSERT_EQ(starts.size(), 3u);

  LineReader in;
  in.open(path, Source{unit::printout, path}, Routine::main_program);
  const std::size_t inside = at(" A1  1 A1  2     2", headings[0]);  // before the next page's heading
  in.seek(inside, line_of(inside) - 1);
  PrintoutScanner scan(in, text.size());
  const PrintoutStart first{starts[0], line_of(starts[0]), {headings[0], line_of(headings[0])}};
  scan.continue_after(std::span(&first, 1), false);

  std::vector<std::uint64_t> found;
  std::vector<TableHeading> taken;
  std::uint64_t start;
  long long line;
  while (scan.next(start, line)) {
    found.push_back(start);
    taken.push_back(scan.take_heading());  // the heading of the printout before
  }
  taken.push_back(scan.take_heading());  // the last printout's
  ASSERT_EQ(found, (std::vector<std::uint64_t>{starts[1], starts[2]}));
  ASSERT_EQ(taken.size(), 3u);
  for (std::size_t p = 0; p < 3; ++p) {
    if (p == 0 && taken[0].offset == 0) continue;  // (the first printout's heading is known already)
    EXPECT_EQ(taken[p].offset, headings[p]) << "printout " << p + 1;
    EXPECT_EQ(taken[p].line, line_of(headings[p])) << "printout " << p + 1;
  }
}

}  // namespace
}  // namespace pz
