#include "plot/plot_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <vector>

#include "records/failure.hpp"
#include "records/layouts.hpp"

namespace pz {

namespace {

// The temporary files of the run, for a signal to remove: the one piece of
// state outside the tables that the run owns, since a signal handler can
// reach nothing else. Printouts converted on several threads add and
// remove files at once, and the handler may run on any thread: a change
// holds a spin lock with the handled signals blocked on its own thread, so
// a handler never interrupts the change it waits for; the handler takes
// the lock (waiting for a change on another thread to end) and keeps it, as
// the run ends.
constexpr int cleanup_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

class Temporaries {
 public:
  void add(const std::string& path) {
    const Locked locked(busy_);
    paths_.push_back(path);
  }
  void remove(const std::string& path) {
    const Locked locked(busy_);
    const auto it = std::find(paths_.begin(), paths_.end(), path);
    if (it != paths_.end()) paths_.erase(it);
  }
  // In a signal handler: only an atomic flag and unlink, which are safe there.
  void unlink_all() noexcept {
    while (busy_.test_and_set(std::memory_order_acquire)) {
    }
    for (const std::string& p : paths_) ::unlink(p.c_str());
  }

 private:
  struct Locked {
    std::atomic_flag& busy;
    sigset_t old;
    explicit Locked(std::atomic_flag& flag) : busy(flag) {
      sigset_t set;
      sigemptyset(&set);
      for (int s : cleanup_signals) sigaddset(&set, s);
      pthread_sigmask(SIG_BLOCK, &set, &old);
      while (busy.test_and_set(std::memory_order_acquire)) {
      }
    }
    ~Locked() {
      busy.clear(std::memory_order_release);
      pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
  };
  std::atomic_flag busy_;
  std::vector<std::string> paths_;
};

Temporaries temporaries;

extern "C" void remove_temporaries_and_end(int signal_number) {
  temporaries.unlink_all();
  // The handler was reset to the default action on entry and the signal is
  // not blocked: raising it again ends the run as the signal would.
  ::raise(signal_number);
}

// A temporary name beside the file: ".name.<pid>.<n>.tmp", or where that
// would be too long a name ".printzone.<pid>.<n>.tmp".
std::string temporary_name(std::string_view dir, std::string_view name, long n) {
  std::string suffix = ".";
  suffix += std::to_string(::getpid());
  suffix += '.';
  suffix += std::to_string(n);
  suffix += ".tmp";
  std::string temp(dir);
  temp += '.';
  temp += 1 + name.size() + suffix.size() <= NAME_MAX ? name : std::string_view("printzone");
  temp += suffix;
  return temp;
}

std::size_t name_start(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::string plot_base_name(const std::string& printout_file, const std::string& output_folder) {
  const std::size_t start = name_start(printout_file);
  std::string name = output_folder.empty()                ? printout_file.substr(0, start)
                     : output_folder.ends_with('/') ? output_folder
                                                              : output_folder + "/";
  const std::size_t lower_from = name.size();
  name.append(printout_file, start);
  for (std::size_t i = lower_from; i < name.size(); ++i) name[i] = lower_case(name[i]);
  return name;
}

std::string plot_file_name(const std::string& base_name, long n) { return base_name + "." + std::to_string(n); }

std::string collection_file_name(const std::string& base_name) { return base_name + ".pvd"; }

std::string file_name_part(const std::string& path) { return path.substr(name_start(path)); }

PlotFile::PlotFile(std::string name) : name_(std::move(name)) {
  const Source source{unit::plot, name_};
  struct stat st;
  if (::stat(name_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) fail(failure::open, source, Routine::main_program, file_error(name_, EISDIR));
    if (::access(name_.c_str(), W_OK) != 0 && failure_for_open_error(errno, false) == failure::permission)
      fail(failure::permission, source, Routine::main_program, file_error(name_, errno));
  }
  const std::size_t start = name_start(name_);
  static std::atomic<long> created = 0;  // temporary files of this run so far
  // (all that may run out of memory comes before the file is made)
  out_.set_source(source, Routine::main_program);
  int err = EEXIST;
  for (int attempt = 0; err == EEXIST && attempt < 100; ++attempt) {
    temp_ = temporary_name(std::string_view(name_).substr(0, start), std::string_view(name_).substr(start), created++);
    temporaries.add(temp_);
    err = out_.create_new(temp_);
    if (err != 0) temporaries.remove(temp_);
  }
  if (err != 0) {
    Failure failure(failure_for_open_error(err, false), source, Routine::main_program, file_error(name_, err));
    failure.system_error = err;  // (too many open files: the run may go on with fewer at once)
    throw failure;
  }
}

PlotFile::~PlotFile() {
  if (!committed_) {
    out_.abandon();
    ::unlink(temp_.c_str());
    temporaries.remove(temp_);
  }
}

void PlotFile::commit() { finish().commit(); }

int PlotFile::commit_open() {
  const int fd = out_.release();
  committed_ = true;
  FinishedFile(temp_, name_).commit();
  return fd;
}

FinishedFile PlotFile::finish() {
  out_.close();
  committed_ = true;  // the finished file now answers for the temporary
  return FinishedFile(temp_, name_);
}

FinishedFile::FinishedFile(FinishedFile&& other) noexcept
    : temp_(std::move(other.temp_)), name_(std::move(other.name_)), pending_(other.pending_) {
  other.pending_ = false;
}

FinishedFile::~FinishedFile() {
  if (pending_) {
    ::unlink(temp_.c_str());
    temporaries.remove(temp_);
  }
}

// A file of a megabyte or more takes the place of an existing file of its
// name by an exchange of the two, in one step, so that a reader finds the
// old file or the new one, never neither; the old one, now under the
// temporary name, is then removed. A rename over it would do the same, but
// ext4 then writes the new file's blocks out at once, on this thread (about
// 25 ms for 33 MB), a guard for programs that replace files without
// syncing them: a plot file is made again from its printout file, and a
// first run, which replaces nothing, never had that guard either. A smaller
// file is renamed, which costs less than an exchange and a removal; so is a
// file with no file of its name to replace, or where the file system
// cannot exchange two files.
void FinishedFile::commit() {
  bool exchanged = false;
#ifdef RENAME_EXCHANGE
  constexpr off_t exchanged_from = 1 << 20;
  struct stat st;
  exchanged = ::stat(temp_.c_str(), &st) == 0 && st.st_size >= exchanged_from &&
              ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, name_.c_str(), RENAME_EXCHANGE) == 0;
  if (exchanged) ::unlink(temp_.c_str());  // the file replaced, now under the temporary name
#endif
  if (!exchanged && std::rename(temp_.c_str(), name_.c_str()) != 0)
    fail(failure::open, Source{unit::plot, name_}, Routine::main_program, file_error(name_, errno));
  pending_ = false;
  temporaries.remove(temp_);
}

void remove_temporaries_on_signals() {
  for (int s : cleanup_signals) {
    struct sigaction old;
    if (sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_end;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigaction(s, &action, nullptr);
  }
}

}  // namespace pz
