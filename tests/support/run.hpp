// Scratch directories, and runs of the printzone executable in one.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pz::test {

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out, err;
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
  void write(const std::string& name, std::string_view content) const;  // makes missing folders
  std::string read(const std::string& name) const;  // "<missing name>" when absent
  std::vector<std::string> files() const;           // regular files, sorted

 private:
  std::filesystem::path path_;
};

// Runs printzone with args in dir, input on standard input. in_child runs
// in the child just before the program starts (to set limits, redirect or
// drop privileges); a child that cannot start ends with status 127.
RunResult run_printzone(const std::filesystem::path& dir, const std::vector<std::string>& args,
                        std::string_view input = {}, const std::function<void()>& in_child = {});

}  // namespace pz::test
