// Whole runs against expected files. Each folder under tests/run/golden is
// one case:
//   args     the command line, one argument a line
//   inputs   (optional) files of the project copied in first, one path a line
//   in/      the case's own input files
//   out/     what the run must give, byte for byte: "stdout", "stderr"
//            (empty when absent), "status" (0 when absent) and every file
//            the run leaves besides its inputs
// Each case runs with its printouts converted one after another (-j 1) and
// several at once (-j 3): both must give the same.
#include <fstream>
#include <sstream>

#include "run/cases.hpp"

namespace pz::test {
namespace {

namespace fs = std::filesystem;

const fs::path source = PRINTZONE_SOURCE_DIR, golden = source / "tests" / "run" / "golden";

std::string slurp(const fs::path& p) {
  std::ostringstream s;
  s << std::ifstream(p, std::ios::binary).rdbuf();
  return s.str();
}

std::vector<std::string> lines_of(const fs::path& p) {
  std::vector<std::string> v;
  std::istringstream in(slurp(p));
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) v.push_back(l);
  return v;
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, GivesTheExpectedFiles) {
  const fs::path folder = golden / GetParam(), out = folder / "out";
  Case k{{.args = lines_of(folder / "args"), .printout = {}, .mesh = {}}, 0, slurp(out / "stderr"), {}};
  for (const fs::path p : lines_of(folder / "inputs")) k.run.files.push_back({p.filename(), slurp(source / p)});
  if (fs::exists(folder / "in"))
    for (const auto& e : fs::directory_iterator(folder / "in"))
      k.run.files.push_back({e.path().filename(), slurp(e.path())});
  for (const auto& e : fs::directory_iterator(out)) {
    if (e.path().filename() == "status") k.status = std::stoi(slurp(e.path()));
    else if (e.path().filename() != "stderr") k.left.push_back({e.path().filename(), slurp(e.path())});
  }
  if (!fs::exists(out / "stdout")) k.left.push_back({"stdout", ""});
  const std::vector<std::string> args = k.run.args;
  for (const char* threads : {"1", "3"}) {
    k.run.args = {"-j", threads};
    k.run.args.insert(k.run.args.end(), args.begin(), args.end());
    check(k);
  }
}

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(golden)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(case_names()), [](const auto& info) {
  std::string name = info.param;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

}  // namespace
}  // namespace pz::test
