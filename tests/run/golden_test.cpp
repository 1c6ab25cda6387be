// Whole runs against the folders of tests/run/golden, at -j 1 and -j 3: args (the command line), inputs
// (project files copied in), in/ (inputs), out/ (stdout, stderr, status and every file left, byte for byte;
// "[...]" stands for any text between a start and an end); and -j 1 against -j N on harder scans.

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
    same_whatever_threads({.printout = numbers});
    same_whatever_threads({.printout = pairs});
    same_whatever_threads({.args = {"-fe", "-vtk", "-z", "zones", "-xy", "p.out"}, .printout = numbers,
                              .files = {{"zones", cell_line + "Zone T=\"two\"\n" + cell_line}}});
  }
  // An element named "total" gives a row that reads as a header line.
  const std::string total = mesh_file({element("A1  1", 0, 0), element("total", 1, 0)}, {});
  std::string file;
  for (int n = 1; n <= 12; ++n)
    file += n == 2 ? lines({" TOTAL TIME", " 2.0", " ELEM.  INDEX  P", " A1  1     1  1.0", " total time  2.0",
                            " TOTAL TIME", " 2.5", " A1  1     3  3.0", terminator})
                   : printout(n, " A1  1     1  " + std::to_string(n) + ".5");
  same_whatever_threads({.args = {"-xyz", "p.out"}, .printout = file, .mesh = total});
  // Many printouts, some cut short by a table that overflows or has no terminator, with -partial at the end.
  std::string many;
  for (int n = 1; n <= 60; ++n)
    many += n % 7 == 0 ? lines({" TOTAL TIME", " 7.0", " ELEM.  INDEX  P", " A1  1     1  7.0"})
                       : printout(n, " A2  1     1  " + std::to_string(n) + ".25");
  same_whatever_threads({.args = {"-partial", "-xy", "p.out"}, .printout = many + " ELEM.  INDEX  P\n A1  1     1"});
}

// Printouts guessed from the spacing of those before are checked where each truly ends.
TEST(Threads, PrintoutsGuessedFromTheSpacingOfThoseBeforeAreCheckedWhereEachEnds) {
  const std::string bad_number = " A1  1     1  2.5x";
  const auto with_filler = [](int n, const std::vector<std::string_view>& filler, const std::string& row) {
    std::string text = lines({" TOTAL TIME", " " + std::to_string(n) + ".0"});
    for (const std::string_view f : filler) text += std::string(f) + "\n";
    return text + lines({" ELEM.  INDEX  P", row, terminator});
  };
  const std::string row = " A1  1     1  1.5", long_filler(2000, ' ');
  // 4 bytes on one line, then on two.
  same_whatever_threads({.printout = with_filler(1, {"   "}, row) + with_filler(2, {" ", " "}, row) +
                                        with_filler(3, {"   "}, bad_number) + printout(4, row)});
  const std::vector<std::string_view> two_more = {long_filler, "ab", "cd", "efgh"};
  const std::string longer = with_filler(3, two_more, row),
                    unended = lines({" TOTAL TIME", " 3.0", long_filler, "ab", "cd", "efgh", " ELEM.  INDEX  P", row});
  for (const std::string& third : {longer, unended + std::string(longer.size() - unended.size() - 1, ' ') + "\n"})
    same_whatever_threads({.args = {"-partial", "-xy", "p.out"},
                              .printout = with_filler(1, {long_filler, "abcdefgh"}, row) +
                                          with_filler(2, two_more, row) + third + with_filler(4, two_more, bad_number) +
                                          printout(5, row)});
  // Two long printouts, then two short ones, the last failing.
  same_whatever_threads({.printout = with_filler(1, {long_filler}, row) + with_filler(2, {long_filler}, row) +
                                        printout(3, row) + printout(4, bad_number)});
  // Printout 3 has a row that reads as a header line where printout 4 would begin.
  const std::string total = mesh_file({element("A1  1", 0, 0), element("total", 1, 0)}, {});
  const std::string first = printout(1, " A1  1     1  1.5"), second = printout(2, " A1  1     1  2.5");
  const std::string third = lines({" TOTAL TIME", " 3.0", " ELEM.  INDEX  P", " A1  1     1  1.0"});
  std::string fake = lines({" total time  2.0", " TOTAL TIME", " 3.5", " A1  1     3  3.0", terminator});
  const std::size_t spacing = second.size();
  ASSERT_LT(third.size(), spacing);
  // The fake header line begins where the spacing puts the fourth printout.
  const std::string padded = third.substr(0, third.size() - 1) + std::string(spacing - third.size(), ' ') + "\n";
  same_whatever_threads(
      {.args = {"-xyz", "p.out"}, .printout = first + second + padded + fake + printout(5, row), .mesh = total});
}

