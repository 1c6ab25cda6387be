// Whole runs against expected files, and converted by one thread against
// several. Each folder under tests/run/golden is one case:
//   args     the command line, its arguments separated by blanks
//   inputs   (optional) files of the project copied in first, one path a line
//   in/      the case's own input files
//   out/     what the run must give, byte for byte: "stdout" and "stderr"
//            (empty when absent), "status" (0 when absent) and every file
//            the run leaves besides its inputs ("[...]" in one stands for
//            any text between its start and end)
// Each case runs with its printouts converted one after another (-j 1) and
// several at once (-j 3): both must give the same.

#include <iterator>
#include <thread>

#include "support/run.hpp"

namespace pz::test {
namespace {

const fs::path source = PRINTZONE_SOURCE_DIR, golden = source / "tests" / "run" / "golden";

std::vector<std::string> words(const fs::path& p) {
  std::istringstream in(slurp(p));
  return {std::istream_iterator<std::string>(in), {}};
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, GivesTheExpectedFiles) {
  const fs::path folder = golden / GetParam(), out = folder / "out";
  Case k{{.printout = {}, .mesh = {}}, 0, slurp(out / "stderr")};
  for (const fs::path p : words(folder / "inputs")) k.run.files.push_back({p.filename(), slurp(source / p)});
  if (fs::exists(folder / "in"))
    for (const auto& e : fs::directory_iterator(folder / "in"))
      k.run.files.push_back({e.path().filename(), slurp(e.path())});
  for (const auto& e : fs::directory_iterator(out)) {
    if (e.path().filename() == "status") k.status = std::stoi(slurp(e.path()));
    else if (e.path().filename() != "stderr") k.left.push_back({e.path().filename(), slurp(e.path())});
  }
  if (!fs::exists(out / "stdout")) k.left.push_back({"stdout", ""});
  for (const char* threads : {"1", "3"}) {
    k.run.args = words(folder / "args");
    k.run.args.insert(k.run.args.begin(), {"-j", threads});
    check(k);
  }
}

std::vector<std::string> case_names() {  // which are test names too
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(golden)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(case_names()), [](const auto& info) { return info.param; });

// Printouts converted several at once give what a run of one after another
// gives: the same files, console output and exit status, when a printout
// fails or stops the run too, and when a table row that looks like a header
// line carries a printout past where a header line would end it: the run
// with -j 1 and with -j 4 must match in everything.
void expect_same_with_threads(Inputs run) {
  using Outcome = std::tuple<int, std::string, std::string, std::vector<std::pair<std::string, std::string>>>;
  Outcome outcomes[2];
  const std::vector<std::string> args = run.args;
  for (int i = 0; i < 2; ++i) {
    ScratchDir dir;
    prepare(run, dir);
    run.args = {"-j", i == 0 ? "1" : "4"};
    run.args.insert(run.args.end(), args.begin(), args.end());
    const RunResult r = run_in(run, dir);
    outcomes[i] = {r.status, r.out, r.err, {}};
    for (const std::string& name : dir.files()) std::get<3>(outcomes[i]).push_back({name, dir.read(name)});
  }
  EXPECT_EQ(outcomes[0], outcomes[1]);
}

std::string printout(int n, const std::string& row) {
  return lines({" TOTAL TIME", " " + std::to_string(n) + ".0", " ELEM.  INDEX  P", row, terminator});
}

TEST(Threads, FailuresStopsAndLongPrintoutsEndTheRunAsOneThreadDoes) {
  const std::string bad_number = " A1  1     1  2.5x", bad_pair = " A2  1 A1  1     1  4.0";
  for (int bad = 1; bad <= 9; bad += 4) {  // the first, a middle and the last of nine
    std::string numbers, pairs;
    for (int n = 1; n <= 9; ++n) {
      numbers += printout(n, n == bad ? bad_number : " A1  1     1  " + std::to_string(n) + ".5");
      pairs += n == bad ? lines({" TOTAL TIME", " 1.0", " ELEM1 ELEM2 INDEX  FLOH", bad_pair, terminator})
                        : printout(n, " A2  2     1  1.0");
    }
    expect_same_with_threads({.printout = numbers});
    expect_same_with_threads({.printout = pairs});
    expect_same_with_threads({.args = {"-vtk", "-z", "zones", "-xy", "p.out"}, .printout = numbers,
                              .files = {{"zones", cell_line + "Zone T=\"two\"\n" + cell_line}}});
  }
  // An element named "total" makes a row that reads as a header line part
  // of its table: printout 2 runs on past it, and the printouts after it
  // are numbered from there.
  const std::string total = mesh_file({element("A1  1", 0, 0), element("total", 1, 0)}, {});
  std::string file;
  for (int n = 1; n <= 12; ++n)
    file += n == 2 ? lines({" TOTAL TIME", " 2.0", " ELEM.  INDEX  P", " A1  1     1  1.0", " total time  2.0",
                            " TOTAL TIME", " 2.5", " A1  1     3  3.0", terminator})
                   : printout(n, " A1  1     1  " + std::to_string(n) + ".5");
  expect_same_with_threads({.args = {"-xyz", "p.out"}, .printout = file, .mesh = total});
  // Many printouts, some cut short by a table that overflows or has no terminator, with -partial at the end.
  std::string many;
  for (int n = 1; n <= 60; ++n)
    many += n % 7 == 0 ? lines({" TOTAL TIME", " 7.0", " ELEM.  INDEX  P", " A1  1     1  7.0"})
                       : printout(n, " A2  1     1  " + std::to_string(n) + ".25");
  expect_same_with_threads({.args = {"-partial", "-xy", "p.out"}, .printout = many + " ELEM.  INDEX  P\n A1  1     1"});
}

// A printout file cut short while printouts are converted on threads (a
// simulator writing it anew) is a read failure that says so; no temporary
// is left.
TEST(Threads, APrintoutFileCutShortWhileReadEndsTheRunClearly) {
  ScratchDir dir;
  dir.write("MESH", square_mesh());
  std::string file, filler = repeated(" a line of the printout that heads no table\n", 50'000);
  for (int n = 1; n <= 40; ++n) file += printout(n, " A1  1     1  1.5") + filler;
  dir.write("p.out", file);
  // Once printout 1 is written, printout 5 has not been read to its end.
  std::thread cut([&] {
    for (int wait = 0; !std::filesystem::exists(dir.path() / "p.out.1") && wait < 20000; ++wait) ::usleep(100);
    std::filesystem::resize_file(dir.path() / "p.out", 100);
  });
  const RunResult r = run_printzone(dir.path(), {"-q", "-j", "2", "-xy", "p.out"});
  cut.join();
  EXPECT_EQ(r.status, 39);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "forrtl: severe (39): error during read, unit 1, file p.out");
  EXPECT_NE(r.err.find("bytes it had when the run began: it was cut short while it was read\n"), std::string::npos);
  for (const std::string& name : dir.files()) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

}  // namespace
}  // namespace pz::test
