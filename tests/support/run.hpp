// Runs the printzone executable in a scratch directory and collects what it
// printed, for the tests of whole runs.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pz::test {

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;  // standard output
  std::string err;  // standard error
};

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, std::string_view content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // Names of the regular files in the directory, sorted.
  std::vector<std::string> files() const;

 private:
  std::filesystem::path path_;
};

// Runs printzone with args in dir, feeding input on standard input.
// in_child, when given, runs in the child just before the program starts
// (to set limits or drop privileges); a child that cannot start ends with
// status 127.
RunResult run_printzone(const std::filesystem::path& dir, const std::vector<std::string>& args,
                        std::string_view input = {}, const std::function<void()>& in_child = {});

// Joins lines, each followed by "\n".
std::string lines(std::initializer_list<std::string_view> ls);

}  // namespace pz::test
