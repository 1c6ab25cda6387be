// Helpers of the tests: scratch directories, runs of printzone, hand-made inputs, whole runs as table rows.
#pragma once

#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace pz::test {

namespace fs = std::filesystem;

// What a file holds; "" when it cannot be read.
inline std::string slurp(const fs::path& p) {
  std::ostringstream s;
  s << std::ifstream(p, std::ios::binary).rdbuf();
  return s.str();
}

// A fresh temporary directory, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<int> counter{0};
    const std::string prefix = "printzone-test-" + std::to_string(::getpid()) + "-";
    do path_ = fs::temp_directory_path() / (prefix + std::to_string(counter++));
    while (!fs::create_directory(path_));
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);  // a test may have taken them away
    fs::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const fs::path& path() const { return path_; }
  // Makes missing folders; the file is readable by all (for runs as another user).
  void write(const std::string& name, std::string_view content) const {
    fs::create_directories((path_ / name).parent_path());
    if (!std::ofstream(path_ / name, std::ios::binary).write(content.data(), std::ssize(content)))
      throw std::runtime_error("cannot write " + name);
    fs::permissions(path_ / name, fs::perms(0644));
  }
  std::string read(const std::string& name) const {
    return fs::is_regular_file(path_ / name) ? slurp(path_ / name) : "<missing " + name + ">";
  }
  std::vector<std::string> files() const {  // regular files, sorted
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(path_))
      if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out, err;
  long peak_kib = 0;  // the child's peak resident memory
};

