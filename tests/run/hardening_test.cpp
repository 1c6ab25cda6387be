// Whole runs at the edges: stops, run-time failures, unwritable outputs, capacities and limits.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "support/run.hpp"

namespace pz::test {
namespace {

// In the child, as root: become nobody so that file permissions apply (status 126 when that cannot be).
void as_nobody() {
  if (::geteuid() != 0) return;
  if (::setgroups(0, nullptr) || ::setgid(65534) || ::setuid(65534) || ::access(PRINTZONE_EXE, X_OK) != 0) ::_exit(126);
}

// In the child: files may grow to `bytes` and no further.
std::function<void()> size_limit(rlim_t bytes) {
  return [limit = rlimit{bytes, bytes}] { ::signal(SIGXFSZ, SIG_IGN), ::setrlimit(RLIMIT_FSIZE, &limit); };
}

// n elements in a row along x at 0, 1, 2, ..., no connections.
std::string row_mesh(int n) {
  std::string s = "ELEME\n";
  for (int i = 0; i < n; ++i) s += element(big_name(i), i, 0) + "\n";
  return s + "\nCONNE\n+++\n";
}

// Two elements 2 apart and `records` connections, of unknown names but the last.
std::string connection_mesh(int records) {
  return "ELEME\n" + element("A1  1", 0, 0) + "\n" + element("A1  2", 2, 0) + "\n\nCONNE\n" +
         repeated("X1  1X1  2\n", records - 1) + "A1  1A1  2\n+++\n";
}

// An nx x ny grid, each square split by its rising diagonal: 2 (nx-1)(ny-1) triangles.
std::string triangle_mesh(int nx, int ny) {
  std::vector<std::string> els, conns;
  for (int a = 0, i = 0, j = 0; j < ny; ++a, j += ++i / nx, i %= nx) {
    els.push_back(element(big_name(a), i, j));
    for (int b : {i + 1 < nx ? a + 1 : -1, j + 1 < ny ? a + nx : -1, i + 1 < nx && j + 1 < ny ? a + nx + 1 : -1})
      if (b >= 0) conns.push_back(big_name(a) + big_name(b));
  }
  return mesh_file(els, conns);
}

// A table of n columns C1..Cn with one row for `name`, valued base + k.
std::string wide_table(int n, int base, const std::string& name = "A1  1") {
  std::string heading = " ELEM.  INDEX", row = " " + name + "     1";
  for (int k = 1; k <= n; ++k) heading += "  C" + std::to_string(k), row += " " + std::to_string(base + k);
  return lines({heading, row, terminator});
}

// A printout of tables of 20 columns, table t valued 100 t + 1 ... 100 t + 20.
std::string wide_printout(int tables, const std::string& name = "A1  1") {
  std::string s = no_table;
  for (int t = 0; t < tables; ++t) s += wide_table(20, 100 * t, name);
  return s;
}

void expect_all(const std::vector<Case>& cases) {
  bool skipped = false;
  for (const Case& k : cases) skipped |= check(k).status == 126;
  if (skipped)
    GTEST_SKIP() << "the cases of file permissions were left out: run as root, they run the program as user nobody, "
                    "who cannot become that user or may not run " PRINTZONE_EXE " (a folder on its path is private)";
}

TEST(Stops, EndTheRunWithTheMessageAloneAndStatusOne) {
  const std::string el = element("A1  1", 1, 2) + "\n", zero = "ELEME\n" + element("A1  1", 0, 0) + "\n\n";
  const std::string conns = "CONNE\n" + connection("A1  1", "A1  1") + "\n+++\n";
  const std::string located = "A1  1     1.0                 2.0\n";
  const std::string flows = no_table + " ELEM1 ELEM2 INDEX  FLOH\n", wrong_way = " A1  2 A1  1     1  4.0\n";
  const std::vector<std::string> zones = {"-z", "zones", "-xy", "p.out"};
  const std::string xml_name = "the printout file name is not UTF-8 text without control characters, as -vtk needs";
  std::vector<Case> cases = {
      {{.args = {"p.out", "-yz"}}, 1, "too many arguments\nprintzone: '-yz' stands after the printout file name 'p.out'; "
                                     "the printout file name comes last\n"},
      {{.args = {"-z"}}, 1, "unknown argument\nprintzone: '-z' needs a file name after it; try 'printzone --help'\n"},
      {{.args = {"-j", "0", "p.out"}}, 1, "unknown argument\nprintzone: '-j' needs a number of threads from 1 to 256 "
                                          "after it; try 'printzone --help'\n"},
      {{.mesh = "Eleme\n" + el + "\n" + conns}, 1, "no eleme in MESH\nprintzone: DIR/MESH, line 1: a mesh file begins with ELEME\n"
                                                 "printzone: DIR/MESH: no record begins an ELEME block (ELEME or eleme in "
                                                 "columns 1-5); the ELEME and CONNE blocks were looked for throughout the "
                                                 "file, as in a simulator input file\n"},
      {{.mesh = "ELEME\n" + el + "\n\n" + conns}, 1, "no conne in MESH"},  // nothing may stand between the blocks
      {{.mesh = ""}, 1, "Premature EOF on MESH"},
      {{.mesh = "ELEME\n" + el}, 1, "Premature EOF on MESH\nprintzone: DIR/MESH: the file ends after line 2; a blank record "
                                            "ends the ELEME block, CONNE follows it at once and a blank record or +++ ends that\n"},
      {{.mesh = "ELEME\n" + el + "\n"}, 1, "Premature EOF on MESH"},
      {{.mesh = "ELEME\n" + el + "\nCONNE\n" + connection("A1  1", "A1  1") + "\n"}, 1, "Premature EOF on MESH"},
      {{.mesh = zero + conns, .files = {{"locat", "Locat\n" + located + "\n"}}}, 1, "no locat in locat"},
      {{.mesh = zero + conns, .files = {{"locat", ""}}}, 1, "Premature EOF on locat"},
      {{.mesh = zero + conns, .files = {{"locat", "LOCAT\n" + located}}}, 1, "Premature EOF on locat"},
      {{.args = {"-vtk", "-xy", "p\x01.out"}}, 1, xml_name}, {{.args = {"-vtk", "-xy", "p\xff.out"}}, 1, xml_name},
      // The square joins A1  1 to A1  2, not A1  2 to A1  1.
      {{.printout = flows + " A1  1 A1  2     1  4.0\n" + terminator + "\n" + flows + wrong_way}, 1,
       "no connection\nprintzone: printout 2, line 9: the mesh has no connection from \"A1  2\" to \"A1  1\" (it lists "
       "them the other way round)\n", {{"p.out.1", "[...]"}}},
      {{.args = {"-xyz", "p.out"}, .mesh = row_mesh(100000)}, 1, "too many elements in MESH (at most 99999)"},
      {{.mesh = connection_mesh(1200000)}, 1, "too many connections in MESH (at most 1199999)"},
      {{.printout = no_table, .mesh = triangle_mesh(281, 252)}, 1, "too many cells (at most 140000)"},
      // A stop found while threads trace cells still leaves an earlier run's files.
      {{.args = {"-j", "4", "-vtk", "p.out"},
        .printout = lines({" TOTAL TIME", " 1.0", " ELEM.  INDEX  P", " " + big_name(0) + "     1  2.5x", terminator}),
        .mesh = triangle_mesh(281, 252), .files = {{"p.out.pvd", "earlier"}, {"p.out.1.vtu", "earlier"}}}, 1,
       "too many cells (at most 140000)", {{"stdout", ""}, {"p.out.pvd", "earlier"}, {"p.out.1.vtu", "earlier"}}},
      // A stop in printout 3 of 5 leaves the grids before it, a collection listing them, and older files.
      {{.args = {"-j", "4", "-vtk", "-xy", "p.out"}, .printout = one_table + one_table + flows + wrong_way + terminator +
                                                               "\n" + one_table + one_table,
        .files = {{"p.out.pvd", "earlier"}, {"p.out.4.vtu", "earlier"}}}, 1, "no connection\nprintzone: printout 3, line 14: "
       "the mesh has no connection from \"A1  2\" to \"A1  1\" (it lists them the other way round)\n",
       {{"p.out.1.vtu", "[...]"}, {"p.out.2.vtu", "[...]"}, {"p.out.4.vtu", "earlier"},
        {"p.out.pvd", "[...]file=\"p.out.2.vtu\"/>\n  </Collection>\n</VTKFile>\n"}}},
      {{.args = zones, .printout = no_table, .files = {{"zones", repeated(cell_line, 140001)}}}, 1,
       "too many cells in a zone of the zone file (at most 140000)"},
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // which need more address space than the limit leaves
      // 99 999 elements with 120 value slots need 96 MB for the values alone; the child may map 48 MB.
      {{.args = {"-xyz", "p.out"}, .printout = wide_printout(6, big_name(0)), .mesh = row_mesh(99999),
        .in_child = [limit = rlimit{48 << 20, 48 << 20}] { ::setrlimit(RLIMIT_AS, &limit); }}, 1, "out of memory\n"},
#endif
  };
  for (const char* word : {"-XY", "--xy", "-vtk1", "--h", "-H"})
    cases.push_back({{.args = {word, "p.out"}}, 1, "unknown argument\nprintzone: '" + std::string(word) +
                                                   "' is not an option; try 'printzone --help'\n"});
  for (const Case& k : cases) {
    const RunResult r = check(k);
    std::istringstream out(r.out);  // standard output holds the catalogue alone
    for (std::string line; std::getline(out, line);) EXPECT_TRUE(line.starts_with(" Found printout(")) << line;
    // The message, then lines of context (but where memory ran out).
    std::istringstream err(r.err);
    std::string line;
    std::getline(err, line);
    bool context = false;
    for (; std::getline(err, line); context = true) EXPECT_TRUE(line.starts_with("printzone: ")) << r.err;
    EXPECT_TRUE(context || k.err == "out of memory\n") << r.err;
  }
}

// A run opening every kind of input (all-zero mesh, locat, zones, list naming P alone).
Inputs all_inputs(std::function<void(const fs::path&)> prepare, std::function<void()> in_child = {}) {
  return {.args = {"-z", "zones", "-w", "list", "-xy", "p.out"},
          .printout = lines({" TOTAL TIME", " 1.0", " ELEM.  INDEX  P  PCAP  T", " A1  1     1  2.5  x  -", terminator}),
          .mesh = square_mesh(false), .files = {{"locat", square_locat}, {"zones", cell_line}, {"list", "p\n"}},
          .prepare = std::move(prepare), .in_child = std::move(in_child)};
}

Inputs directory_for(const std::string& file) {
  return all_inputs([file](const fs::path& d) { fs::remove(d / file), fs::create_directory(d / file); });
}

Inputs unreadable(const std::string& file) {
  return all_inputs([file](const fs::path& d) { fs::permissions(d, fs::perms::all), fs::permissions(d / file, {}); },
                    as_nobody);
}

TEST(Failures, InputsThatAreMissingEmptyUnreadableOrNotNumbers) {
  const std::string a = element("A1  1", 1, 0), zero = "ELEME\n" + element("A1  1", 0, 0) + "\n\nCONNE\n+++\n";
  const std::string second = one_table + no_table;
  const std::string failing = second + lines({" ELEM.  INDEX  P", " A1  1     1  2.5x", terminator}) + one_table;
  const std::string eof = "forrtl: severe (24): end-of-file during read, unit 1, file p.out";
  expect_all({
      {all_inputs({}), 0, "", {{"p.out.1", "Variables = X Y P\nZone F=FEPOINT I=    4 J=    1\n  0.000000E+00  "
                                 "0.000000E+00  2.500000E+00\n[...]"}}},
      {all_inputs([](const fs::path& d) { fs::remove(d / "locat"); }), 29,
       "forrtl: severe (29): file not found, unit 2, file locat\nprintzone: DIR/locat: No such file or directory; locat is "
       "read from the folder of the mesh file when every coordinate in the mesh is zero\n  in rmesh\n  in printzone\n"},
      {{.prepare = [](const fs::path& d) { fs::remove(d / "MESH"); }}, 29,
       "forrtl: severe (29): file not found, unit 1, file MESH\nprintzone: DIR/MESH: No such file or directory; MESH is read "
       "from the working directory; name another mesh file with -m\n  in rmesh\n  in printzone\n"},
      {{.args = {"missing.out"}}, 29, "forrtl: severe (29): file not found, unit 1, file missing.out\nprintzone: "
                                     "DIR/missing.out: No such file or directory\n  in printzone\n"},
      {{.args = {"-z", "nozones", "p.out"}}, 29, "forrtl: severe (29): file not found, unit 3, file nozones"},
      {{.args = {"-w", "empty", "p.out"}, .files = {{"empty", ""}}}, 24,
       "forrtl: severe (24): end-of-file during read, unit 1, file empty"},
      {{.args = {}}, 24, "forrtl: severe (24): end-of-file during read, unit 5, file CONIN$"},
      {{.args = {}, .input = "p.out\n"}, 24, "forrtl: severe (24): end-of-file during read, unit 5, file CONIN$"},
      {{.args = {}, .input = "p.out\nx\n"}, 64, "forrtl: severe (64): input conversion error, unit 5, file CONIN$"},
      {directory_for("MESH"), 30, "forrtl: severe (30): open failure, unit 1, file MESH"},
      {directory_for("p.out"), 30, "forrtl: severe (30): open failure, unit 1, file p.out"},
      {unreadable("MESH"), 9, "forrtl: severe (9): permission to access file denied, unit 1, file MESH"},
      {unreadable("p.out"), 9, "forrtl: severe (9): permission to access file denied, unit 1, file p.out"},
      // Fields that are not numbers: an element's x, the terminator's y, a location, a table cell.
      {{.mesh = "ELEME\n" + a.substr(0, 50) + "  1.0x    " + a.substr(60) + "\n\nCONNE\n+++\n"}, 64,
       "forrtl: severe (64): input conversion error, unit 1, file MESH\nprintzone: line 2, columns 51-60: \"  1.0x    \" "
       "is not a number\n  in rmesh\n  in printzone\n"},
      {{.mesh = "ELEME\n" + a + "\n\nCONNE\n+++" + std::string(47, ' ') + "--1\n"}, 64,
       "forrtl: severe (64): input conversion error, unit 1, file MESH"},
      {{.mesh = zero, .files = {{"locat", "LOCAT\nA1  1     1.0.0\n\n"}}}, 64,
       "forrtl: severe (64): input conversion error, unit 2, file locat\nprintzone: line 2, columns 11-30: \"1.0.0\" is not "
       "a number\n  in rmesh\n  in printzone\n"},
      {{.printout = no_table + lines({" ELEM1 ELEM2 INDEX  FLOH  FLOF", " A1  1 A1  2     1  4.0  4,0", terminator})},
       64, "forrtl: severe (64): input conversion error, unit 1, file p.out\nprintzone: line 4, columns 24-28: "
           "\"  4,0\" is not a number\n  in read_table\n  in printzone\n"},
      // A printout that fails keeps the plot files before it whole and ends the run.
      {{.printout = failing}, 64, "forrtl: severe (64): input conversion error, unit 1, file p.out",
       {{"p.out.1", one_table_plot}}},
      // With -vtk: printout 2's grids and old files stay; the collection lists printout 1.
      {{.args = {"-vtk", "-z", "zones", "-xy", "p.out"}, .printout = failing,
        .files = {{"zones", cell_line + "Zone T=\"second\"\n" + cell_line}, {"p.out.2_1.vtu", "old"}}},
       64, "forrtl: severe (64): input conversion error, unit 1, file p.out",
       {{"p.out.1.vtm", "[...]"}, {"p.out.1_1.vtu", "[...]"}, {"p.out.1_2.vtu", "[...]"}, {"p.out.2_1.vtu", "old"},
        {"p.out.pvd", "[...]file=\"p.out.1.vtm\"/>\n  </Collection>\n</VTKFile>\n"}}},
      // The file ends inside a table.
      {{.printout = second + lines({" ELEM.  INDEX  P", " A1  1     1  2.5"})}, 24, eof + "\nprintzone: the file ends "
       "after line 9, inside the table headed at line 8 (-partial writes such a printout from the rows read)\n"
       "  in read_table\n  in printzone\n", {{"p.out.1", one_table_plot}}},
      {{.printout = second + " ELEM1 ELEM2 INDEX  FLOH\n"}, 24, eof, {{"p.out.1", one_table_plot}}},
      // No printout: a warning says what begins one.
      {{.printout = lines({" nothing here", " ELEM.  INDEX  P"})}, 0,
       "printzone: warning: no printout found in p.out: a printout begins at a header line, whose first words are "
       "\"TOTAL TIME\" (in any case, after column 1), followed by its values line, or at a line \"OUTPUT AFTER n TIME "
       "STEPS t SECONDS\"",
       {{"stdout", ""}}},
  });
}

// A last line without its line end is never a row, yet ends a table; -partial writes the printout before it.
TEST(CutFiles, ALastLineWithoutItsLineEndIsNeverReadAsARow) {
  const std::string rows = lines({" TOTAL TIME", " 2.0", " ELEM.  INDEX  P", " A1  1     1  0.10000E+06"});
  const std::string flows = lines({" TOTAL TIME", " 2.0", " ELEM1 ELEM2 INDEX  FLOH", " A1  1 A2  1     1  4.0"});
  const std::string plot2 = "Variables = X Y P\nZone F=FEPOINT I=    4 J=    1\n  0.000000E+00  0.000000E+00  "
                            "1.000000E+05\n  1.000000E+00  0.000000E+00  0.000000E+00\n[...]";
  const std::string flows2 = "Variables = X Y FLOHx FLOHy\nZone F=FEPOINT I=    4 J=    1\n  0.000000E+00  "
                             "0.000000E+00  0.000000E+00 -1.000000E+00\n  1.000000E+00  0.000000E+00  0.000000E+00  "
                             "0.000000E+00\n[...]";
  const std::string cut = "the file ends after line 10, which has no line end, inside the table headed at line 8";
  const std::string failed = "forrtl: severe (24): end-of-file during read, unit 1, file p.out\nprintzone: " + cut +
                             " (-partial writes such a printout from the rows before it)\n  in read_table\n  in printzone\n";
  const std::string partial = "printzone: warning: printout 2: " + cut + "; the printout is written from the rows before it\n";
  using Files = std::vector<std::pair<std::string, std::string>>;
  const Files first = {{"p.out.1", one_table_plot}}, both = {{"p.out.1", one_table_plot}, {"p.out.2", plot2}};
  for (const std::string threads : {"1", "2"}) {
    const auto run = [&](const std::string& printout, bool partial) {
      Inputs in{.args = {"-j", threads, "-xy", "p.out"}, .printout = one_table + printout};
      if (partial) in.args.insert(in.args.begin(), "-partial");
      return in;
    };
    for (const Case& k : std::vector<Case>{
             {run(rows + " A1  2     2  0.10", false), 24, failed, first},
             {run(rows + " A1  2     2  0.10300E+", false), 24, failed, first},
             {run(rows + " A1  2     2  0.10300E+0\r", false), 24, failed, first},  // a row carried over CRLF
             {run(rows + " A1  2     2  0.10300E+0", true), 0, partial, both},
             {run(flows + " A2  1 A2  2     2  0.40000E+0", true), 0, partial, {first[0], {"p.out.2", flows2}}},
             // A terminator or a header line without its line end is one all the same.
             {run(rows + terminator, false), 0, "", both},
             {run(rows + " TOTAL TIME", false), 0, "printzone: warning: printout 2, line 10: a header line ends the "
                                                   "table headed at line 8, which has no terminator line\n", both}})
      check(k);
  }
}

// A UTF-8 byte-order mark at the start of any input file is passed over.
TEST(InputFiles, AByteOrderMarkAtTheStartIsPassedOver) {
  Inputs plain = all_inputs({});
  *plain.printout += *plain.printout;
  ScratchDir reference;
  prepare(plain, reference);
  const RunResult expected = run_in(plain, reference);
  ASSERT_EQ(expected.status, 0) << expected.err;
  Inputs marked = plain;
  marked.prepare = [](const fs::path& d) {
    for (const char* f : {"MESH", "locat", "zones", "list", "p.out"}) {
      const std::string text = slurp(d / f);
      std::ofstream(d / f, std::ios::binary) << "\xEF\xBB\xBF" << text;
    }
  };
  check({marked, 0, "", {{"stdout", expected.out}, {"p.out.1", reference.read("p.out.1")}, {"p.out.2", reference.read("p.out.2")}}});
  check({{.mesh = "\xEF\xBB\xBF"}, 1, "Premature EOF on MESH"});
  check({{.mesh = "\xEF\xBB" + square_mesh()}, 1, "no eleme in MESH"});
}

// A collection cut by a full disk amid an entry stays whole XML.
TEST(Failures, ACollectionCutShortStaysWholeXml) {
  ScratchDir dir;
  prepare(Inputs{.printout = repeated(one_table, 40)}, dir);
  const RunResult r = run_printzone(dir.path(), {"-q", "-vtk", "-xy", "p.out"}, {}, size_limit(2048));
  EXPECT_EQ(r.status, 38) << r.err;
  const std::string pvd = dir.read("p.out.pvd");
  EXPECT_GT(std::count(pvd.begin(), pvd.end(), '\n'), 12) << pvd;
  EXPECT_TRUE(pvd.ends_with(".vtu\"/>\n  </Collection>\n</VTKFile>\n")) << pvd;
}

TEST(Failures, PlotFilesAndConsoleThatCannotBeWritten) {
  // 700 points; plot files capped at 128 kB: printout 2 fails amid its points (1.2 MB).
  const std::string mesh = row_mesh(700);
  const std::string plot1 = "Variables = X Y\nZone F=POINT I=  700\n[...]\n  6.990000E+02  0.000000E+00\n";
  const std::string too_big = "forrtl: severe (38): error during write, unit 2, file p.out.2\nprintzone: DIR/p.out.2: "
                              "File too large\n  in printzone\n";
  // Printout 2 passes the 300 bytes the console may take.
  Inputs full_console{.args = {"-z", "zones", "-xy", "p.out"}, .printout = no_table + no_table,
                      .files = {{"zones", cell_line + repeated(" ZZZ 9 A1  2 A2  2 A2  1\n", 4)}}};
  full_console.in_child = [limit = size_limit(300)] { ::dup2(::open("console", O_WRONLY | O_CREAT, 0644), 1), limit(); };
  const std::string console = "forrtl: severe (38): error during write, unit 6, file CONOUT$";
  // A plot file's failure names its path and the reason, in either format.
  const auto plot_failure = [](const std::string& first, const std::string& file, const std::string& reason) {
    return "forrtl: severe (" + first + ", unit 2, file " + file + "\nprintzone: DIR/" + file + ": " + reason +
           "\n  in printzone\n";
  };
  const std::string denied = plot_failure("9): permission to access file denied", "p.out.1", "Permission denied");
  const auto read_only = [](const fs::path& d) { fs::permissions(d, fs::perms::all), fs::create_directory(d / "ro"),
                                                 fs::permissions(d / "ro", fs::perms(0555)); };
  const auto in_read_only = [&](const std::vector<std::string>& format, const std::string& file) {
    std::vector<std::string> args = format;
    args.insert(args.end(), {"-o", "ro", "-xy", "p.out"});
    return Case{{.args = args, .prepare = read_only, .in_child = as_nobody}, 9,
                plot_failure("9): permission to access file denied", "ro/" + file, "Permission denied")};
  };
  expect_all({
      {{.printout = no_table + wide_printout(6, big_name(1)), .mesh = mesh, .in_child = size_limit(128 << 10)}, 38,
       too_big, {{"p.out.1", plot1}}},
      // Links at the temporary's and the plot file's names are replaced, never written through.
      {{.files = {{"victim", "mine"}}, .prepare = [](const fs::path& d) {
          fs::create_symlink("victim", d / ".p.out.1.tmp"), fs::create_symlink("victim", d / "p.out.1");
        }}, 0, "", {{"victim", "mine"}, {"p.out.1", one_table_plot}}},
      // Existing plot files are replaced whole: hard links keep the old contents.
      {{.printout = no_table + wide_printout(6, big_name(1)), .mesh = mesh,
        .files = {{"p.out.1", "old"}, {"p.out.2", "old"}},
        .prepare = [](const fs::path& d) {
          fs::create_hard_link(d / "p.out.1", d / "kept1"), fs::create_hard_link(d / "p.out.2", d / "kept2");
        }},
       0, "", {{"kept1", "old"}, {"kept2", "old"}, {"p.out.1", plot1}, {"p.out.2", "Variables = X Y C1 [...]"}}},
      {full_console, 38, console, {{"console", "[...]"}, {"p.out.1", "Variables = X Y\n[...]\n     1     2     3     4\n"}}},
      {{.prepare = [](const fs::path& d) { fs::create_directory(d / "p.out.1"); }}, 30,
       plot_failure("30): open failure", "p.out.1", "Is a directory")},
      {{.args = {"-vtk", "-xy", "p.out"}, .prepare = [](const fs::path& d) { fs::create_directory(d / "p.out.1.vtu"); }},
       30, plot_failure("30): open failure", "p.out.1.vtu", "Is a directory"), {{"p.out.pvd", "[...]"}}},
      // An existing plot file that may not be written is left as it was.
      {{.files = {{"p.out.1", "old"}},
        .prepare = [](const fs::path& d) { fs::permissions(d, fs::perms::all), fs::permissions(d / "p.out.1", fs::perms(0444)); },
        .in_child = as_nobody}, 9, denied, {{"p.out.1", "old"}}},
      // A directory where no file may be created.
      {{.prepare = [](const fs::path& d) { fs::permissions(d, fs::perms(0555)); }, .in_child = as_nobody}, 9, denied},
      in_read_only({}, "p.out.1"), in_read_only({"-vtk"}, "p.out.pvd"),
  });
}

TEST(Capacities, EachTableHoldsItsCapacityAndDropsWhatPassesIt) {
  std::string slots = "Variables = X Y";  // six tables of 20 columns fill the 120 value slots
  for (int k = 0; k < 120; ++k) slots += " C" + std::to_string(k % 20 + 1);
  // Names that take the header to 597 + 1 + last characters.
  std::string names[5];
  for (int k = 0; k < 97; ++k) names[k / 20] += " N" + std::to_string(1001 + k);
  const std::string four = "Variables = X Y" + names[0] + names[1] + names[2] + names[3];
  auto long_names = [&](int last) {
    std::string s = no_table;
    for (int t = 0; t < 5; ++t)
      s += lines({" ELEM.  INDEX" + names[t] + (t == 4 ? " " + std::string(last, 'L') : ""), terminator});
    return s + lines({" ELEM.  INDEX  AFTER", terminator});  // which would fit after four
  };
  const std::string zeros = "  0.000000E+00  0.000000E+00  0.000000E+00";
  const std::string zone = "Zone F=FEPOINT I=    4 J=    1\n";
  auto no_rows = [](int line) {
    return "printzone: warning: printout 1, line " + std::to_string(line) +
           ": no row of this table names an element of the mesh; its columns hold zeros\n";
  };
  auto left_out = [](int line, std::string_view limit) {
    return "printzone: warning: printout 1, line " + std::to_string(line) +
           ": the table is left out, with the rest of the printout: more than " + std::string(limit) + "\n";
  };
  const std::string values = "120 values per element and printout", columns = "20 column names in a heading",
                    header = "600 characters of variable names in a plot file's header";
  std::vector<std::pair<std::string, std::string>> numbered = {
      {"stdout", "[...] Found printout(10001):                   \n"}};
  for (int n = 1; n <= 10001; ++n) numbered.push_back({"p.out." + std::to_string(n), "Variables = X Y Z\n[...]"});
  expect_all({
      {{.args = {"-xyz", "p.out"}, .printout = no_table + wide_table(1, 6, big_name(99998)), .mesh = row_mesh(99999)},
       0, "", {{"p.out.1", "Variables = X Y Z C1\nZone F=POINT I=99999\n[...]\n  9.999800E+04  0.000000E+00  "
                           "0.000000E+00  7.000000E+00\n"}}},
      // The last connection has no area: its flow adds nothing, its velocity counts.
      {{.printout = no_table + lines({" ELEM1 ELEM2 INDEX  VEL  FLOH", " A1  1 A1  2     1  4.0  4.0", terminator}),
        .mesh = connection_mesh(1199999)},
       0, "", {{"p.out.1", lines({"Variables = X Y VELx VELy FLOHx FLOHy", "Zone F=POINT I=    2",
                                  "  0.000000E+00  0.000000E+00 -2.000000E+00" + zeros,
                                  "  2.000000E+00  0.000000E+00 -2.000000E+00" + zeros})}}},
      {{.printout = no_table, .mesh = triangle_mesh(281, 251)}, 0, "",
       {{"p.out.1", "Variables = X Y\nZone F=FEPOINT I=70531 J=140000\n[...]"}}},
      // A seventh table is dropped whole, with the rest of its printout; the next starts afresh.
      {{.printout = wide_printout(7) + wide_table(1, 900) + no_table + wide_table(1, 50)}, 0, left_out(21, values),
       {{"p.out.1", slots + "\n" + zone + "  0.000000E+00  0.000000E+00  1.000000E+00[...]"}, {"p.out.2", "Variables = X Y C1\n" + zone + "[...]"}}},
      // So is a table of more than 20 names.
      {{.printout = no_table + wide_table(2, 0) + wide_table(21, 0) + wide_table(1, 0)}, 0, left_out(6, columns),
       {{"p.out.1", "Variables = X Y C1 C2\n" + zone + "[...]"}}},
      // (the tables without rows are named too)
      {{.printout = long_names(2)}, 0, no_rows(3) + no_rows(5) + no_rows(7) + no_rows(9) + no_rows(11) + left_out(13, header),
       {{"p.out.1", four + names[4] + " LL\n" + zone + "[...]"}}},
      {{.printout = long_names(3)}, 0, no_rows(3) + no_rows(5) + no_rows(7) + no_rows(9) + left_out(11, header),
       {{"p.out.1", four + "\n" + zone + "[...]"}}},
      // Printouts past 9999 are numbered in full.
      {{.args = {"-xyz", "p.out"}, .printout = repeated(" TOTAL TIME\n v\n", 10001)}, 0, "", numbered},
  });
}

TEST(Temporaries, ASignalRemovesThemAndEndsTheRunAsItWould) {
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  ASSERT_EQ(::mkfifo((dir.path() / "p.out").c_str(), 0600), 0);
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(dir.path().c_str()) != 0) ::_exit(127);
      ::execl(PRINTZONE_EXE, "printzone", "-xy", "p.out", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // A printout begun, its plot file under its temporary name, a table open.
    std::ofstream fifo(dir.path() / "p.out");
    fifo << lines({" TOTAL TIME", " 1.0", " ELEM.  INDEX  P", " A1  1     1  2.5"}) << std::flush;
    // (the files are MESH and the temporary: the pipe is no regular file)
    for (int wait = 0; dir.files().size() < 2 && wait < 1000; ++wait) ::usleep(5000);
    // The temporary's name is the run's own, so that two runs at once never mix their files.
    EXPECT_TRUE(dir.files()[0].starts_with(".p.out.1." + std::to_string(pid) + ".")) << "no temporary file";
    ::kill(pid, signal_number);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_EQ(dir.files(), std::vector<std::string>{"MESH"});
  }
}

// Where memory or descriptors run short, any -j leaves what -j 1 leaves (each three times).
constexpr std::initializer_list<int> rounds = {2, 4, 2, 4, 2, 4};

// In the child: at most `count` descriptors, those beyond the standard three closed.
std::function<void()> descriptor_limit(rlim_t count) {
  return [limit = rlimit{count, count}] {
    for (int fd = 3; fd < 1024; ++fd) ::close(fd);
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(125);
  };
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // which need more address space than any limit here
// With 16 MB more address space than -j 1 needs, more threads get through with the same files.
TEST(Limits, ShortMemoryGivesTheResultOfOneThread) {
  std::string heading = " ELEM.  INDEX", row = " " + big_name(0) + "     1";
  for (int k = 1; k <= 20; ++k) {
    char field[32];
    std::snprintf(field, sizeof field, "%13s", ("C" + std::to_string(k)).c_str());
    heading += field;
    std::snprintf(field, sizeof field, " %12.8f", k + 0.12345678);
    row += field;
  }
  const Inputs wide{.args = {"-q", "-xyz", "p.out"},
                    .printout = repeated(no_table + lines({heading, row, terminator}), 3), .mesh = row_mesh(40000)};
  auto limited = [&](rlim_t megabytes) {
    Inputs run = wide;
    run.in_child = [limit = rlimit{megabytes << 20, megabytes << 20}] {
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(125);
    };
    return run;
  };
  for (rlim_t megabytes = 16; megabytes <= 64; megabytes += 8) {
    if (left_by(limited(megabytes), 1).status != 0) continue;
    const Left left = same_whatever_threads(limited(megabytes + 16), rounds);
    EXPECT_EQ(left.status, 0) << left.err;
    EXPECT_EQ(left.files.size(), 5u) << megabytes + 16 << " MB";
    return;
  }
  GTEST_SKIP() << "no address-space limit up to 64 MB lets the run through, or none can be set";
}
#endif

// With -vtk each printout in flight holds a descriptor: six leave room for one, five for none.
TEST(Limits, FewDescriptorsGiveTheResultOfOneThread) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' checks open files of their own at any moment";
#endif
  Inputs run{.args = {"-q", "-vtk", "-xy", "p.out"}, .printout = repeated(one_table, 8), .in_child = descriptor_limit(6)};
  const Left enough = same_whatever_threads(run, rounds);
  if (enough.status == 125) GTEST_SKIP() << "no descriptor limit can be set";
  EXPECT_EQ(enough.status, 0) << enough.err;
  EXPECT_EQ(enough.files.size(), 11u);  // MESH, p.out, 8 grids and the collection
  run.in_child = descriptor_limit(5);
  const Left none = same_whatever_threads(run, rounds);
  EXPECT_EQ(none.status, 30);
  EXPECT_EQ(none.err, "forrtl: severe (30): open failure, unit 2, file p.out.1.vtu\nprintzone: DIR/p.out.1.vtu: "
                      "Too many open files\n  in printzone\n");
}

}  // namespace
}  // namespace pz::test
