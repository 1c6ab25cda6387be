#include "support/run.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pz::test {

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto p = base / ("printzone-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(p)) {
      path_ = p;
      break;
    }
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  // Give back permissions a test may have taken away, then remove.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

void ScratchDir::write(const std::string& name, std::string_view content) const {
  std::ofstream f(path_ / name, std::ios::binary);
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!f) throw std::runtime_error("cannot write " + name);
}

std::string ScratchDir::read(const std::string& name) const {
  std::ifstream f(path_ / name, std::ios::binary);
  if (!f) return "<missing " + name + ">";
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool ScratchDir::exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

std::vector<std::string> ScratchDir::files() const {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(path_))
    if (e.is_regular_file()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

RunResult run_printzone(const std::filesystem::path& dir, const std::vector<std::string>& args,
                        std::string_view input, const std::function<void()>& in_child) {
  int in[2], out[2], err[2];
  if (::pipe(in) || ::pipe(out) || ::pipe(err)) throw std::runtime_error("pipe");
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    if (in_child) in_child();
    std::vector<char*> argv;
    std::string exe = PRINTZONE_EXE;
    argv.push_back(exe.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  ::signal(SIGPIPE, SIG_IGN);
  RunResult r;
  std::size_t written = 0;
  if (input.empty()) ::close(in[1]);
  pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {input.empty() ? -1 : in[1], POLLOUT, 0}};
  int open_reads = 2;
  char buf[65536];
  while (open_reads > 0) {
    if (::poll(fds, 3, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
        ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
        else {
          ::close(fds[i].fd);
          fds[i].fd = -1;
          --open_reads;
        }
      }
    }
    if (fds[2].fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = ::write(fds[2].fd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n <= 0 || written == input.size()) {
        ::close(fds[2].fd);
        fds[2].fd = -1;
      }
    }
  }
  if (fds[2].fd >= 0) ::close(fds[2].fd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

std::string lines(std::initializer_list<std::string_view> ls) {
  std::string s;
  for (auto l : ls) {
    s.append(l);
    s.push_back('\n');
  }
  return s;
}

}  // namespace pz::test