// Runs printzone in dir; in_child runs in the child before exec (status 127 when it cannot start).
inline RunResult run_printzone(const fs::path& dir, const std::vector<std::string>& args, std::string_view input = {},
                               const std::function<void()>& in_child = {}) {
  std::FILE* streams[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
  if (!streams[0] || !streams[1] || !streams[2]) throw std::runtime_error("tmpfile");
  if (!input.empty()) std::fwrite(input.data(), 1, input.size(), streams[0]);
  std::rewind(streams[0]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (int fd = 0; fd < 3; ++fd) ::dup2(::fileno(streams[fd]), fd);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    if (in_child) in_child();
    std::vector<char*> argv{const_cast<char*>(PRINTZONE_EXE)};
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  RunResult r{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), "", "", usage.ru_maxrss};
  for (int fd = 0; fd < 3; ++fd) {
    std::rewind(streams[fd]);
    for (int c; fd > 0 && (c = std::fgetc(streams[fd])) != EOF;) (fd == 1 ? r.out : r.err).push_back(char(c));
    std::fclose(streams[fd]);
  }
  return r;
}

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

// Element names for large meshes: a capital and four digits (A0000 ... Z9999).
inline std::string big_name(int i) {
  char b[8];
  std::snprintf(b, sizeof b, "%c%04d", 'A' + i / 10000, i % 10000);
  return b;
}

inline std::string mesh_file(const std::vector<std::string>& elements, const std::vector<std::string>& connections) {
  std::string s = "ELEME\n";
  for (auto& e : elements) s += e + "\n";
  s += "\nCONNE\n";
  for (auto& c : connections) s += c + "\n";
  return s + "+++\n";
}

// Joins lines, each followed by "\n".
inline std::string lines(std::initializer_list<std::string_view> ls) {
  std::string s;
  for (auto l : ls) s.append(l).push_back('\n');
  return s;
}

inline std::string repeated(const std::string& text, int n) {
  std::string s;
  while (n-- > 0) s += text;
  return s;
}

// The unit square at z = 5, one cell (1, 2, 4, 3); unplaced, its places are in square_locat.
inline std::string square_mesh(bool placed = true) {
  const double s = placed ? 1 : 0, z = placed ? 5 : 0;
  return mesh_file({element("A1  1", 0, 0, z), element("A1  2", s, 0, z), element("A2  1", 0, s, z),
                    element("A2  2", s, s, z)},
                   {connection("A1  1", "A1  2", 2), connection("A1  1", "A2  1", 2),
                    connection("A1  2", "A2  2", 2), connection("A2  1", "A2  2", 2)});
}
inline const std::string square_locat = [] {
  const std::string at(17, ' ');  // x in columns 11-30, y in 31-50
  return lines({"LOCAT", "A1  1     0.0" + at + "0.0", "A1  2     1.0" + at + "0.0", "A2  1     0.0" + at + "1.0",
                "A2  2     1.0" + at + "1.0", ""});
}();

inline const std::string terminator = " @@@@@@@@@@@@@@@@@@@@";
inline const std::string one_table =
    lines({" TOTAL TIME", " 1.0", " ELEM.  INDEX  P", " A1  1     1  2.5", terminator});
// What -xy makes of one_table on the square.
inline const std::string one_table_plot =
    lines({"Variables = X Y P", "Zone F=FEPOINT I=    4 J=    1", "  0.000000E+00  0.000000E+00  2.500000E+00",
           "  1.000000E+00  0.000000E+00  0.000000E+00", "  0.000000E+00  1.000000E+00  0.000000E+00",
           "  1.000000E+00  1.000000E+00  0.000000E+00", "     1     2     4     3"});
// A printout without tables, and the square's cell as a zone file's line.
inline const std::string no_table = lines({" TOTAL TIME", " 1.0"}), cell_line = " A1  1 A1  2 A2  2 A2  1\n";

// One whole run: the directory holds p.out, MESH and `files`, which `prepare` may change.
struct Inputs {
  std::vector<std::string> args = {"-xy", "p.out"};
  std::optional<std::string> printout = one_table, mesh = square_mesh();
  std::vector<std::pair<std::string, std::string>> files = {};
  std::string input = {};
  std::function<void(const fs::path&)> prepare = {};
  std::function<void()> in_child = {};
};

struct Case {
  Inputs run;
  int status;
  std::string err;  // all of standard error when empty or ending a line, else its first line
  // The files the run leaves (and "stdout"); "[...]" stands for any text between a start and an end.
  std::vector<std::pair<std::string, std::string>> left = {};
};

inline bool matches(const std::string& text, const std::string& pattern) {
  const auto cut = pattern.find("[...]");
  if (cut == std::string::npos) return text == pattern;
  return text.size() + 5 >= pattern.size() && text.starts_with(pattern.substr(0, cut)) &&
         text.ends_with(pattern.substr(cut + 5));
}

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

// Runs k in a fresh directory, which then holds its inputs and k.left alone (status 126: not checked).
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

// Whether the blocks of the file at p reach beyond its end (on ext4 and tmpfs; elsewhere never).
inline bool blocks_beyond_end(const fs::path& p) {
  struct statfs system;
  struct stat st;
  if (::statfs(p.c_str(), &system) != 0 || (system.f_type != EXT4_SUPER_MAGIC && system.f_type != TMPFS_MAGIC) ||
      ::stat(p.c_str(), &st) != 0)
    return false;
  const auto block = static_cast<std::uint64_t>(st.st_blksize), size = static_cast<std::uint64_t>(st.st_size);
  return static_cast<std::uint64_t>(st.st_blocks) * 512 > (size + block - 1) / block * block;
}

// What a run leaves: status, console, and every file of its folder with what it holds.
struct Left {
  int status = -1;
  std::string out, err;
  std::vector<std::pair<std::string, std::string>> files;
  bool operator==(const Left&) const = default;
};

// Runs with -j threads in a fresh directory; no file may hold blocks beyond its end.
inline Left left_by(Inputs run, int threads) {
  run.args.insert(run.args.begin(), {"-j", std::to_string(threads)});
  ScratchDir dir;
  prepare(run, dir);
  const RunResult r = run_in(run, dir);
  Left left{r.status, r.out, r.err, {}};
  for (const std::string& f : dir.files()) {
    left.files.push_back({f, dir.read(f)});
    EXPECT_FALSE(blocks_beyond_end(dir.path() / f)) << f << " with -j " << threads;
  }
  return left;
}

// A run with each of the counts of threads leaves what -j 1 leaves; returns that.
inline Left same_whatever_threads(const Inputs& run, std::initializer_list<int> counts = {2, 4}) {
  const Left one = left_by(run, 1);
  for (int threads : counts) {
    const Left many = left_by(run, threads);
    EXPECT_EQ(many.err, one.err) << "-j " << threads << ", status " << many.status << " for " << one.status;
    EXPECT_TRUE(many == one) << "-j " << threads << " leaves other files than -j 1";
  }
  return one;
}

}  // namespace pz::test
