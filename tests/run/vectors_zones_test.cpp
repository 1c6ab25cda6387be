// Whole runs over connection tables (vectors per element) and zone files.
#include <gtest/gtest.h>

#include "run/cases.hpp"

namespace pz::test {
namespace {

const std::string zero = "  0.000000E+00";

struct Case {
  ScratchDir dir;
  explicit Case(const std::string& mesh) { dir.write("MESH", mesh); }
  RunResult run(const std::string& printout, std::vector<std::string> options) {
    dir.write("p.out", printout);
    options.push_back("p.out");
    return run_printzone(dir.path(), options);
  }
  std::string plot(const std::string& printout, std::vector<std::string> options, int n = 1) {
    auto r = run(printout, std::move(options));
    EXPECT_EQ(r.status, 0) << r.err;
    return dir.read("p.out." + std::to_string(n));
  }
};

std::string printout(std::initializer_list<std::string_view> body) {
  return lines({" TOTAL TIME", " 1.0"}) + lines(body);
}

// Element 1 at x = 2 and element 2 at x = 0, one connection 1 -> 2.
std::string pair_mesh(double area, bool twice = false, double second_area = 0) {
  std::vector<std::string> conns{connection("B1  1", "B1  2", area)};
  if (twice) conns.push_back(connection("B1  1", "B1  2", second_area));
  return mesh_file({element("B1  1", 2, 0, 0), element("B1  2", 0, 0, 0)}, conns);
}

const char* pair_heading = " ELEM1 ELEM2 INDEX  FLOH  VEL(LIQ.)";
const char* pair_row = " B1  1 B1  2     1    8.    8.";

TEST(ConnectionTables, HalfTheUnitVectorTimesTheValueOverTheArea) {
  Case c(pair_mesh(4));
  // D = 4 and fx = 0.5: the flow adds 0.5 * 8 / 4 = 1 to both elements, the
  // velocity column is not divided and adds 4.
  EXPECT_EQ(c.plot(printout({pair_heading, pair_row, terminator}), {"-xy"}),
            lines({"Variables = X Y FLOHx FLOHy VLIQx VLIQy", "Zone F=POINT I=    2",
                   "  2.000000E+00" + zero + "  1.000000E+00" + zero + "  4.000000E+00" + zero,
                   zero + zero + "  1.000000E+00" + zero + "  4.000000E+00" + zero}));
}

TEST(ConnectionTables, NamesAndComponentsForEachOption) {
  // Element 1 lies 2 below element 2 in z: D = 4, fz = -0.5, and the value 4
  // adds -2; in the XY plane the centres coincide and the row adds nothing.
  Case c(mesh_file({element("D1  1", 0, 0, 0), element("D1  2", 0, 0, 2)}, {connection("D1  1", "D1  2", 1)}));
  const auto body = printout({" ELEM1 ELEM2 INDEX  FLO(GAS)", " D1  1 D1  2     1    4", terminator});
  EXPECT_EQ(c.plot(body, {"-xyz"}),
            lines({"Variables = X Y Z FGASx FGASy FGASz", "Zone F=POINT I=    2",
                   zero + zero + zero + zero + zero + " -2.000000E+00",
                   zero + zero + "  2.000000E+00" + zero + zero + " -2.000000E+00"}));
  EXPECT_EQ(c.plot(body, {"-xz"}), lines({"Variables = X Z FGASx FGASz", "Zone F=POINT I=    2",
                                         zero + zero + zero + " -2.000000E+00",
                                         zero + "  2.000000E+00" + zero + " -2.000000E+00"}));
  EXPECT_EQ(c.plot(body, {"-yz"}), lines({"Variables = Y Z FGASy FGASz", "Zone F=POINT I=    2",
                                         zero + zero + zero + " -2.000000E+00",
                                         zero + "  2.000000E+00" + zero + " -2.000000E+00"}));
  EXPECT_EQ(c.plot(body, {"-xy"}), lines({"Variables = X Y FGASx FGASy", "Zone F=POINT I=    2",
                                         zero + zero + zero + zero, zero + zero + zero + zero}));
}

TEST(ConnectionTables, StraightChainSumsHalvesAtEveryElement) {
  Case c(mesh_file({element("C1  1", 0, 0), element("C1  2", 1, 0), element("C1  3", 2, 0)},
                   {connection("C1  1", "C1  2"), connection("C1  2", "C1  3")}));
  EXPECT_EQ(c.plot(printout({" ELEM1 ELEM2 INDEX  F", " C1  1 C1  2     1  2", " C1  2 C1  3     2  2", terminator}),
                   {"-xy"}),
            lines({"Variables = X Y Fx Fy", "Zone F=POINT I=    3", zero + zero + " -1.000000E+00" + zero,
                   "  1.000000E+00" + zero + " -2.000000E+00" + zero,
                   "  2.000000E+00" + zero + " -1.000000E+00" + zero}));
}

TEST(ConnectionTables, AreaZeroAndPairsReadTwice) {
  // The pair twice: the connection read last (area 2) is found first.
  Case twice(pair_mesh(4, true, 2));
  EXPECT_EQ(twice.plot(printout({pair_heading, pair_row, terminator}), {"-xy"}),
            lines({"Variables = X Y FLOHx FLOHy VLIQx VLIQy", "Zone F=POINT I=    2",
                   "  2.000000E+00" + zero + "  2.000000E+00" + zero + "  4.000000E+00" + zero,
                   zero + zero + "  2.000000E+00" + zero + "  4.000000E+00" + zero}));
  // Area 0: the flow adds nothing (no infinity), the velocity still counts.
  Case none(pair_mesh(0));
  EXPECT_EQ(none.plot(printout({pair_heading, pair_row, terminator}), {"-xy"}),
            lines({"Variables = X Y FLOHx FLOHy VLIQx VLIQy", "Zone F=POINT I=    2",
                   "  2.000000E+00" + zero + zero + zero + "  4.000000E+00" + zero,
                   zero + zero + zero + zero + "  4.000000E+00" + zero}));
}

TEST(ConnectionTables, NamesShiftedTwoColumnsRight) {
  Case c(pair_mesh(1));
  // The first row is found two columns right of the heading's name words;
  // the table keeps the shift, so a later row at the heading's columns is
  // not found.
  EXPECT_EQ(c.plot(printout({" ELEM1 ELEM2    INDEX   FLOH", "   B1  1 B1  2      1   8.0",
                             " B1  1 B1  2        2   9.0", terminator}),
                   {"-xy"}),
            lines({"Variables = X Y FLOHx FLOHy", "Zone F=POINT I=    2", "  2.000000E+00" + zero + "  4.000000E+00" + zero,
                   zero + zero + "  4.000000E+00" + zero}));
}

TEST(ConnectionTables, NoConnectionStopsTheRun) {
  Case c(pair_mesh(1));
  const auto good = printout({pair_heading, pair_row, terminator});
  auto r = c.run(good + printout({pair_heading, " B1  2 B1  1     1    8.    8.", terminator}), {"-xy"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "no connection\n");
  EXPECT_TRUE(c.dir.exists("p.out.1"));
  EXPECT_FALSE(c.dir.exists("p.out.2"));
}

// Six elements in two rows: Z1 Z2 Z3 at y = 0, Z4 Z5 Z6 at y = 1.
std::string six_mesh() {
  return mesh_file({element("Z1", 0, 0), element("Z2", 1, 0), element("Z3", 2, 0), element("Z4", 0, 1),
                    element("Z5", 1, 1), element("Z6", 2, 1)},
                   {});
}

std::string point(int x, int y) {
  return std::string("  ") + std::to_string(x) + ".000000E+00  " + std::to_string(y) + ".000000E+00";
}

TEST(ZoneFiles, ZonesNumberTheirPointsAfresh) {
  Case c(six_mesh());
  c.dir.write("zones", lines({" Z1    Z2    Z5    Z4", "ZONE second half", " Z2    Z3    Z6    Z5"}));
  const auto body = printout({" ELEM.  INDEX  P", " Z5        1  7", terminator});
  const std::string expected =
      lines({"Variables = X Y P", "Zone F=FEPOINT I=    4 J=    1", point(0, 0) + zero, point(1, 0) + zero,
             point(1, 1) + "  7.000000E+00", point(0, 1) + zero, "     1     2     3     4",
             "ZONE second half F=FEPOINT I=    4 J=    1", point(1, 0) + zero, point(2, 0) + zero, point(2, 1) + zero,
             point(1, 1) + "  7.000000E+00", "     1     2     3     4"});
  auto r = c.run(body + body, {"-xy", "-z", "zones"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, " Found printout(1): .0                \n Found printout(2): .0                \n");
  // Both printouts write the same zones.
  EXPECT_EQ(c.dir.read("p.out.1"), expected);
  EXPECT_EQ(c.dir.read("p.out.2"), expected);
}

TEST(ZoneFiles, UnknownNamesDropTheirLineAndEmptyZonesAreSkipped) {
  Case c(six_mesh());
  c.dir.write("zones", lines({"  zone   Leading title", " Z1    Z2    Z5    Z4", "",
                              " Z2    Q9    Z6    Z5",  // drops the line: Z2 gets no point here
                              " Z3    Z3    Z6    Z6",  // a repeated corner
                              "Zone empty", "ZONE", "zone1 is a cell line"}));
  auto r = c.run(printout({" no table"}), {"-xy", "-z", "zones"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, " Found printout(1): .0                \n"
                   " Unknown element \"     \" in zone file\n"
                   " Unknown element \"Q9   \" in zone file\n"
                   " Unknown element \"one1 \" in zone file\n");
  EXPECT_EQ(c.dir.read("p.out.1"),
            lines({"Variables = X Y", "zone   Leading title F=FEPOINT I=    6 J=    2", point(0, 0), point(1, 0),
                   point(1, 1), point(0, 1), point(2, 0), point(2, 1), "     1     2     3     4",
                   "     5     5     6     6"}));
}

}  // namespace
}  // namespace pz::test
