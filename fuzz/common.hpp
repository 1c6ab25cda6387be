// Shared pieces of the fuzz targets: a scratch directory per process, the
// fixed small inputs the file targets run against, and the checks on what a
// run leaves behind (no temporary plot file, no leaked descriptor, plot files
// that follow the zone format).
//
// A failed check is reported through the sanitizer's summary line (libFuzzer
// keeps that stream when it is run with -close_fd_mask=3) and aborts, which
// libFuzzer records as a crash with its input.
#pragma once

#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "driver/driver.hpp"

namespace fuzz {

namespace fs = std::filesystem;

[[noreturn]] inline void fault(const std::string& what) {
  const std::string line = "printzone fuzz check: " + what;
  __sanitizer_report_error_summary(line.c_str());
  std::abort();
}

inline void write_file(const std::string& name, std::string_view data) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fault("cannot create " + name);
  for (std::size_t done = 0; done < data.size();) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n <= 0) fault("cannot write " + name);
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

inline std::string read_file(const std::string& name) {
  std::string s;
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fault("cannot open " + name);
  char buf[65536];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) s.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  return s;
}

// The scratch directory /dev/shm/pzfuzz-<target>-<pid>, made afresh by
// make_scratch() and removed at the normal end of the process (the run
// script removes it after a crash). Standard output goes to /dev/null.
inline std::string& scratch_dir() {
  static std::string dir;
  return dir;
}

inline void make_scratch(const char* target) {
  std::string& dir = scratch_dir();
  dir = "/dev/shm/pzfuzz-" + std::string(target) + "-" + std::to_string(::getpid());
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  std::atexit([] {
    std::error_code e;
    fs::remove_all(scratch_dir(), e);
  });
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, STDOUT_FILENO);
  ::close(null);
}

// Makes the scratch directory the working directory while it lives: the
// program reads MESH from there, while libFuzzer's own paths (corpus,
// artifacts) stay relative to where it was started.
class InScratch {
 public:
  InScratch() {
    home();
    if (::chdir(scratch_dir().c_str()) != 0) fault("cannot enter " + scratch_dir());
  }
  ~InScratch() {
    if (::fchdir(home()) != 0) std::abort();
  }
  InScratch(const InScratch&) = delete;
  InScratch& operator=(const InScratch&) = delete;
  static int home() {
    static const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd;
  }
};

// The descriptors open beyond the standard three, as "fd -> target" text.
inline std::string open_descriptors() {
  std::string s;
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
    const std::string n = e.path().filename().string();
    if (n == "0" || n == "1" || n == "2") continue;
    std::error_code ec;
    s += " " + n + "->" + fs::read_symlink(e.path(), ec).string();
  }
  return s;
}

// The lowest free descriptor: the same before and after every run, or the
// run leaked one.
inline int lowest_free_fd() {
  const int fd = ::open("/dev/null", O_RDONLY);
  ::close(fd);
  return fd;
}

// Runs the program in-process on args (argv[0] added) and checks that it
// kept its descriptors.
inline int run(std::vector<std::string> args) {
  const int before = lowest_free_fd();
  args.insert(args.begin(), "printzone");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int status = pz::main_program(static_cast<int>(args.size()), argv.data());
  if (lowest_free_fd() != before) fault("a file descriptor was left open:" + open_descriptors());
  return status;
}

// Removes every entry of dir not in keep (recursing into kept directories)
// and fails when a temporary plot file (".name.tmp") is among them: a run
// must rename or remove each one, whatever way it ends.
inline void sweep(const std::string& dir, const std::set<std::string>& keep) {
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    const std::string rel = dir == "." ? name : dir + "/" + name;
    if (keep.count(rel)) {
      if (e.is_directory()) sweep(rel, keep);
      continue;
    }
    if (name.size() > 5 && name[0] == '.' && name.ends_with(".tmp")) fault("temporary plot file left: " + rel);
    std::error_code ec;
    fs::remove_all(e.path(), ec);
  }
}

// ---- the fixed inputs ------------------------------------------------------

