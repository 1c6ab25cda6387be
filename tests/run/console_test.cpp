// Whole runs: the console dialogue, help and version, paths and option words, long names, progress line.
#include <pty.h>

#include "driver/progress.hpp"
#include "support/run.hpp"

namespace pz::test {
namespace {

// Names of any length, as arguments or typed.
const std::string folder(200, 'D'), long_name = folder + "/" + std::string(200, 'N') + ".OUT",
                  lower_plot = folder + "/" + std::string(200, 'n') + ".out.1";

TEST(Dialogue, AsksForTheNameThenTheOptionFromColumnOne) {
  // The answer replaces a projection option; the plot file's name is lower-cased, not its directory.
  const std::string printout = lines({" TOTAL TIME", " 1.0", " ELEMENT INDEX  T", " A2  2    1  -20.25", terminator});
  const std::string prompts = "Input file name:  \nMESH is: \n1)  YZ \n2) X Z \n3) XY  \n4) XYZ \nEnter option:  \n"
                              " Found printout(1): .0                \n";
  // Seen in Y and Z the square stands on its edge and has no cell.
  const std::string yz = "Variables = Y Z T\nZone F=POINT I=    4\n[...]\n  1.000000E+00  5.000000E+00 -2.025000E+01\n";
  // (which a chosen plane other than the flattest one warns of)
  const std::string in_yz = "printzone: warning: in the YZ plane ";
  const std::string edgewise = in_yz + "no cell can be traced from the mesh connections: the plot files hold points "
                               "alone\n" + in_yz + "the 4 elements fall on 2 places: try another plane, or none for "
                               "the plane across the smallest extent\n";
  auto answer = [&](const std::string& option, const std::string& plot, const std::string& err = "") {
    return Case{{.args = {"-xz"}, .files = {{long_name, printout}}, .input = long_name + "   \n" + option + "\n"},
                0, err, {{"stdout", prompts}, {lower_plot, plot}}};
  };
  for (const Case& k : {answer("3", "Variables = X Y T\n[...]"), answer("12", yz, edgewise),  // column 1 alone
                        answer(" 3", "Variables = X Y T\n[...]"),  // blank: automatic, the flat square gives XY
                        answer("", "Variables = X Y T\n[...]"), answer("7", "Variables = X Y Z T\n[...]"),  // 4
                        // Without the dialogue the last projection option counts.
                        Case{{.args = {"-xy", "-yz", "p.out"}, .printout = printout}, 0, edgewise, {{"p.out.1", yz}}},
                        // (before a printout file that is not there, whatever the threads)
                        Case{{.args = {"-j", "4", "-yz", "gone.out"}}, 29,
                             edgewise + "forrtl: severe (29): file not found, unit 1, file gone.out\nprintzone: DIR/gone.out: "
                                        "No such file or directory\n  in printzone\n"}})
    check(k);
}

TEST(CommandLine, PathsOfPlotFilesMeshAndZoneFileHelpAndVersion) {
  const std::string timed = lines({" TOTAL TIME", " 2.5E+01 first", " ELEM.  INDEX  P", " A1  1     1  2.5", terminator});
  const std::string pvd = lines(
      {R"(<?xml version="1.0"?>)",
       R"(<VTKFile type="Collection" version="1.0" byte_order="LittleEndian" header_type="UInt64">)", "  <Collection>",
       R"(    <DataSet timestep="25" group="" part="0" file="p.out.1.vtu"/>)", "  </Collection>", "</VTKFile>"});
  // A mesh without coordinates: locat is read beside it.
  for (const Case& k : {
           Case{{.args = {"-q", "-o", "out/deep", "-m", "case/MESH", "-xy", long_name}, .printout = {}, .mesh = {},
                 .files = {{"case/MESH", square_mesh(false)}, {"case/locat", square_locat}, {long_name, one_table}}},
                0, "", {{"stdout", ""}, {"out/deep/" + lower_plot.substr(201), one_table_plot}}},
           // The mesh of a simulator input file, its blocks among others.
           Case{{.args = {"-m", "case/run.dat", "-xy", "p.out"}, .mesh = {},
                 .files = {{"case/run.dat", "A test run\nROCKS\nSAND     2 2650.\n\nPARAM\n 2 100\n" +
                                                square_mesh().substr(0, square_mesh().find("CONNE")) +
                                                "TIMES\n 1\n" + square_mesh().substr(square_mesh().find("CONNE")) +
                                                "ENDCY\n"}}},
                0, "", {{"p.out.1", one_table_plot}}},
           // A zone file that cannot be read twice serves every printout.
           Case{{.args = {"-z", "/dev/stdin", "-xy", "p.out"}, .printout = one_table + one_table, .input = cell_line}, 0,
                "", {{"p.out.1", "Variables = X Y P\n[...]"}, {"p.out.2", "Variables = X Y P\n[...]"}}},
           // -vtk takes the place of the plot file anywhere among the options.
           Case{{.args = {"-w", "list", "-vtk", "-o", "out", "-xy", "p.out"}, .printout = timed, .files = {{"list", "p\n"}}},
                0, "", {{"out/p.out.1.vtu", "[...]"}, {"out/p.out.pvd", pvd}}},
           // -fe takes the place of the plot file too.
           Case{{.args = {"-fe", "-j", "2", "-o", "out", "-xy", "p.out"}, .printout = timed}, 0, "",
                {{"out/p.out.1.dat", lines({R"(TITLE = "p.out, printout 1")", R"(VARIABLES = "X" "Y" "P")",
                                            R"(ZONE T="t=25", N=4, E=1, DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL)"}) +
                                         "[...]     1     2     4     3\n"}}},
           // A file where the folder should be, and a mesh file that is not there.
           Case{{.args = {"-o", "p.out", "-xy", "p.out"}}, 30, "forrtl: severe (30): open failure, unit 2, file p.out"},
           Case{{.args = {"-m", "case/MESH", "-xy", "p.out"}}, 29,
                "forrtl: severe (29): file not found, unit 1, file case/MESH\nprintzone: DIR/case/MESH: No such file or "
                "directory\n  in rmesh\n  in printzone\n"}})
    check(k);
  // Help and version end the run without reading any file.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"-z", "missing", "-h"}, {"t.out", "-h"},
                                               {"--version"}})
    check({{.args = args, .printout = {}, .mesh = {}}, 0, "",
           {{"stdout", args[0] == "--version" ? "printzone " PRINTZONE_VERSION "\n" : "Usage: printzone [...]"}}});
}