// A second printout guessed from the size of the first is checked where the first ends.
TEST(Threads, ASecondPrintoutGuessedFromTheFirstIsCheckedWhereTheFirstEnds) {
  const auto big = [](int n, int long_lines, int short_lines, bool terminated = true) {
    const std::string number = std::to_string(n);
    return lines({" TOTAL TIME", " " + number + ".0", " ELEM.  INDEX  P", " A1  1     1  1." + number}) +
           repeated(std::string(1000, ' ') + "\n", long_lines) +
           lines({terminator, " ELEM1 ELEM2 INDEX  FLOH", " A1  1 A1  2     1  4.0"}) +
           repeated("         -\n", short_lines) + (terminated ? terminator + "\n" : "");  // (short lines of 11 bytes)
  };
  const std::string first = big(1, 1000, 363636), second = big(2, 1000, 90909), third = big(3, 1000, 113636);
  const int fourth_lines = static_cast<int>((first.size() + second.size() + third.size() - big(4, 1000, 0).size()) / 11);
  for (const std::string& file : {big(1, 2500, 250000) + big(2, 2500, 250000, false) + big(3, 2500, 250000),
                                  big(1, 2500, 400000) + big(2, 2500, 250000) + big(3, 2500, 250000),
                                  big(1, 4500, 250000) + big(2, 1000, 250000) + big(3, 1000, 250000),
                                  first + second + third + big(4, 1000, fourth_lines)})
    same_whatever_threads({.args = {"-xy", "p.out"}, .printout = file}, {4});
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // which need more address space than the limit leaves
// No thread to be had (no room for a thread's stack) gives the run of one thread.
TEST(Threads, NoThreadToBeHadGivesTheRunOfOneThread) {
  std::string file;
  for (int n = 1; n <= 5; ++n) file += printout(n, " A1  1     1  " + std::to_string(n) + ".5");
  same_whatever_threads({.args = {"-xy", "p.out"}, .printout = file, .in_child = [] {
                              const rlimit stack{512 << 20, 512 << 20}, memory{256 << 20, 256 << 20};
                              ::setrlimit(RLIMIT_STACK, &stack);
                              ::setrlimit(RLIMIT_AS, &memory);
                            }});
}
#endif

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // whose allocators keep freed memory
// Peak memory does not grow with the count of printouts.
TEST(Memory, PeakDoesNotGrowWithThePrintouts) {
  std::vector<std::string> els;
  std::string table = " ELEM.  INDEX";
  for (const char* column : {"P", "T", "S", "L", "G", "W"}) table += std::string(12, ' ') + column;
  table += "\n";
  for (int i = 0; i < 10000; ++i) {
    char name[8], row[128];
    std::snprintf(name, sizeof name, "G%04d", i);
    els.push_back(element(name, i % 100, i / 100));
    std::snprintf(row, sizeof row, " %s %6d%s\n", name, i + 1, repeated("  0.12500E+01", 6).c_str());
    table += row;
  }
  table += terminator + "\n";
  for (const char* threads : {"1", "2"}) {
    long peaks[2];
    for (const int i : {0, 1}) {
      // (written a printout at a time: the child's peak counts this process's memory)
      ScratchDir dir;
      prepare({.printout = std::nullopt, .mesh = mesh_file(els, {})}, dir);
      std::ofstream file(dir.path() / "p.out", std::ios::binary);
      for (int n = 1; n <= 8 + 32 * i; ++n) file << no_table << table;
      file.close();
      peaks[i] = run_printzone(dir.path(), {"-j", threads, "-q", "-xy", "p.out"}).peak_kib;
      ASSERT_GT(dir.read("p.out." + std::to_string(8 + 32 * i)).size(), std::size_t{1} << 20);
    }
    EXPECT_LT(peaks[1], peaks[0] + 4096) << "-j " << threads << ": " << peaks[0] << " KiB, then " << peaks[1];
  }
}
#endif

// A printout file cut short while threads read it is a read failure that says so.
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
