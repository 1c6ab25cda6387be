// Whole runs at the edges: every stop with its message alone, every
// run-time failure with its number, unit and file, plot files that cannot
// be written to the end, and each table at its capacity and one past it.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "run/cases.hpp"

namespace pz::test {
namespace {

namespace fs = std::filesystem;

std::string first_line(const std::string& s) { return s.substr(0, s.find('\n')); }

std::string report(int number, const char* message, int unit, const std::string& file) {
  return "forrtl: severe (" + std::to_string(number) + "): " + message + ", unit " + std::to_string(unit) +
         ", file " + file;
}

// In the child: when the tests run as root, become nobody so that file
// permissions apply; a child that cannot ends with 126.
void as_nobody() {
  if (::geteuid() != 0) return;
  if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(126);
}

// Element names for large meshes: a capital and four digits.
std::string big_name(int i) {
  char b[8];
  std::snprintf(b, sizeof b, "%c%04d", 'A' + i / 10000, i % 10000);
  return b;
}

// n elements in a row along x, no connections.
std::string row_mesh(int n) {
  std::string s = "ELEME\n";
  s.reserve(82 * static_cast<std::size_t>(n) + 32);
  for (int i = 0; i < n; ++i) s += element(big_name(i), i, 0) + "\n";
  return s + "\nCONNE\n+++\n";
}

// An nx x ny grid at integer points, each square split by its rising
// diagonal: 2 (nx-1)(ny-1) triangular cells. `extra` adds an element below
// the first edge, joined to both its ends: one more triangle.
std::string triangle_mesh(int nx, int ny, bool extra) {
  std::string els, conns;
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) els += element(big_name(j * nx + i), i, j) + "\n";
  auto join = [&](int a, int b) { conns += big_name(a) + big_name(b) + "\n"; };
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) {
      const int a = j * nx + i;
      if (i + 1 < nx) join(a, a + 1);
      if (j + 1 < ny) join(a, a + nx);
      if (i + 1 < nx && j + 1 < ny) join(a, a + nx + 1);
    }
  if (extra) {
    els += element(big_name(nx * ny), 0.5, -1) + "\n";
    join(nx * ny, 0);
    join(1, nx * ny);
  }
  return "ELEME\n" + els + "\nCONNE\n" + conns + "+++\n";
}

// A printout holding `tables` element tables of 20 columns, each with a
// row for the first element.
std::string wide_printout(int tables, const std::string& element_name) {
  std::string s = lines({" TOTAL TIME", " 1.0"});
  for (int t = 0; t < tables; ++t) {
    std::string heading = " ELEM.  INDEX", row = " " + element_name + "     1";
    for (int k = 1; k <= 20; ++k) {
      heading += "  C" + std::to_string(k);
      row += " " + std::to_string(100 * t + k);
    }
    s += lines({heading, row, terminator});
  }
  return s;
}

const std::string one_table = lines({" TOTAL TIME", " 1.0", " ELEM.  INDEX  P", " A1  1     1  2.5", terminator});

