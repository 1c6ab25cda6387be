// Whole runs against expected files. Each folder under tests/run/golden is
// one case:
//   args     the command line, its arguments separated by blanks
//   inputs   (optional) files of the project copied in first, one path a line
//   in/      the case's own input files
//   out/     what the run must give, byte for byte: "stdout" and "stderr"
//            (empty when absent), "status" (0 when absent) and every file
//            the run leaves besides its inputs ("[...]" in one stands for
//            any text between its start and end)
// Each case runs with its printouts converted one after another (-j 1) and
// several at once (-j 3): both must give the same.
#include "support/run.hpp"

namespace pz::test {
namespace {

const fs::path source = PRINTZONE_SOURCE_DIR, golden = source / "tests" / "run" / "golden";

std::vector<std::string> words(const fs::path& p) {
  std::vector<std::string> v;
  std::istringstream in(slurp(p));
  for (std::string w; in >> w;) v.push_back(w);
  return v;
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

}  // namespace
}  // namespace pz::test