// A 3 x 2 grid, tilted in z so that every plane has some extent, with a
// diagonal, an unlocated element, a connection of area 0, one to the
// unlocated element and one to an unknown name. Names use a "0" in the
// fourth character on one side of the records to exercise normalisation.
inline const char* const small_mesh =
    "ELEME\n"
    "A1  1                                             0.0000E+000.0000E+000.0000E+00\n"
    "A1  2                                             1.0000E+000.0000E+000.5000E+00\n"
    "A1  3                                             2.0000E+000.0000E+001.0000E+00\n"
    "A2  1                                             0.0000E+001.0000E+000.2000E+00\n"
    "A2  2                                             1.0000E+001.0000E+000.7000E+00\n"
    "A2  3                                             2.0000E+001.0000E+001.2000E+00\n"
    "B1  1                                             -999.     -999.     0.0000E+00\n"
    "\n"
    "CONNE\n"
    "A1  1A1  2                                        1.0\n"
    "A1 02A1  3                                        2.0\n"
    "A2  1A2  2                                        1.0\n"
    "A2  2A2  3                                        0.0\n"
    "A1  1A2 01                                        1.0\n"
    "A1  2A2  2                                        0.5\n"
    "A1  3A2  3                                        1.0\n"
    "A1  1A2  2                                        1.5\n"
    "A1  1B1  1                                        1.0\n"
    "A1  3ZZ  9                                        1.0\n"
    "+++\n";
inline constexpr int small_mesh_located = 6;

// Two printouts with an element table and a connection table each.
inline const char* const small_printout =
    " TOTAL TIME     KCYC\n"
    " 0.86400E+05     12\n"
    " ELEM.  INDEX       P            T         X(WAT1)\n"
    " A1  1     1   0.10100E+06  0.20000E+02  0.10000E-02\n"
    " A2  3     6   0.10200E+06  -.20500E+02  1.5\n"
    " @@@@@@@@@@@@@@@@@@@@\n"
    " ELEM1 ELEM2 INDEX      FLOH         FLO(GAS)     VEL(GAS)\n"
    " A1  1 A1  2     1  0.10000E+02  0.10000E-03  0.20000E-04\n"
    " A2  2 A2  3     2  0.30000E+01  0.10000E-03  0.20000E-04\n"
    " @@@@@@@@@@@@@@@@@@@@\n"
    " total time\n"
    " 0.17280E+06     24\n"
    " ELEM.  INDEX       P            T         X(WAT1)\n"
    " A2  2     5   0.10300E+06  0.21000E+02  0.30000E-02\n"
    " @@@@@@@@@@@@@@@@@@@@\n";

// ---- plot file format -------------------------------------------------------

// One "(1p,e14.6)" field: " d.ddddddE+dd", " d.dddddd+ddd" (optional minus
// in column 2), or 14 asterisks for a value without a finite form.
inline bool e14_field(std::string_view f) {
  if (f == "**************") return true;
  if (f.size() != 14 || f[0] != ' ' || (f[1] != ' ' && f[1] != '-')) return false;
  auto digit = [&](std::size_t i) { return f[i] >= '0' && f[i] <= '9'; };
  if (!digit(2) || f[3] != '.') return false;
  for (std::size_t i = 4; i < 10; ++i)
    if (!digit(i)) return false;
  if (f[10] == 'E') {
    if ((f[11] != '+' && f[11] != '-') || !digit(12) || !digit(13)) return false;
  } else if (f[10] != '+' && f[10] != '-') {
    return false;
  } else if (!digit(11) || !digit(12) || !digit(13)) {
    return false;
  }
  const bool zero = f.substr(2, 8) == "0.000000";
  if (f[2] == '0' && !(zero && f.substr(10) == "E+00" && f[1] == ' ')) return false;
  return true;
}

inline long count_field(std::string_view s, const std::string& what) {
  // A count written in at least 5 columns, right-aligned.
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (s.size() < 5 || i == s.size()) fault("bad count in " + what);
  long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') fault("bad count in " + what);
    v = v * 10 + (s[i] - '0');
  }
  if (s.size() > 5 && s[0] == ' ') fault("count wider than needed in " + what);
  return v;
}

// How a plot file's zones may be headed: one zone, "Zone F=POINT" or
// "Zone F=FEPOINT" (no zone file); titled cell zones (a zone file); or
// either, when the run's options are not known.
enum class Zones { traced, file, any };