TEST(Stops, MeshAndLocationFilesEndTheRunWithTheMessageAlone) {
  const std::string el = element("A1  1", 1, 2) + "\n", zero = element("A1  1", 0, 0) + "\n";
  const std::string conns = "CONNE\n" + connection("A1  1", "A1  1") + "\n+++\n";
  struct {
    std::string mesh;
    std::optional<std::string> locat;
    const char* message;
  } const cases[] = {
      {"Eleme\n" + el + "\n" + conns, {}, "no eleme in MESH"},
      {"ELEME\n" + el + "\nConne\n+++\n", {}, "no conne in MESH"},
      {"ELEME\n" + el + "\n\n" + conns, {}, "no conne in MESH"},  // nothing may stand between the blocks
      {"ELEME\n" + el, {}, "Premature EOF on MESH"},
      {"ELEME\n" + el + "\n", {}, "Premature EOF on MESH"},
      {"ELEME\n" + el + "\nCONNE\n" + connection("A1  1", "A1  1") + "\n", {}, "Premature EOF on MESH"},
      {"ELEME\n" + zero + "\n" + conns, "Locat\nA1  1     1.0                 2.0\n\n", "no locat in locat"},
      {"ELEME\n" + zero + "\n" + conns, "", "Premature EOF on locat"},
      {"ELEME\n" + zero + "\n" + conns, "LOCAT\nA1  1     1.0                 2.0\n", "Premature EOF on locat"},
  };
  for (const auto& k : cases) {
    ScratchDir dir;
    dir.write("MESH", k.mesh);
    if (k.locat) dir.write("locat", *k.locat);
    dir.write("p.out", one_table);
    const RunResult r = run_printzone(dir.path(), {"-xy", "p.out"});
    EXPECT_EQ(r.status, 1) << k.message;
    EXPECT_EQ(r.err, std::string(k.message) + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(dir.exists("p.out.1"));
  }
}

TEST(Stops, OutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#else
  // 99 999 elements with 120 value slots need 96 MB for the values alone;
  // the child may map 48 MB.
  ScratchDir dir;
  dir.write("MESH", row_mesh(99999));
  dir.write("p.out", wide_printout(6, big_name(0)));
  const RunResult r = run_printzone(dir.path(), {"-xyz", "p.out"}, {}, [] {
    const rlimit limit{48 << 20, 48 << 20};
    ::setrlimit(RLIMIT_AS, &limit);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "out of memory\n");
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "p.out"}));
#endif
}

// An all-zero mesh (so that locat is read), a zone file and a list file:
// a run that opens every kind of input.
struct AllInputs {
  ScratchDir dir;
  const std::vector<std::string> args{"-z", "zones", "-w", "list", "-xy", "p.out"};
  AllInputs() {
    dir.write("MESH", mesh_file({element("A1  1", 0, 0), element("A1  2", 0, 0), element("A2  1", 0, 0),
                                 element("A2  2", 0, 0)},
                                {}));
    dir.write("locat", lines({"LOCAT", "A1  1     0.0                 0.0", "A1  2     1.0                 0.0",
                              "A2  1     0.0                 1.0", "A2  2     1.0                 1.0", ""}));
    dir.write("zones", " A1  1 A1  2 A2  2 A2  1\n");
    dir.write("list", "P\n");
    dir.write("p.out", one_table);
  }
};

const struct {
  const char* file;
  int unit;
} inputs[] = {{"MESH", 1}, {"locat", 2}, {"p.out", 1}, {"zones", 3}, {"list", 1}};

TEST(Failures, InputsThatAreMissingUnreadableOrDirectories) {
  {
    AllInputs c;
    const RunResult r = run_printzone(c.dir.path(), c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    fs::remove(c.dir.path() / "locat");
    const RunResult missing = run_printzone(c.dir.path(), c.args);
    EXPECT_EQ(missing.status, 29);
    EXPECT_EQ(missing.err, report(29, "file not found", 2, "locat") + "\n  in rmesh\n  in printzone\n");
  }
  for (const auto& in : inputs) {
    AllInputs c;
    fs::remove(c.dir.path() / in.file);
    fs::create_directory(c.dir.path() / in.file);
    const RunResult r = run_printzone(c.dir.path(), c.args);
    EXPECT_EQ(r.status, 30) << in.file;
    EXPECT_EQ(first_line(r.err), report(30, "open failure", in.unit, in.file));
  }
  for (const auto& in : inputs) {
    AllInputs c;
    fs::permissions(c.dir.path(), fs::perms::all);
    fs::permissions(c.dir.path() / in.file, fs::perms::none);
    const RunResult r = run_printzone(c.dir.path(), c.args, {}, as_nobody);
    if (r.status == 126 || r.status == 127) GTEST_SKIP() << "cannot run the program as an unprivileged user";
    EXPECT_EQ(r.status, 9) << in.file;
    EXPECT_EQ(first_line(r.err), report(9, "permission to access file denied", in.unit, in.file));
  }
}

TEST(Failures, PlotFilesThatMayNotBeWritten) {
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  dir.write("p.out", one_table);
  fs::permissions(dir.path(), fs::perms::all);
  // An existing plot file without write permission is left as it was.
  dir.write("p.out.1", "old");
  fs::permissions(dir.path() / "p.out.1", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  RunResult r = run_printzone(dir.path(), {"-xy", "p.out"}, {}, as_nobody);
  if (r.status == 126 || r.status == 127) GTEST_SKIP() << "cannot run the program as an unprivileged user";
  EXPECT_EQ(r.status, 9);
  EXPECT_EQ(first_line(r.err), report(9, "permission to access file denied", 2, "p.out.1"));
  EXPECT_EQ(dir.read("p.out.1"), "old");
  // A directory where no file may be created.
  fs::remove(dir.path() / "p.out.1");
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  r = run_printzone(dir.path(), {"-xy", "p.out"}, {}, as_nobody);
  EXPECT_EQ(r.status, 9);
  EXPECT_EQ(first_line(r.err), report(9, "permission to access file denied", 2, "p.out.1"));
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "p.out"}));
}

