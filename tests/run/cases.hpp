// Hand-made and generated inputs for whole runs, and one run described as
// a table row: what the directory holds, the command line, and the result.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/run.hpp"

namespace pz::test {

// An element record: name in columns 1-5, coordinates in 51-60, 61-70, 71-80.
inline std::string element(const std::string& name, double x, double y, double z = 0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%-5.5s%45s%10.4f%10.4f%10.4f", name.c_str(), "", x, y, z);
  return buf;
}

// A connection record: names in columns 1-5 and 6-10, area in 51-60.
inline std::string connection(const std::string& a, const std::string& b, double area = 1) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%-5.5s%-5.5s%40s%10.4f", a.c_str(), b.c_str(), "", area);
  return buf;
}

inline std::string mesh_file(const std::vector<std::string>& elements, const std::vector<std::string>& connections) {
  std::string s = "ELEME\n";
  for (auto& e : elements) s += e + "\n";
  s += "\nCONNE\n";
  for (auto& c : connections) s += c + "\n";
  return s + "+++\n";
}

// The unit square at z = 5: A1  1 (0,0), A1  2 (1,0), A2  1 (0,1), A2  2
// (1,1), joined along its sides: one cell (1, 2, 4, 3) in the XY plane.
inline std::string square_mesh() {
  return mesh_file({element("A1  1", 0, 0, 5), element("A1  2", 1, 0, 5), element("A2  1", 0, 1, 5),
                    element("A2  2", 1, 1, 5)},
                   {connection("A1  1", "A1  2", 2), connection("A1  1", "A2  1", 2),
                    connection("A1  2", "A2  2", 2), connection("A2  1", "A2  2", 2)});
}

// Joins lines, each followed by "\n".
inline std::string lines(std::initializer_list<std::string_view> ls) {
  std::string s;
  for (auto l : ls) s.append(l).push_back('\n');
  return s;
}

inline const std::string terminator = " @@@@@@@@@@@@@@@@@@@@";
inline const std::string one_table =
    lines({" TOTAL TIME", " 1.0", " ELEM.  INDEX  P", " A1  1     1  2.5", terminator});
// What -xy makes of one_table on the square.
inline const std::string one_table_plot =
    lines({"Variables = X Y P", "Zone F=FEPOINT I=    4 J=    1", "  0.000000E+00  0.000000E+00  2.500000E+00",
           "  1.000000E+00  0.000000E+00  0.000000E+00", "  0.000000E+00  1.000000E+00  0.000000E+00",
           "  1.000000E+00  1.000000E+00  0.000000E+00", "     1     2     4     3"});

// One whole run: the directory holds p.out, MESH and `files`, then
// `prepare` may change it; `in_child` runs in the child before the program.
struct Inputs {
  std::vector<std::string> args = {"-xy", "p.out"};
  std::optional<std::string> printout = one_table, mesh = square_mesh();
  std::vector<std::pair<std::string, std::string>> files = {};
  std::string input = {};
  std::function<void(const std::filesystem::path&)> prepare = {};
  std::function<void()> in_child = {};
};

struct Case {
  Inputs run;
  int status;
  std::string err;  // all of standard error when empty or ending a line, else its first line
  // The files the run leaves (and "stdout") with what they hold; "[...]"
  // stands for any text between a start and an end.
  std::vector<std::pair<std::string, std::string>> left = {};
};

inline bool matches(const std::string& text, const std::string& pattern) {
  const auto cut = pattern.find("[...]");
  if (cut == std::string::npos) return text == pattern;
  return text.size() + 5 >= pattern.size() && text.starts_with(pattern.substr(0, cut)) &&
         text.ends_with(pattern.substr(cut + 5));
}

// Runs k in a fresh directory; the files there afterwards must be those
// before and the ones in k.left. A child ending with 126 (it could not drop
// its privileges) is not checked.
// Fills dir with the run's inputs.
inline void prepare(const Inputs& run, const ScratchDir& dir) {
  if (run.printout) dir.write("p.out", *run.printout);
  if (run.mesh) dir.write("MESH", *run.mesh);
  for (auto& [name, text] : run.files) dir.write(name, text);
  if (run.prepare) run.prepare(dir.path());
}

// Runs in dir; messages name files by their full paths: dir reads "DIR".
inline RunResult run_in(const Inputs& run, const ScratchDir& dir) {
  RunResult r = run_printzone(dir.path(), run.args, run.input, run.in_child);
  const std::string folder = dir.path().string();
  for (auto at = r.err.find(folder); at != std::string::npos; at = r.err.find(folder, at))
    r.err.replace(at, folder.size(), "DIR");
  return r;
}

inline RunResult check(const Case& k) {
  ScratchDir dir;
  prepare(k.run, dir);
  std::vector<std::string> files = dir.files();
  RunResult r = run_in(k.run, dir);
  if (r.status == 126) return r;
  const std::string what = k.err + " from " + testing::PrintToString(k.run.args) + " " + k.run.input;
  EXPECT_EQ(r.status, k.status) << what << r.err;
  EXPECT_EQ(k.err.empty() || k.err.ends_with('\n') ? r.err : r.err.substr(0, r.err.find('\n')), k.err) << what;
  for (auto& [name, text] : k.left) {
    if (name != "stdout" && name.find('/') == std::string::npos) files.push_back(name);
    const std::string got = name == "stdout" ? r.out : dir.read(name);
    EXPECT_TRUE(matches(got, text)) << what << name << ":\n" << got.substr(0, 3000);
  }
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  EXPECT_EQ(dir.files(), files) << what;
  return r;
}

}  // namespace pz::test
