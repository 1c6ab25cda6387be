// Whole runs with -history: the CSV read back against the zone-format plot
// files of the same run, the same bytes whatever -j, and the list's names,
// a printout of other columns and names that need quotes.
#include <cstdlib>

#include "records/number_writing.hpp"
#include "support/run.hpp"

namespace pz::test {
namespace {

const fs::path examples = fs::path(PRINTZONE_SOURCE_DIR) / "examples";

// The fields of each line of a CSV text without quoted fields.
std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    rows.emplace_back();
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) rows.back().push_back(field);
  }
  return rows;
}

// The bundled example (three printouts) in a scratch directory.
void copy_example(const ScratchDir& dir, int repeats = 1) {
  dir.write("MESH", slurp(examples / "MESH"));
  dir.write("example.out", repeated(slurp(examples / "example.out"), repeats));
  // Names as the index compares them ("A2 03" is "A2  3"), a repeat, a blank line.
  dir.write("wells", "A3  4\nA1  1   \n\nA2 03\nA1  1\n");
}

TEST(History, RowsHoldTheValuesOfThePlotFilesWhateverTheThreads) {
  ScratchDir dir;
  copy_example(dir);
  const RunResult r = run_printzone(dir.path(), {"-q", "-plots", "-history", "wells", "-xy", "example.out"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto rows = csv_rows(dir.read("example.out.history.csv"));
  ASSERT_EQ(rows.size(), 1u + 3 * 3);  // each element once, in the list's order
  const std::vector<std::string> head(rows[0].begin(), rows[0].begin() + 9);
  EXPECT_EQ(head, (std::vector<std::string>{"printout", "time", "element", "P", "T", "SG", "SL", "X(WAT1)", "PER.MOD."}));
  EXPECT_EQ(rows[0].back(), "VGAS_y");
  const std::map<std::string, int> point{{"A3  4", 12}, {"A1  1", 1}, {"A2 03", 7}};  // (the mesh's order)
  const char* times[] = {"86400", "864000", "8640000"};
  const char* names[] = {"A3  4", "A1  1", "A2 03"};
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string>& row = rows[i];
    const long printout = static_cast<long>(i - 1) / 3 + 1;
    EXPECT_EQ(row[0], std::to_string(printout));
    EXPECT_EQ(row[1], times[printout - 1]);
    EXPECT_EQ(row[2], names[(i - 1) % 3]);
    ASSERT_EQ(row.size(), rows[0].size());
    // The point's line in the plot file: its two coordinates, then the values.
    std::istringstream plot(dir.read("example.out." + std::to_string(printout)));
    std::string line;
    for (int k = 0; k < 2 + point.at(row[2]); ++k) std::getline(plot, line);
    ASSERT_EQ(line.size(), 14 * (row.size() - 1));
    for (std::size_t k = 3; k < row.size(); ++k) {
      char* end = nullptr;
      const double value = std::strtod(row[k].c_str(), &end);
      EXPECT_EQ(*end, '\0') << row[k];
      char field[16];
      write_e14_6(field, value);
      EXPECT_EQ(std::string(field, 14), line.substr(14 * (k - 1), 14)) << "row " << i << ", column " << k;
    }
  }

  // Alone, the history and nothing else; the same file whatever -j.
  ScratchDir many;
  copy_example(many, 12);
  std::string one;
  for (const char* threads : {"1", "3"}) {
    const RunResult k = run_printzone(many.path(), {"-q", "-j", threads, "-history", "wells", "example.out"});
    ASSERT_EQ(k.status, 0) << k.err;
    EXPECT_EQ(many.files(), (std::vector<std::string>{"MESH", "example.out", "example.out.history.csv", "wells"}));
    const std::string csv = many.read("example.out.history.csv");
    EXPECT_EQ(csv_rows(csv).size(), 1u + 36 * 3);
    if (one.empty()) one = csv;
    EXPECT_EQ(csv, one) << "-j " << threads;
  }
}

TEST(History, ListNamesOtherColumnsAndQuotes) {
  // A column name with a double quote and a comma, and a second printout
  // whose column differs: its rows are left out.
  const std::string quoted =
      lines({" TOTAL TIME", " 1.0", " ELEM.  INDEX  A\"B,C  Q", " A1  1     1  2.5  1.25E-3", terminator}) +
      lines({" TOTAL TIME", " 2.5E1", " ELEM.  INDEX  P", " A1  1     1  3.5", terminator});
  const std::string csv = "printout,time,element,\"A\"\"B,C\",Q\n1,1,A2  2,0,0\n1,1,A1  1,2.5,0.00125\n";
  const std::string other = "printzone: warning: printout 2: its column 4 is \"P\" where printout 1 has \"A\"B,C\"; "
                            "the history (p.out.history.csv) has no rows for it\n";
  // An element without a position, read into the mesh but in no plot.
  const std::string unplaced = mesh_file({element("A1  1", 0, 0), element("A1  2", 1, 0), element("B1  1", -999, -999)},
                                         {connection("A1  1", "A1  2")});
  const std::string unknown = "unknown element \"B1  1\" in the history list\nprintzone: list, line 2: ";
  for (const Case& k : {
           Case{{.args = {"-q", "-history", "list", "p.out"}, .printout = quoted, .files = {{"list", "A2  2\nA1  1"}}},
                0, other, {{"p.out.history.csv", csv}}},
           // In the -o folder, beside the plot files -vtk asks for.
           Case{{.args = {"-q", "-vtk", "-o", "out", "-history", "list", "p.out"}, .files = {{"list", "A1  1\n"}}}, 0,
                "", {{"out/p.out.history.csv", "printout,time,element,P\n1,1,A1  1,2.5\n"}, {"out/p.out.1.vtu", "[...]"},
                     {"out/p.out.pvd", "[...]"}}},
           // Names not in the mesh stop the run before any file is written.
           Case{{.args = {"-history", "list", "p.out"}, .files = {{"list", "A1  1\nB1  1\n"}}}, 1,
                unknown + "no element of the mesh bears that name (5 characters, blanks and case count)\n"},
           Case{{.args = {"-history", "list", "p.out"}, .mesh = unplaced, .files = {{"list", "A1  1\nB1  1\n"}}}, 1,
                unknown + "that element has no position in the mesh, so no plot holds it\n"},
           Case{{.args = {"-history", "list", "p.out"}, .files = {{"list", "A1  10\n"}}}, 1,
                "unknown element \"A1  10\" in the history list\nprintzone: list, line 1: an element name has 5 "
                "characters, this line 6\n"},
           Case{{.args = {"-xy", "-history"}}, 1, "unknown argument"},
       })
    check(k);
}

}  // namespace
}  // namespace pz::test
