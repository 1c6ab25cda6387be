// Whole runs with -history: rows and order, bytes whatever -j, names, other columns, quotes.
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

// Each listed element once a printout, in the list's order; the same bytes whatever -j.
TEST(History, RowsInTheListsOrderTheSameWhateverTheThreads) {
  ScratchDir dir;
  dir.write("MESH", slurp(examples / "MESH"));
  dir.write("example.out", repeated(slurp(examples / "example.out"), 12));  // 36 printouts
  // Names as the index compares them ("A2 03" is "A2  3"), a repeat, a blank line.
  dir.write("wells", "A3  4\nA1  1   \n\nA2 03\nA1  1\n");
  std::string one;
  for (const char* threads : {"1", "3"}) {
    const RunResult k = run_printzone(dir.path(), {"-q", "-j", threads, "-history", "wells", "example.out"});
    ASSERT_EQ(k.status, 0) << k.err;
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "example.out", "example.out.history.csv", "wells"}));
    const std::string csv = dir.read("example.out.history.csv");
    const auto rows = csv_rows(csv);
    ASSERT_EQ(rows.size(), 1u + 36 * 3);
    EXPECT_TRUE(csv.starts_with("printout,time,element,P,T,SG,SL,X(WAT1),PER.MOD.,")) << csv.substr(0, 200);
    const char* names[] = {"A3  4", "A1  1", "A2 03"};
    for (std::size_t i = 1; i < rows.size(); ++i)
      EXPECT_EQ(rows[i][0] + " " + rows[i][2], std::to_string((i + 2) / 3) + " " + names[(i - 1) % 3]) << i;
    if (one.empty()) one = csv;
    EXPECT_EQ(csv, one) << "-j " << threads;
  }
}

TEST(History, ListNamesOtherColumnsAndQuotes) {
  // A name with a quote and a comma; a printout whose columns differ has no rows.
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
           // In the -o folder, beside the plot files -vtk and -plots ask for.
           Case{{.args = {"-q", "-vtk", "-plots", "-o", "out", "-history", "list", "p.out"}, .files = {{"list", "A1  1\n"}}},
                0, "", {{"out/p.out.history.csv", "printout,time,element,P\n1,1,A1  1,2.5\n"}, {"out/p.out.1.vtu", "[...]"},
                        {"out/p.out.pvd", "[...]"}, {"out/p.out.1", one_table_plot}}},
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