TEST(Progress, OnATerminalOnlyRedrawnInPlaceAndErased) {
  EXPECT_EQ(Progress::text(1'234'000'000, 4'300'000'000, 15, 3), "printzone: 1.2 GB of 4.3 GB (28%), 15 printouts, "
                                                                   "411 MB/s, 7 s left");
  EXPECT_EQ(Progress::text(812'000, 60'000'000, 1, 0), "printzone: 812 kB of 60 MB (1%), 1 printout");
  // The progress line goes to a terminal and is erased; with -q neither it nor the catalogue.
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  dir.write("p.out", one_table + repeated(std::string(99, '.') + "\n", 600'000) + one_table);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-xy", "p.out"}, {"-q", "-xy", "p.out"}}) {
    const bool quiet = args[0] == "-q";
    int terminal = -1, child_end = -1;
    ASSERT_EQ(::openpty(&terminal, &child_end, nullptr, nullptr, nullptr), 0);
    const RunResult r = run_printzone(dir.path(), args, {}, [child_end] { ::dup2(child_end, 2); });
    ::close(child_end);
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(n));
    ::close(terminal);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, quiet ? "" : " Found printout(1): .0                \n Found printout(2): .0                \n");
    EXPECT_TRUE(quiet ? shown.empty()
                      : shown.starts_with("\rprintzone: ") && shown.ends_with("\r\033[K") && shown.find('\n') == shown.npos)
        << shown;
  }
}

}  // namespace
}  // namespace pz::test
