#include "support/run.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pz::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  const std::string prefix = "printzone-test-" + std::to_string(::getpid()) + "-";
  do path_ = fs::temp_directory_path() / (prefix + std::to_string(counter++));
  while (!fs::create_directory(path_));
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);  // a test may have taken them away
  fs::remove_all(path_, ec);
}

void ScratchDir::write(const std::string& name, std::string_view content) const {
  fs::create_directories((path_ / name).parent_path());
  std::ofstream f(path_ / name, std::ios::binary);
  if (!f.write(content.data(), static_cast<std::streamsize>(content.size())))
    throw std::runtime_error("cannot write " + name);
}

std::string ScratchDir::read(const std::string& name) const {
  std::ifstream f(path_ / name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return f ? s.str() : "<missing " + name + ">";
}

std::vector<std::string> ScratchDir::files() const {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(path_))
    if (e.is_regular_file()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

static std::string contents(std::FILE* f) {
  std::string s;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) s.push_back(static_cast<char>(c));
  std::fclose(f);
  return s;
}

RunResult run_printzone(const fs::path& dir, const std::vector<std::string>& args, std::string_view input,
                        const std::function<void()>& in_child) {
  // Standard input, output and error are unnamed temporary files.
  std::FILE* streams[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
  if (!streams[0] || !streams[1] || !streams[2]) throw std::runtime_error("tmpfile");
  if (!input.empty()) std::fwrite(input.data(), 1, input.size(), streams[0]);
  std::rewind(streams[0]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (int fd = 0; fd < 3; ++fd) ::dup2(::fileno(streams[fd]), fd);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    if (in_child) in_child();
    std::vector<std::string> words{PRINTZONE_EXE};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::fclose(streams[0]);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), contents(streams[1]), contents(streams[2])};
}

}  // namespace pz::test