// Checks a plot file's structure: the header, then zones of point records
// (with reversion after 100 numbers) and cell records whose corners are
// points of the zone. points >= 0 requires that point count in every zone.
inline void check_plot(const std::string& name, Zones zones, long points) {
  const std::string text = read_file(name);
  if (text.empty() || text.back() != '\n') fault(name + ": empty or unterminated");
  std::vector<std::string_view> ls;
  for (std::size_t b = 0; b < text.size();) {
    const std::size_t e = text.find('\n', b);
    ls.emplace_back(text.data() + b, e - b);
    b = e + 1;
  }
  if (!ls[0].starts_with("Variables = ")) fault(name + ": header");
  // Each name follows one blank and holds none; a name can be empty (a
  // column word such as "T(" loses both characters), so the numbers of a
  // point are the blank-separated fields, empty ones included.
  long numbers = 1;
  for (std::size_t i = 12; i < ls[0].size(); ++i) numbers += ls[0][i] == ' ';
  if (numbers < 2 || ls[0].size() < 15) fault(name + ": no coordinates in the header");
  std::size_t at = 1;
  if (at == ls.size() && zones != Zones::traced) return;  // every zone without points
  while (at < ls.size()) {
    const std::string_view z = ls[at++];
    long npts, ncell = 0;
    if (zones != Zones::file && z.starts_with("Zone F=POINT I=")) {
      npts = count_field(z.substr(15), name);
    } else {
      const std::size_t f = z.rfind(" F=FEPOINT I=");
      const std::size_t j = z.rfind(" J=");
      if (f == std::string_view::npos || j == std::string_view::npos || j < f) fault(name + ": zone header");
      if (zones == Zones::traced && z.substr(0, f) != "Zone") fault(name + ": zone title");
      npts = count_field(z.substr(f + 13, j - f - 13), name);
      ncell = count_field(z.substr(j + 3), name);
      if (ncell == 0 || npts == 0) fault(name + ": empty cell zone");
    }
    if (points >= 0 && npts != points) fault(name + ": point count");
    for (long p = 0; p < npts; ++p) {
      for (long left = numbers; left > 0; left -= 100) {
        if (at == ls.size()) fault(name + ": point records cut short");
        const std::string_view r = ls[at++];
        const long k = left < 100 ? left : 100;
        if (static_cast<long>(r.size()) != 14 * k) fault(name + ": point record length");
        for (long i = 0; i < k; ++i)
          if (!e14_field(r.substr(static_cast<std::size_t>(14 * i), 14))) fault(name + ": number field");
      }
    }
    for (long c = 0; c < ncell; ++c) {
      if (at == ls.size()) fault(name + ": cell records cut short");
      const std::string_view r = ls[at++];
      if (r.size() != 24) fault(name + ": cell record length");
      for (std::size_t i = 0; i < 4; ++i) {
        const std::string_view f = r.substr(6 * i, 6);
        const std::size_t d = f.find_first_not_of(' ');
        long corner = 0;
        for (std::size_t k = d; k < f.size(); ++k) {
          if (f[k] < '0' || f[k] > '9') fault(name + ": cell field");
          corner = corner * 10 + (f[k] - '0');
        }
        if (d == std::string_view::npos || corner < 1 || corner > npts) fault(name + ": cell corner");
      }
    }
    if (zones == Zones::traced) break;
  }
  if (at != ls.size()) fault(name + ": lines after the zone");
}

// Checks the plot files of printout file `printout`: numbered 1..N without a
// gap, each well formed.
inline void check_plots(const std::string& printout, Zones zones, long points) {
  std::set<long> numbers;
  const fs::path path(printout);
  const std::string base = path.filename().string() + ".";
  const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string n = e.path().filename().string();
    if (n.starts_with(base) && n.size() > base.size() &&
        n.find_first_not_of("0123456789", base.size()) == std::string::npos)
      numbers.insert(std::strtol(n.c_str() + base.size(), nullptr, 10));
  }
  const std::string prefix = printout + ".";
  long expect = 1;
  for (long n : numbers) {
    if (n != expect++) fault("plot files are not numbered 1..N");
    check_plot(prefix + std::to_string(n), zones, points);
  }
}

// Splits text at the first occurrence of sep: {before, after}; after is
// empty and found false when sep does not occur.
inline std::pair<std::string_view, std::string_view> split(std::string_view text, std::string_view sep,
                                                           bool& found) {
  const std::size_t at = text.find(sep);
  found = at != std::string_view::npos;
  if (!found) return {text, {}};
  return {text.substr(0, at), text.substr(at + sep.size())};
}

}  // namespace fuzz
