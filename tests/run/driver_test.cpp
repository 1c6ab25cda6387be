// Whole runs: the command line, the console dialogue, the printout
// catalogue, plot file naming, and how stops and failures end a run.
#include <gtest/gtest.h>

#include "run/cases.hpp"

namespace pz::test {
namespace {

// A printout file with one printout holding one element table.
std::string one_printout(const std::string& values_line = " 1.0000E+00  first") {
  return lines({" TOTAL TIME", values_line, " ELEM.  INDEX  P", " A1  1     1  2.5", terminator});
}

struct Case {
  ScratchDir dir;
  Case() { dir.write("MESH", square_mesh()); }
  RunResult run(const std::vector<std::string>& args, std::string_view input = {}) {
    return run_printzone(dir.path(), args, input);
  }
};

TEST(Arguments, OptionsAndNameSetTheRunWithoutDialogue) {
  Case c;
  c.dir.write("t.out", one_printout());
  // The last projection option wins.
  auto r = c.run({"-xy", "-yz", "t.out"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, " Found printout(1): .0000E+00  first  \n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(c.dir.read("t.out.1").substr(0, 18), "Variables = Y Z P\n");
}

TEST(Arguments, DialogueAsksForNameAndOption) {
  Case c;
  c.dir.write("t.out", one_printout());
  auto r = c.run({}, "t.out\n3\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Input file name:  \nMESH is: \n1)  YZ \n2) X Z \n3) XY  \n4) XYZ \nEnter option:  \n"
            " Found printout(1): .0000E+00  first  \n");
  EXPECT_EQ(c.dir.read("t.out.1").substr(0, 18), "Variables = X Y P\n");
}

TEST(Arguments, OptionAnswerReadsColumnOneOnly) {
  Case c;
  c.dir.write("t.out", one_printout());
  struct {
    const char* answer;
    const char* header;
  } cases[] = {
      {"12\n", "Variables = Y Z P"},  // 1
      {" 3\n", "Variables = X Y P"},  // blank: automatic, the flat square gives XY
      {"\n", "Variables = X Y P"},    // empty: automatic
      {"7\n", "Variables = X Y Z P"}, // above 4 acts as 4
  };
  for (auto& k : cases) {
    // The answer replaces a projection option of the command line.
    auto r = c.run({"-xz"}, std::string("t.out\n") + k.answer);
    EXPECT_EQ(r.status, 0) << k.answer << r.err;
    EXPECT_EQ(c.dir.read("t.out.1").substr(0, std::string(k.header).size() + 1), std::string(k.header) + "\n")
        << k.answer;
  }
}

TEST(Arguments, StopsEndWithStatusOneAndTheMessageAlone) {
  Case c;
  c.dir.write("t.out", one_printout());
  struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"t.out", "-yz"}, "too many arguments\n"},
      {{"a", "t.out"}, "too many arguments\n"},
      {{"-XY", "t.out"}, "unknown argument\n"},
      {{"-xy1", "t.out"}, "unknown argument\n"},
      {{"-z"}, "unknown argument\n"},
      {{"-xy", "-w"}, "unknown argument\n"},
  };
  for (auto& k : cases) {
    auto r = c.run(k.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, k.message);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(c.dir.exists("t.out.1"));
}

TEST(Arguments, FailuresNameTheUnitAndFile) {
  Case c;
  c.dir.write("t.out", one_printout());
  c.dir.write("empty", "");
  struct {
    std::vector<std::string> args;
    std::string input;
    int status;
    const char* first_line;
  } cases[] = {
      {{"-w", "nolist", "t.out"}, "", 29, "forrtl: severe (29): file not found, unit 1, file nolist"},
      {{"-z", "nozones", "t.out"}, "", 29, "forrtl: severe (29): file not found, unit 3, file nozones"},
      {{"-w", "empty", "t.out"}, "", 24, "forrtl: severe (24): end-of-file during read, unit 1, file empty"},
      {{"missing.out"}, "", 29, "forrtl: severe (29): file not found, unit 1, file missing.out"},
      {{}, "", 24, "forrtl: severe (24): end-of-file during read, unit 5, file CONIN$"},
      {{}, "t.out\n", 24, "forrtl: severe (24): end-of-file during read, unit 5, file CONIN$"},
      {{}, "t.out\nx\n", 64, "forrtl: severe (64): input conversion error, unit 5, file CONIN$"},
  };
  for (auto& k : cases) {
    auto r = c.run(k.args, k.input);
    EXPECT_EQ(r.status, k.status) << k.first_line;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), k.first_line);
  }
  c.dir.write("MESH", "");
  auto r = c.run({"t.out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Premature EOF on MESH\n");
  std::filesystem::remove(c.dir.path() / "MESH");
  r = c.run({"t.out"});
  EXPECT_EQ(r.status, 29);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "forrtl: severe (29): file not found, unit 1, file MESH");
}