TEST(Failures, ReadsWithoutAnEndBranchInsideTables) {
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  for (const std::string& body : {lines({" ELEM1 ELEM2 INDEX  FLOH", " A1  1 A1  2     1  4.0"}),
                                   lines({" ELEM1 ELEM2 INDEX  FLOH"}), std::string(" ELEM.  INDEX  P")}) {
    dir.write("p.out", one_table + lines({" TOTAL TIME", " 2.0"}) + body);
    const RunResult r = run_printzone(dir.path(), {"-xy", "p.out"});
    EXPECT_EQ(r.status, 24) << body;
    EXPECT_EQ(first_line(r.err), report(24, "end-of-file during read", 1, "p.out"));
    // The first printout's plot file is complete; the second has none.
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "p.out", "p.out.1"}));
  }
}

TEST(Failures, FieldsThatAreNotNumbers) {
  const std::string a = element("A1  1", 1, 0), b = element("A1  2", 2, 0);
  const std::string bad_x = a.substr(0, 50) + "  1.0x    " + a.substr(60);
  const std::string conns = connection("A1  1", "A1  2") + "\n";
  struct {
    std::string mesh, locat;
    int unit;
    const char* file;
  } const cases[] = {
      {"ELEME\n" + bad_x + "\n" + b + "\n\nCONNE\n+++\n", "", 1, "MESH"},
      {"ELEME\n" + a.substr(0, 70) + "0.5.      \n\nCONNE\n+++\n", "", 1, "MESH"},       // z
      {"ELEME\n" + a + "\n" + std::string(60, ' ') + "*\n\nCONNE\n+++\n", "", 1, "MESH"},  // y of the terminator
      {"ELEME\n" + a + "\n\nCONNE\n" + conns.substr(0, 50) + "1.0E\n+++\n", "", 1, "MESH"},
      {"ELEME\n" + a + "\n\nCONNE\n+++" + std::string(47, ' ') + "--1\n", "", 1, "MESH"},
      {"ELEME\n" + element("A1  1", 0, 0) + "\n\nCONNE\n+++\n", "LOCAT\nA1  1     1.0.0\n\n", 2, "locat"},
      {"ELEME\n" + element("A1  1", 0, 0) + "\n\nCONNE\n+++\n", "LOCAT\nA1  1     1.0                 2.0x\n\n", 2,
       "locat"},
      {"ELEME\n" + element("A1  1", 0, 0) + "\n\nCONNE\n+++\n", "LOCAT\n          NaN\n", 2, "locat"},
  };
  for (const auto& k : cases) {
    ScratchDir dir;
    dir.write("MESH", k.mesh);
    dir.write("locat", k.locat);
    dir.write("p.out", one_table);
    const RunResult r = run_printzone(dir.path(), {"-xy", "p.out"});
    EXPECT_EQ(r.status, 64) << k.mesh << k.locat;
    EXPECT_EQ(r.err, report(64, "input conversion error", k.unit, k.file) + "\n  in rmesh\n  in printzone\n");
  }
  // A connection-table cell.
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  dir.write("p.out", lines({" TOTAL TIME", " 1.0", " ELEM1 ELEM2 INDEX  FLOH  FLOF", " A1  1 A1  2     1  4.0  4,0",
                            terminator}));
  const RunResult r = run_printzone(dir.path(), {"-xy", "p.out"});
  EXPECT_EQ(r.status, 64);
  // The report's first line, then where the field stands and what it holds.
  EXPECT_EQ(r.err, report(64, "input conversion error", 1, "p.out") +
                       "\nprintzone: line 4, columns 24-28: \"  4,0\" is not a number\n  in read_table\n  in printzone\n");
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "p.out"}));
}

