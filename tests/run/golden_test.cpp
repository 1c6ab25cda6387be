// Whole runs against expected files. Each folder under tests/run/golden is
// one case:
//   args     the command line, one argument a line
//   inputs   (optional) files of the project copied in first, one path a line
//   in/      the case's own input files
//   out/     what the run must give, byte for byte: "stdout", "stderr"
//            (empty when absent), "status" (0 when absent) and every file
//            the run leaves besides its inputs
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/run.hpp"

namespace pz::test {
namespace {

namespace fs = std::filesystem;

const fs::path golden_root = fs::path(PRINTZONE_SOURCE_DIR) / "tests" / "run" / "golden";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines_of(const fs::path& p) {
  std::vector<std::string> v;
  std::istringstream in(fs::exists(p) ? slurp(p) : std::string());
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) v.push_back(l);
  return v;
}

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(golden_root))
    if (e.is_directory()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, GivesTheExpectedFiles) {
  const fs::path folder = golden_root / GetParam();
  ScratchDir dir;
  std::vector<std::string> inputs;
  for (const std::string& p : lines_of(folder / "inputs")) {
    const std::string name = fs::path(p).filename().string();
    dir.write(name, slurp(fs::path(PRINTZONE_SOURCE_DIR) / p));
    inputs.push_back(name);
  }
  if (fs::exists(folder / "in"))
    for (const auto& e : fs::directory_iterator(folder / "in")) {
      dir.write(e.path().filename().string(), slurp(e.path()));
      inputs.push_back(e.path().filename().string());
    }

  const RunResult r = run_printzone(dir.path(), lines_of(folder / "args"));
  const fs::path out = folder / "out";
  const std::vector<std::string> status = lines_of(out / "status");
  EXPECT_EQ(r.status, status.empty() ? 0 : std::stoi(status[0])) << r.err;
  EXPECT_EQ(r.out, fs::exists(out / "stdout") ? slurp(out / "stdout") : "");
  EXPECT_EQ(r.err, fs::exists(out / "stderr") ? slurp(out / "stderr") : "");

  std::vector<std::string> expected = inputs;
  for (const auto& e : fs::directory_iterator(out)) {
    const std::string name = e.path().filename().string();
    if (name == "stdout" || name == "stderr" || name == "status") continue;
    expected.push_back(name);
    EXPECT_EQ(dir.read(name), slurp(e.path())) << name;
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.files(), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(case_names()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace pz::test