TEST(Catalogue, EveryPrintoutIsAnnouncedAndGetsItsPlotFile) {
  Case c;
  std::string text = "header of the run\n";
  for (int i = 1; i <= 3; ++i) {
    text += lines({" Total Time  KCYC", " " + std::to_string(i) + ".000000E+01    " + std::to_string(10 * i) + "   trailing",
                   " some line", " ELEM.  INDEX  P", " A1  1     1  " + std::to_string(i), terminator});
  }
  c.dir.write("Results", text);
  auto r = c.run({"-xy", "Results"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            " Found printout(1): .000000E+01    10 \n"
            " Found printout(2): .000000E+01    20 \n"
            " Found printout(3): .000000E+01    30 \n");
  EXPECT_EQ(c.dir.files(), (std::vector<std::string>{"MESH", "Results", "results.1", "results.2", "results.3"}));
  EXPECT_NE(c.dir.read("results.3").find("  3.000000E+00\n"), std::string::npos);
}

TEST(Catalogue, HeaderLinesAreRecognisedOnlyAsWritten) {
  Case c;
  // Recognised: any case, after column 1. Not: two blanks, text before it,
  // a header in column 1, and a header that is the last line.
  c.dir.write("h.out", lines({" TOTAL TIME", " values one", " total  time", " x total time", "TOTAL TIME",
                              "   toTal Time is here", " values two", " TOTAL TIME"}));
  auto r = c.run({"-xy", "h.out"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, " Found printout(1): alues one         \n Found printout(2): alues two         \n");
  // Two header lines in a row: the second is the values line of the first.
  c.dir.write("h.out", lines({" TOTAL TIME", " TOTAL TIME and more", " v"}));
  r = c.run({"-xy", "h.out"});
  EXPECT_EQ(r.out, " Found printout(1): OTAL TIME and more\n");
  // No header line at all: no output, no plot file.
  c.dir.write("n.out", lines({" nothing here", " ELEM.  INDEX  P"}));
  r = c.run({"-xy", "n.out"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(c.dir.exists("n.out.1"));
}

TEST(Catalogue, PlotFileNameLowerCasesTheNameButNotItsDirectory) {
  Case c;
  std::filesystem::create_directory(c.dir.path() / "Runs");
  c.dir.write("Runs/Case.OUT", one_printout());
  auto r = c.run({"-xy", "Runs/Case.OUT"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(c.dir.exists("Runs/case.out.1"));
}

TEST(Catalogue, PrintoutsPast9999AreNumberedInFull) {
  Case c;
  std::string text;
  for (int i = 0; i < 10001; ++i) text += " TOTAL TIME\n v\n";
  c.dir.write("m.out", text);
  auto r = c.run({"-xyz", "m.out"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(" Found printout(10001): "), std::string::npos);
  EXPECT_TRUE(c.dir.exists("m.out.9999"));
  EXPECT_TRUE(c.dir.exists("m.out.10000"));
  EXPECT_TRUE(c.dir.exists("m.out.10001"));
}

TEST(Failures, APrintoutThatFailsLeavesNoPlotFile) {
  Case c;
  const std::string good = one_printout();
  // Printout 2 holds a value that is not a number; printout 3 is never reached.
  c.dir.write("f.out", good + lines({" TOTAL TIME", " v", " ELEM.  INDEX  P", " A1  1     1  2.5x", terminator}) + good);
  auto r = c.run({"-xy", "f.out"});
  EXPECT_EQ(r.status, 64);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "forrtl: severe (64): input conversion error, unit 1, file f.out");
  EXPECT_EQ(c.dir.files(), (std::vector<std::string>{"MESH", "f.out", "f.out.1"}));
  EXPECT_EQ(c.dir.read("f.out.1"), lines({"Variables = X Y P", "Zone F=FEPOINT I=    4 J=    1",
                                          "  0.000000E+00  0.000000E+00  2.500000E+00",
                                          "  1.000000E+00  0.000000E+00  0.000000E+00",
                                          "  0.000000E+00  1.000000E+00  0.000000E+00",
                                          "  1.000000E+00  1.000000E+00  0.000000E+00",
                                          "     1     2     4     3"}));
  // The end of the file inside a table.
  c.dir.write("e.out", lines({" TOTAL TIME", " v", " ELEM.  INDEX  P", " A1  1     1  2.5"}));
  r = c.run({"-xy", "e.out"});
  EXPECT_EQ(r.status, 24);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "forrtl: severe (24): end-of-file during read, unit 1, file e.out");
  EXPECT_FALSE(c.dir.exists("e.out.1"));
}

TEST(Failures, PlotFileThatIsADirectory) {
  Case c;
  c.dir.write("p.out", one_printout());
  std::filesystem::create_directory(c.dir.path() / "p.out.1");
  auto r = c.run({"-xy", "p.out"});
  EXPECT_EQ(r.status, 30);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "forrtl: severe (30): open failure, unit 2, file p.out.1");
}

}  // namespace
}  // namespace pz::test
