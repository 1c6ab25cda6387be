// Whole runs over element tables: the variables header, column names, value
// windows, the wanted-column filter, capacities and the zone writer's
// layouts. Expected plot files are written out from the file format rules.
#include <gtest/gtest.h>

#include <sstream>

#include "run/cases.hpp"

namespace pz::test {
namespace {

const std::string corner_points_xy[4] = {"  0.000000E+00  0.000000E+00", "  1.000000E+00  0.000000E+00",
                                         "  0.000000E+00  1.000000E+00", "  1.000000E+00  1.000000E+00"};
const std::string zero = "  0.000000E+00";

struct Case {
  ScratchDir dir;
  Case() { dir.write("MESH", square_mesh()); }
  // Runs on a printout file p.out and returns plot file n.
  std::string plot(const std::string& printout, std::vector<std::string> options = {"-xy"}, int n = 1) {
    dir.write("p.out", printout);
    options.push_back("p.out");
    auto r = run_printzone(dir.path(), options);
    EXPECT_EQ(r.status, 0) << r.err;
    return dir.read("p.out." + std::to_string(n));
  }
};

std::string printout(std::initializer_list<std::string_view> body) {
  return lines({" TOTAL TIME", " 1.0"}) + lines(body);
}

TEST(ElementTables, HeaderLettersAndColumnNames) {
  Case c;
  // Lower-case heading: lower-case letters; names keep their own case,
  // 'X(WAT1)' loses its parentheses, 'PER.MOD.' is cut to five characters.
  EXPECT_EQ(c.plot(printout({" elem.  index  p  X(WAT1)  PER.MOD.", " A1  1    1  1.0  2.0  3.0", terminator})),
            lines({"Variables = x y p XWAT1 PER.M", "Zone F=FEPOINT I=    4 J=    1",
                   corner_points_xy[0] + "  1.000000E+00  2.000000E+00  3.000000E+00",
                   corner_points_xy[1] + zero + zero + zero, corner_points_xy[2] + zero + zero + zero,
                   corner_points_xy[3] + zero + zero + zero, "     1     2     4     3"}));
  // 'Elem.' gives capitals; a first word 'ELEMENT' heads a table too.
  EXPECT_EQ(c.plot(printout({" ELEMENT INDEX  T", " A2  2    1  -20.25", terminator}), {"-yz"}),
            // Option 1 plots (y, z): the square is seen edge on and has no cell.
            lines({"Variables = Y Z T", "Zone F=POINT I=    4", "  0.000000E+00  5.000000E+00  0.000000E+00",
                   "  0.000000E+00  5.000000E+00  0.000000E+00", "  1.000000E+00  5.000000E+00  0.000000E+00",
                   "  1.000000E+00  5.000000E+00 -2.025000E+01"}));
}

TEST(ElementTables, ValueWindowsFollowTheHeadingNames) {
  Case c;
  // ELEM. in columns 3-7, INDEX 10-14, P at 20 and T at 32; the first row
  // has its index at 14 and values in 16-26 and 28-38.
  const std::string plot = c.plot(printout({"  ELEM.  INDEX     P           T", "  A1  2      1 0.10000E+06 0.20000E+02",
                                            // A later row is read through the same windows.
                                            "  A2  1      2 0.30000E+01 -.40000E+01", terminator}));
  EXPECT_EQ(plot, lines({"Variables = X Y P T", "Zone F=FEPOINT I=    4 J=    1", corner_points_xy[0] + zero + zero,
                         corner_points_xy[1] + "  1.000000E+05  2.000000E+01",
                         corner_points_xy[2] + "  3.000000E+00 -4.000000E+00", corner_points_xy[3] + zero + zero,
                         "     1     2     4     3"}));
}

TEST(ElementTables, PageBreaksUnknownElementsAndRepeatedRows) {
  Case c;
  const std::string plot = c.plot(printout({
      " ELEM.  INDEX  P", "               (PA)", "", " A1  1     1  1.0",
      " ZZZ 9     2  7.0",  // not in the mesh
      "", "1 page break", " ELEM.  INDEX  P", "               (PA)", " A2  2     3  4.0",
      " A1  1     1  1.5",  // a later row overwrites
      terminator, " ELEM.  INDEX  Q",  // a second table appends its slot
      " A1  20    1  9",                   // the 5-column name field reads "A1  2"
      terminator}));
  EXPECT_EQ(plot, lines({"Variables = X Y P Q", "Zone F=FEPOINT I=    4 J=    1",
                         corner_points_xy[0] + "  1.500000E+00" + zero, corner_points_xy[1] + zero + "  9.000000E+00",
                         corner_points_xy[2] + zero + zero, corner_points_xy[3] + "  4.000000E+00" + zero,
                         "     1     2     4     3"}));
}

TEST(ElementTables, HeadingsThatHeadNoTable) {
  Case c;
  const std::string plot = c.plot(printout({
      " ELEM.  INDEX. P", " A1  1     1  1.0",         // 'INDEX.' is not the index word
      " ELEM1 ELEM2 ELEM3 INDEX P", " A1  1     1  1.0",  // nor is a third name
      " ELEM.  INDEX",                                  // no column: read to its terminator
      " A1  1     1  1.0", terminator, " ELEM.  INDEX  P", " A1  1     1  2.0", terminator}));
  EXPECT_EQ(plot, lines({"Variables = X Y P", "Zone F=FEPOINT I=    4 J=    1", corner_points_xy[0] + "  2.000000E+00",
                         corner_points_xy[1] + zero, corner_points_xy[2] + zero, corner_points_xy[3] + zero,
                         "     1     2     4     3"}));
}

TEST(ElementTables, WantedColumnFilter) {
  Case c;
  c.dir.write("list", "p   SG  pc\n");
  const std::string body = " ELEM.  INDEX  P  T  SG  PCAP  P(L)";
  EXPECT_EQ(c.plot(printout({body, " A1  1     1  1  2  3  4  5", terminator}), {"-xy", "-w", "list"}),
            lines({"Variables = X Y P SG", "Zone F=FEPOINT I=    4 J=    1",
                   corner_points_xy[0] + "  1.000000E+00  3.000000E+00", corner_points_xy[1] + zero + zero,
                   corner_points_xy[2] + zero + zero, corner_points_xy[3] + zero + zero, "     1     2     4     3"}));
  // A blank list skips every column; the tables are still read through.
  c.dir.write("list", "\n");
  const std::string two = printout({body, " A1  1     1  1  2  3  4  5", terminator}) +
                          printout({" ELEM.  INDEX  P", " A1  1     1  x", terminator});
  c.dir.write("p.out", two);
  auto r = run_printzone(c.dir.path(), {"-xy", "-w", "list", "p.out"});
  // The second table's cell is never converted: its column is skipped.
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(c.dir.read("p.out.2"), lines({"Variables = X Y", "Zone F=FEPOINT I=    4 J=    1", corner_points_xy[0],
                                          corner_points_xy[1], corner_points_xy[2], corner_points_xy[3],
                                          "     1     2     4     3"}));
}

// A heading of n columns C1..Cn and one row for element 1 with values base+k.
std::vector<std::string> wide_table(int n, int base) {
  std::string heading = " ELEM.  INDEX", row = " A1  1     1";
  for (int k = 1; k <= n; ++k) {
    heading += "  C" + std::to_string(k);
    row += " " + std::to_string(base + k);
  }
  return {heading, row, terminator};
}

std::string printout_of(const std::vector<std::vector<std::string>>& tables) {
  std::string s = lines({" TOTAL TIME", " 1.0"});
  for (auto& t : tables)
    for (auto& l : t) s += l + "\n";
  return s;
}

TEST(ElementTables, CapacityOverflowDropsTheTableAndEndsThePrintout) {
  Case c;
  // Six tables of 20 columns fill the 120 slots; the seventh is dropped
  // whole, and so is everything after it in the printout.
  std::vector<std::vector<std::string>> tables;
  for (int t = 0; t < 7; ++t) tables.push_back(wide_table(20, 100 * t));
  tables.push_back(wide_table(1, 900));
  const std::string plot = c.plot(printout_of(tables) + printout_of({wide_table(1, 50)}));
  std::string header = "Variables = X Y";
  for (int t = 0; t < 6; ++t)
    for (int k = 1; k <= 20; ++k) header += " C" + std::to_string(k);
  EXPECT_EQ(plot.substr(0, plot.find('\n')), header);
  // Point 1: 2 coordinates and 120 values, 100 numbers on the first line.
  const auto first = plot.find("Zone");
  const auto l1 = plot.find('\n', first) + 1;
  const auto l2 = plot.find('\n', l1) + 1;
  const auto l3 = plot.find('\n', l2) + 1;
  EXPECT_EQ(l2 - l1, 1401u);
  EXPECT_EQ(l3 - l2, 22 * 14 + 1u);
  EXPECT_EQ(plot.substr(l3 - 15, 15), "  5.200000E+02\n");  // slot 120: table 6, column 20
  // The next printout starts as usual.
  EXPECT_EQ(c.dir.read("p.out.2").substr(0, 20), "Variables = X Y C1\nZ");
  // More than 20 names in one heading is dropped the same way.
  EXPECT_EQ(c.plot(printout_of({wide_table(2, 0), wide_table(21, 0), wide_table(1, 0)})).substr(0, 22),
            "Variables = X Y C1 C2\n");
}

TEST(ZoneWriter, PointsOnlyForThreeDimensionsAndReversion) {
  Case c;
  // Option 4: three coordinates, no cells; 5 x 20 values make 103 numbers a
  // point: a record of 100 and one of 3.
  std::vector<std::vector<std::string>> tables;
  for (int t = 0; t < 5; ++t) tables.push_back(wide_table(20, 100 * t));
  const std::string plot = c.plot(printout_of(tables), {"-xyz"});
  std::istringstream in(plot);
  std::string header, zone, p1a, p1b, p2a, p2b;
  std::getline(in, header);
  std::getline(in, zone);
  std::getline(in, p1a);
  std::getline(in, p1b);
  std::getline(in, p2a);
  std::getline(in, p2b);
  EXPECT_EQ(zone, "Zone F=POINT I=    4");
  EXPECT_EQ(p1a.size(), 1400u);
  EXPECT_EQ(p1a.substr(0, 56), "  0.000000E+00  0.000000E+00  5.000000E+00  1.000000E+00");
  EXPECT_EQ(p1b, "  4.180000E+02  4.190000E+02  4.200000E+02");
  EXPECT_EQ(p2a.substr(0, 42), "  1.000000E+00  0.000000E+00  5.000000E+00");
  EXPECT_EQ(p2b, zero + zero + zero);
}

TEST(ZoneWriter, PrintoutWithoutTablesGetsCoordinatesOnly) {
  Case c;
  // The second printout has no table: its header names the coordinates
  // alone, never the first printout's columns.
  const std::string text = printout({" ELEM.  INDEX  P", " A1  1     1  1.0", terminator}) + printout({" no table"});
  c.plot(text);
  EXPECT_EQ(c.dir.read("p.out.2"), lines({"Variables = X Y", "Zone F=FEPOINT I=    4 J=    1", corner_points_xy[0],
                                          corner_points_xy[1], corner_points_xy[2], corner_points_xy[3],
                                          "     1     2     4     3"}));
}

}  // namespace
}  // namespace pz::test
