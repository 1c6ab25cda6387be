// Whole runs: the console dialogue, the usage help and the -vtk option word.
// What the VTK files hold is read back with real readers by tests/vtk.
#include "run/cases.hpp"

namespace pz::test {
namespace {

TEST(Dialogue, AsksForTheNameThenTheOptionFromColumnOne) {
  // The answer replaces a projection option of the command line; the plot
  // file's name is lower-cased but not its directory. ELEMENT heads a table.
  const std::string printout =
      lines({" TOTAL TIME", " 1.0", " ELEMENT INDEX  T", " A2  2    1  -20.25", terminator});
  const std::string prompts = "Input file name:  \nMESH is: \n1)  YZ \n2) X Z \n3) XY  \n4) XYZ \nEnter option:  \n"
                              " Found printout(1): .0                \n";
  // Seen in Y and Z the square stands on its edge and has no cell.
  const std::string yz = lines({"Variables = Y Z T", "Zone F=POINT I=    4",
                                "  0.000000E+00  5.000000E+00  0.000000E+00",
                                "  0.000000E+00  5.000000E+00  0.000000E+00",
                                "  1.000000E+00  5.000000E+00  0.000000E+00",
                                "  1.000000E+00  5.000000E+00 -2.025000E+01"});
  auto answer = [&](const std::string& option, const std::string& plot) {
    return Case{{.args = {"-xz"}, .files = {{"Runs/Case.OUT", printout}}, .input = "Runs/Case.OUT\n" + option + "\n"},
                0, "", {{"stdout", prompts}, {"Runs/case.out.1", plot}}};
  };
  for (const Case& k : {answer("3", "Variables = X Y T\n[...]"), answer("12", yz),  // column 1 alone
                        answer(" 3", "Variables = X Y T\n[...]"),  // blank: automatic, the flat square gives XY
                        answer("", "Variables = X Y T\n[...]"), answer("7", "Variables = X Y Z T\n[...]"),  // 4
                        // Without the dialogue the last projection option counts.
                        Case{{.args = {"-xy", "-yz", "p.out"}, .printout = printout}, 0, "", {{"p.out.1", yz}}}})
    check(k);
}

TEST(Help, PrintsTheUsageAndEndsWithoutReadingAnyFile) {
  ScratchDir dir;  // no MESH, no printout file, no zone file
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-h"}, {"--help"}, {"-xy", "--help", "t.out"},
                                               {"-z", "missing", "-h"}, {"t.out", "-h"}}) {
    const RunResult r = run_printzone(dir.path(), args);
    EXPECT_EQ(r.status, 0) << args[0];
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out.starts_with("Usage: printzone ")) << r.out;
  }
  EXPECT_TRUE(dir.files().empty());
}

TEST(VtkOption, TakesThePlaceOfThePlotFileAnywhereAmongTheOptions) {
  const std::string printout =
      lines({" TOTAL TIME", " 2.5E+01 first", " ELEM.  INDEX  P", " A1  1     1  2.5", terminator});
  const std::string pvd = lines(
      {R"(<?xml version="1.0"?>)",
       R"(<VTKFile type="Collection" version="1.0" byte_order="LittleEndian" header_type="UInt64">)", "  <Collection>",
       R"(    <DataSet timestep="25" group="" part="0" file="p.out.1.vtu"/>)", "  </Collection>", "</VTKFile>"});
  for (const auto& args : {std::vector<std::string>{"-vtk", "-xy", "p.out"}, {"-xy", "-vtk", "p.out"},
                           {"-w", "list", "-vtk", "p.out"}})
    check({{.args = args, .printout = printout, .files = {{"list", "p\n"}}}, 0, "",
           {{"p.out.1.vtu", "[...]"}, {"p.out.pvd", pvd}}});
}

}  // namespace
}  // namespace pz::test