TEST(WriteFailures, APlotFileCutShortLeavesNoTraceAndEarlierOnesStayWhole) {
  // 900 points: printout 1 writes about 80 kB; printout 2 writes about 820 kB
  // (the failure comes when the file is closed) or 1.6 MB (it comes in the
  // middle of the points). Plot files may not exceed 128 kB.
  const std::string mesh = triangle_mesh(30, 30, false);
  const std::string first = lines({" TOTAL TIME", " 1.0", " ELEM.  INDEX  P", " A0001  1  1.5", terminator});
  ScratchDir reference;
  reference.write("MESH", mesh);
  reference.write("p.out", first);
  ASSERT_EQ(run_printzone(reference.path(), {"-xy", "p.out"}).status, 0);
  const std::string plot1 = reference.read("p.out.1");
  ASSERT_GT(plot1.size(), 50000u);
  ASSERT_LT(plot1.size(), 128u << 10);
  for (int tables : {3, 6}) {
    ScratchDir dir;
    dir.write("MESH", mesh);
    dir.write("p.out", first + wide_printout(tables, "A0002") + one_table);
    const RunResult r = run_printzone(dir.path(), {"-xy", "p.out"}, {}, [] {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{128 << 10, 128 << 10};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(r.status, 38) << tables;
    EXPECT_EQ(r.err, report(38, "error during write", 2, "p.out.2") + "\n  in printzone\n");
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "p.out", "p.out.1"}));
    EXPECT_EQ(dir.read("p.out.1"), plot1);
  }
  // A full device: the temporary file of printout 1 leads to /dev/full.
  ScratchDir dir;
  dir.write("MESH", mesh);
  dir.write("p.out", first);
  fs::create_symlink("/dev/full", dir.path() / ".p.out.1.tmp");
  const RunResult r = run_printzone(dir.path(), {"-xy", "p.out"});
  EXPECT_EQ(r.status, 38);
  EXPECT_EQ(first_line(r.err), report(38, "error during write", 2, "p.out.1"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / ".p.out.1.tmp")));
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "p.out"}));
}

TEST(WriteFailures, AConsoleThatCannotBeWrittenEndsTheRunLikeAPlotFile) {
  const std::string console_failure = report(38, "error during write", 6, "CONOUT$") + "\n  in printzone\n";
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  dir.write("p.out", lines({" TOTAL TIME", " 1.0", " TOTAL TIME", " 2.0"}));
  std::string zones = " A1  1 A1  2 A2  2 A2  1\n";
  for (int i = 0; i < 4; ++i) zones += " ZZZ 9 A1  2 A2  2 A2  1\n";
  dir.write("zones", zones);
  // Standard output is a file that may hold 300 bytes: printout 1 writes
  // 191 (its catalogue line and four messages), printout 2 fails with its
  // messages, while its plot file is being written.
  RunResult r = run_printzone(dir.path(), {"-z", "zones", "-xy", "p.out"}, {}, [] {
    const int fd = ::open("console", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{300, 300};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(r.status, 38);
  EXPECT_EQ(r.err, console_failure);
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "console", "p.out", "p.out.1", "zones"}));
  EXPECT_EQ(dir.read("p.out.1").size(), 188u);
  // A pipe whose reader has gone: no signal ends the run before it can
  // report.
  fs::remove(dir.path() / "p.out.1");
  r = run_printzone(dir.path(), {"-z", "zones", "-xy", "p.out"}, {}, [] {
    int fds[2];
    if (::pipe(fds) != 0) ::_exit(127);
    ::close(fds[0]);
    ::dup2(fds[1], 1);
    ::signal(SIGPIPE, SIG_DFL);
  });
  EXPECT_EQ(r.status, 38);
  EXPECT_EQ(r.err, console_failure);
  EXPECT_FALSE(dir.exists("p.out.1"));
}

