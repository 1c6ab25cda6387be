// Whole runs: the -vtk option word and the usage help. What the VTK files
// hold is read back with real readers by tests/vtk/check_readers.py.
#include <gtest/gtest.h>

#include "run/cases.hpp"

namespace pz::test {
namespace {

std::string one_printout() {
  return lines({" TOTAL TIME", " 2.5E+01 first", " ELEM.  INDEX  P", " A1  1     1  2.5", terminator});
}

TEST(VtkOption, TakesThePlaceOfThePlotFileAnywhereAmongTheOptions) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-vtk", "-xy", "T.Out"}, {"-xy", "-vtk", "T.Out"}, {"-w", "list", "-vtk", "T.Out"}}) {
    ScratchDir dir;
    dir.write("MESH", square_mesh());
    dir.write("T.Out", one_printout());
    dir.write("list", "p\n");
    const auto plain = run_printzone(dir.path(), {"-xy", "T.Out"});
    const auto r = run_printzone(dir.path(), args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, plain.out);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "T.Out", "list", "t.out.1", "t.out.1.vtu", "t.out.pvd"}))
        << args[0];
    const std::string pvd = dir.read("t.out.pvd");
    EXPECT_NE(pvd.find("<DataSet timestep=\"25\" group=\"\" part=\"0\" file=\"t.out.1.vtu\"/>"), std::string::npos)
        << pvd;
  }
}

TEST(VtkOption, IsComparedExactly) {
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  dir.write("t.out", one_printout());
  for (const char* word : {"-VTK", "-vtk1", "--vtk"}) {
    const auto r = run_printzone(dir.path(), {word, "t.out"});
    EXPECT_EQ(r.status, 1) << word;
    EXPECT_EQ(r.err, "unknown argument\n") << word;
  }
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "t.out"}));
}

TEST(Help, PrintsTheUsageAndEndsWithoutReadingAnyFile) {
  ScratchDir dir;  // no MESH, no printout file, no zone file
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-h"}, {"--help"}, {"-xy", "--help", "t.out"}, {"-z", "missing", "-h"}, {"t.out", "-h"}}) {
    const auto r = run_printzone(dir.path(), args);
    EXPECT_EQ(r.status, 0) << args[0];
    EXPECT_EQ(r.err, "");
    for (const char* text : {"Usage: printzone", "-vtk", "-xyz", "-z zonefile", "-w listfile", "MESH", "locat",
                             ".vtu", ".pvd", "Exit status", "64 input conversion error"}) {
      EXPECT_NE(r.out.find(text), std::string::npos) << text;
    }
  }
  EXPECT_TRUE(dir.files().empty());
  for (const char* word : {"-help", "--h", "-H", "--HELP"}) {
    const auto r = run_printzone(dir.path(), {word});
    EXPECT_EQ(r.status, 1) << word;
    EXPECT_EQ(r.err, "unknown argument\n") << word;
  }
}

}  // namespace
}  // namespace pz::test
