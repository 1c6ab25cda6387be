// Past the fixed capacities (lowered for the test): each stop or left-out table, and -large converting as usual sizes do.
#include "driver/driver.hpp"
#include "support/run.hpp"

namespace pz::test {
namespace {

// An nx x ny grid joined to right and upper neighbours: (nx-1)(ny-1) cells.
std::string grid_mesh(int nx, int ny) {
  std::vector<std::string> elements, connections;
  for (int j = 0, a = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i, ++a) {
      elements.push_back(element(big_name(a), i, j));
      if (i + 1 < nx) connections.push_back(connection(big_name(a), big_name(a + 1)));
      if (j + 1 < ny) connections.push_back(connection(big_name(a), big_name(a + nx)));
    }
  return mesh_file(elements, connections);
}

// An element table over the first `rows` elements of grid_mesh.
std::string element_table(const std::vector<std::string>& names, int rows = 2) {
  std::string heading = " ELEM.  INDEX";
  for (const std::string& n : names) heading += "  " + n;
  std::string s = heading + "\n";
  for (int r = 0; r < rows; ++r) {
    char row[32];
    std::snprintf(row, sizeof row, " A%04d  %5d", r, r + 1);
    s += row;
    for (std::size_t k = 0; k < names.size(); ++k) {  // each value ends under its name
      const std::string value = std::to_string(10 * r + static_cast<int>(k) + 1);
      s += std::string(names[k].size() + 2 - value.size(), ' ') + value;
    }
    s += "\n";
  }
  return s + terminator + "\n";
}

struct HereResult {
  int status;
  std::string err;
  std::vector<std::pair<std::string, std::string>> files;  // the plot files
};

// Runs main_program in this process with the fixed capacities given; the directory reads "DIR".
HereResult run_here(const Inputs& inputs, const Capacities& fixed) {
  ScratchDir dir;
  prepare(inputs, dir);
  const std::string d = dir.path().string() + "/";
  std::vector<std::string> args = {"printzone", "-q", "-m", d + "MESH"};
  for (std::size_t i = 0; i < inputs.args.size(); ++i) {
    const bool file = i + 1 == inputs.args.size() || (i > 0 && inputs.args[i - 1] == "-z");
    args.push_back(file ? d + inputs.args[i] : inputs.args[i]);
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStderr();
  HereResult r{main_program(static_cast<int>(args.size()), argv.data(), fixed), "", {}};
  r.err = testing::internal::GetCapturedStderr();
  for (auto at = r.err.find(d); at != std::string::npos; at = r.err.find(d, at)) r.err.replace(at, d.size(), "DIR/");
  for (const std::string& f : dir.files())
    if (f.starts_with("p.out.")) r.files.push_back({f, dir.read(f)});
  return r;
}

TEST(Large, WhatPassesTheFixedCapacitiesConvertsAsAtTheUsualSizes) {
  // Room for 9 elements, 11 connections, 2 cells, 4 value slots, 40 header characters, 3 columns.
  Capacities small;
  small.mesh = {10, 12, 256};
  small.cells = 2;
  small.printout = {4, 40, 3};
  const std::string two_by_four = grid_mesh(2, 4);  // 8 elements, 10 connections, 3 cells
  const std::string p = no_table;
  const auto left_out = [](int line, const std::string& limit) {
    return "printzone: warning: printout 1, line " + std::to_string(line) +
           ": the table is left out, with the rest of the printout: more than " + limit + "\n";
  };
  struct Passing {
    Inputs run;
    std::string fixed_err;  // its first line, or all of it when it ends a line
  };
  const std::vector<Passing> cases = {
      {{.args = {"-xyz", "p.out"}, .printout = p, .mesh = grid_mesh(4, 3)}, "too many elements in MESH (at most 9)"},
      {{.args = {"-xyz", "p.out"}, .printout = p, .mesh = grid_mesh(3, 3)}, "too many connections in MESH (at most 11)"},
      {{.printout = p, .mesh = two_by_four}, "too many cells (at most 2)"},
      {{.args = {"-z", "zones", "-xy", "p.out"}, .printout = p, .mesh = two_by_four,
        .files = {{"zones", repeated(" A0000 A0001 A0003 A0002\n", 3)}}},
       "too many cells in a zone of the zone file (at most 2)"},
      {{.args = {"-xyz", "p.out"}, .printout = p + element_table({"P", "T", "S", "X"}), .mesh = two_by_four},
       left_out(3, "20 column names in a heading")},
      {{.args = {"-xyz", "p.out"}, .printout = p + element_table({"P", "T", "S"}) + element_table({"A", "B"}),
        .mesh = two_by_four},
       left_out(7, "120 values per element and printout")},
      {{.args = {"-xyz", "p.out"},
        .printout = p + element_table({"PRES1", "TEMP1", "SATU1"}) + element_table({"PRES2"}), .mesh = two_by_four},
       left_out(7, "600 characters of variable names in a plot file's header")},
      // A connection-table column takes a slot per coordinate.
      {{.args = {"-xyz", "p.out"},
        .printout = p + element_table({"A", "B"}) +
                    lines({" ELEM1 ELEM2 INDEX  F1", " A0000 A0001     1   1", terminator}),
        .mesh = two_by_four},
       left_out(7, "120 values per element and printout")},
  };
  for (const Passing& k : cases) {
    const HereResult fixed = run_here(k.run, small);
    EXPECT_EQ(k.fixed_err.ends_with('\n') ? fixed.err : fixed.err.substr(0, fixed.err.find('\n')), k.fixed_err);
    Inputs large = k.run;
    large.args.insert(large.args.begin(), "-large");
    const HereResult grown = run_here(large, small), usual = run_here(k.run, Capacities{});
    EXPECT_EQ(grown.status, 0) << k.fixed_err;
    EXPECT_EQ(grown.err, "") << k.fixed_err;
    EXPECT_EQ(usual.err, "") << k.fixed_err;
    EXPECT_FALSE(grown.files.empty()) << k.fixed_err;
    EXPECT_EQ(grown.files, usual.files) << k.fixed_err;
  }
}

TEST(Large, AMeshPastTheElementCapacityWidensTheZoneFieldsOnlyWithLarge) {
  // 320 x 320 = 102 400 points, 319 x 319 = 101 761 cells.
  const Inputs large{.args = {"-large", "-xy", "p.out"}, .printout = no_table, .mesh = grid_mesh(320, 320)};
  Inputs fixed = large;
  fixed.args.erase(fixed.args.begin());
  check({fixed, 1, "too many elements in MESH (at most 99999)"});
  ScratchDir dir;
  prepare(large, dir);
  EXPECT_EQ(run_in(large, dir).status, 0);
  const std::string plot = dir.read("p.out.1");
  EXPECT_TRUE(plot.starts_with("Variables = X Y\nZone F=FEPOINT I= 102400 J= 101761\n"
                               "  0.000000E+00  0.000000E+00\n  1.000000E+00  0.000000E+00\n"))
      << plot.substr(0, 200);
  // A six-digit point number stands after a blank.
  EXPECT_NE(plot.find("\n  3.190000E+02  3.190000E+02\n     1     2   322   321\n"), std::string::npos);
  EXPECT_NE(plot.find("\n 99679 99680 100000 99999\n"), std::string::npos);
  EXPECT_TRUE(plot.ends_with("\n 102079 102080 102400 102399\n")) << plot.substr(plot.size() - 100);
}

}  // namespace
}  // namespace pz::test