TEST(Capacities, ElementRecords) {
  ScratchDir dir;
  dir.write("MESH", row_mesh(99999));
  dir.write("p.out", lines({" TOTAL TIME", " 1.0", " ELEM.  INDEX  P", " " + big_name(99998) + "     1  7.5", terminator}));
  RunResult r = run_printzone(dir.path(), {"-xyz", "p.out"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string plot = dir.read("p.out.1");
  EXPECT_EQ(plot.substr(0, 41), "Variables = X Y Z P\nZone F=POINT I=99999\n");
  EXPECT_TRUE(plot.ends_with("\n  9.999800E+04  0.000000E+00  0.000000E+00  7.500000E+00\n"));
  dir.write("MESH", row_mesh(100000));
  r = run_printzone(dir.path(), {"-xyz", "p.out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "too many elements in MESH (at most 99999)\n");
}

TEST(Capacities, ConnectionRecords) {
  // Unknown names but for the last record, which joins the two elements.
  auto mesh = [](int records) {
    std::string s = "ELEME\n" + element("A1  1", 0, 0) + "\n" + element("A1  2", 2, 0) + "\n\nCONNE\n";
    s.reserve(s.size() + 11 * static_cast<std::size_t>(records) + 8);
    for (int i = 1; i < records; ++i) s += "X1  1X1  2\n";
    return s + "A1  1A1  2\n+++\n";
  };
  ScratchDir dir;
  dir.write("MESH", mesh(1199999));
  dir.write("p.out", lines({" TOTAL TIME", " 1.0", " ELEM1 ELEM2 INDEX  VEL", " A1  1 A1  2     1  4.0", terminator}));
  RunResult r = run_printzone(dir.path(), {"-xy", "p.out"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.read("p.out.1"), lines({"Variables = X Y VELx VELy", "Zone F=POINT I=    2",
                                        "  0.000000E+00  0.000000E+00 -2.000000E+00  0.000000E+00",
                                        "  2.000000E+00  0.000000E+00 -2.000000E+00  0.000000E+00"}));
  dir.write("MESH", mesh(1200000));
  r = run_printzone(dir.path(), {"-xy", "p.out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "too many connections in MESH (at most 1199999)\n");
}

TEST(Capacities, TracedCells) {
  // 281 x 251 elements give 2 x 280 x 250 = 140 000 triangles.
  ScratchDir dir;
  dir.write("MESH", triangle_mesh(281, 251, false));
  dir.write("p.out", lines({" TOTAL TIME", " 1.0"}));
  RunResult r = run_printzone(dir.path(), {"-xy", "p.out"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(first_line(dir.read("p.out.1").substr(16)), "Zone F=FEPOINT I=70531 J=140000");
  fs::remove(dir.path() / "p.out.1");
  dir.write("MESH", triangle_mesh(281, 251, true));
  r = run_printzone(dir.path(), {"-xy", "p.out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "too many cells (at most 140000)\n");
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"MESH", "p.out"}));
}

TEST(Capacities, CellsOfAZoneFileZone) {
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  dir.write("p.out", lines({" TOTAL TIME", " 1.0"}));
  std::string cells;
  for (int i = 0; i < 140000; ++i) cells += " A1  1 A1  2 A2  2 A2  1\n";
  // Each zone has its own limit.
  dir.write("zones", cells + "zone two\n A1  1 A1  2 A2  2 A2  1\n");
  RunResult r = run_printzone(dir.path(), {"-z", "zones", "-xy", "p.out"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string plot = dir.read("p.out.1");
  EXPECT_EQ(first_line(plot.substr(16)), "Zone F=FEPOINT I=    4 J=140000");
  EXPECT_TRUE(plot.ends_with(lines({"zone two F=FEPOINT I=    4 J=    1", "  0.000000E+00  0.000000E+00",
                                    "  1.000000E+00  0.000000E+00", "  1.000000E+00  1.000000E+00",
                                    "  0.000000E+00  1.000000E+00", "     1     2     3     4"})));
  fs::remove(dir.path() / "p.out.1");
  dir.write("zones", cells + " A1  1 A1  2 A2  2 A2  1\n");
  r = run_printzone(dir.path(), {"-z", "zones", "-xy", "p.out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "too many cells in a zone of the zone file (at most 140000)\n");
  EXPECT_FALSE(dir.exists("p.out.1"));
}

TEST(Capacities, VariablesHeaderAndColumnNames) {
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  // Four tables of 20 five-character names take the header to 495
  // characters; a fifth of 17 such names and one of length `last` ends at
  // 597 + 1 + last. A last table follows, which would fit after four.
  auto printout = [](int last) {
    std::string s = lines({" TOTAL TIME", " 1.0"});
    int k = 0;
    for (int t = 0; t < 5; ++t) {
      std::string heading = " ELEM.  INDEX";
      for (int c = 0; c < (t < 4 ? 20 : 17); ++c) heading += " N" + std::to_string(1000 + ++k);
      if (t == 4) heading += " " + std::string(static_cast<std::size_t>(last), 'L');
      s += lines({heading, terminator});
    }
    return s + lines({" ELEM.  INDEX  AFTER", terminator});
  };
  std::string header = "Variables = X Y";
  for (int k = 1001; k <= 1080; ++k) header += " N" + std::to_string(k);
  const std::string four_tables = header;
  for (int k = 1081; k <= 1097; ++k) header += " N" + std::to_string(k);
  header += " LL";
  ASSERT_EQ(header.size(), 600u);
  dir.write("p.out", printout(2));
  ASSERT_EQ(run_printzone(dir.path(), {"-xy", "p.out"}).status, 0);
  EXPECT_EQ(first_line(dir.read("p.out.1")), header);
  // One character more: the fifth table is dropped, and the printout ends.
  dir.write("p.out", printout(3));
  ASSERT_EQ(run_printzone(dir.path(), {"-xy", "p.out"}).status, 0);
  EXPECT_EQ(first_line(dir.read("p.out.1")), four_tables);

  // A connection table of 20 columns takes 40 slots; 21 names drop it,
  // even when the list takes only one of them.
  auto connection_table = [](int n) {
    std::string heading = " ELEM1 ELEM2 INDEX", row = " A1  1 A1  2     1";
    for (int k = 1; k <= n; ++k) {
      heading += " C" + std::to_string(k);
      row += " " + std::to_string(k);
    }
    return lines({" TOTAL TIME", " 1.0", heading, row, terminator});
  };
  dir.write("p.out", connection_table(20));
  ASSERT_EQ(run_printzone(dir.path(), {"-xy", "p.out"}).status, 0);
  const std::string plot = dir.read("p.out.1");
  std::string names = "Variables = X Y";
  for (int k = 1; k <= 20; ++k) names += " C" + std::to_string(k) + "x C" + std::to_string(k) + "y";
  EXPECT_EQ(first_line(plot), names);
  // Point 1 (0, 0): column k adds -0.5 * k / 2 (the area) in x.
  const std::string point1 = first_line(plot.substr(plot.find('\n', names.size() + 1) + 1));
  EXPECT_EQ(point1.size(), 42 * 14u);
  EXPECT_EQ(point1.substr(40 * 14), " -5.000000E+00  0.000000E+00");
  dir.write("list", "c1\n");
  for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-w", "list"}}) {
    dir.write("p.out", connection_table(21));
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-xy", "p.out"});
    ASSERT_EQ(run_printzone(dir.path(), args).status, 0);
    EXPECT_EQ(first_line(dir.read("p.out.1")), "Variables = X Y");
  }
}

}  // namespace
}  // namespace pz::test
