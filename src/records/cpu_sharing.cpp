#include "records/cpu_sharing.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace pz {

std::optional<ThreadPlace> thread_place(std::string_view stat) {
  // The name may hold spaces and parentheses: the fields begin after the
  // last ')'.
  const std::size_t name_end = stat.rfind(')');
  if (name_end == std::string_view::npos) return std::nullopt;
  std::string_view rest = stat.substr(name_end + 1);
  constexpr int cpu_field = 36;  // fields after the state
  char state = 0;
  for (int field = 0; field <= cpu_field; ++field) {  // (field 0: the state)
    const std::size_t begin = rest.find_first_not_of(' ');
    if (begin == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(begin);
    const std::string_view word = rest.substr(0, rest.find(' '));
    rest.remove_prefix(word.size());
    if (field == 0) {
      if (word.size() != 1) return std::nullopt;
      state = word[0];
    } else if (field == cpu_field) {
      int cpu = -1;
      const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), cpu);
      if (error != std::errc() || end != word.data() + word.size() || cpu < 0) return std::nullopt;
      return ThreadPlace{state, cpu};
    }
  }
  return std::nullopt;
}

#if defined(__linux__)

namespace {

// The other threads of the run that are running or ready to run, with their
// CPUs: at most `capacity` of them.
struct ReadyThreads {
  static constexpr int capacity = 64;
  std::array<int, capacity> tid{}, cpu{};
  int count = 0;

  bool on(int c) const {
    for (int i = 0; i < count; ++i)
      if (cpu[i] == c) return true;
    return false;
  }
};

ReadyThreads ready_threads(int self) {
  ReadyThreads ready;
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return ready;
  const int tasks_fd = ::dirfd(tasks);
  while (const dirent* entry = ::readdir(tasks)) {
    int tid = 0;
    const std::string_view name(entry->d_name);
    if (std::from_chars(name.data(), name.data() + name.size(), tid).ec != std::errc() || tid == self) continue;
    char path[32];
    const std::string_view stat_name = "/stat";
    if (name.size() + stat_name.size() >= sizeof path) continue;
    name.copy(path, name.size());
    stat_name.copy(path + name.size(), stat_name.size());
    path[name.size() + stat_name.size()] = '\0';
    const int fd = ::openat(tasks_fd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;  // (a thread that has just ended)
    char text[512];
    const ssize_t got = ::read(fd, text, sizeof text);
    ::close(fd);
    if (got <= 0) continue;
    const std::optional<ThreadPlace> place = thread_place(std::string_view(text, static_cast<std::size_t>(got)));
    if (!place || place->state != 'R' || ready.count == ReadyThreads::capacity) continue;
    ready.tid[static_cast<std::size_t>(ready.count)] = tid;
    ready.cpu[static_cast<std::size_t>(ready.count)] = place->cpu;
    ++ready.count;
  }
  ::closedir(tasks);
  return ready;
}

// Moves thread tid to the CPU: its affinity narrowed to that CPU (the
// kernel moves it at once) and widened again as it was.
void move_thread(int tid, int cpu) {
  cpu_set_t allowed, one;
  if (::sched_getaffinity(tid, sizeof allowed, &allowed) != 0 || !CPU_ISSET(cpu, &allowed)) return;
  CPU_ZERO(&one);
  CPU_SET(cpu, &one);
  if (::sched_setaffinity(tid, sizeof one, &one) == 0) ::sched_setaffinity(tid, sizeof allowed, &allowed);
}

int this_thread() { return static_cast<int>(::syscall(SYS_gettid)); }

}  // namespace

void move_to_a_free_cpu() noexcept {
  const int self = this_thread(), here = ::sched_getcpu();
  const ReadyThreads ready = ready_threads(self);
  if (here < 0 || !ready.on(here)) return;
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  for (int c = 0; c < CPU_SETSIZE; ++c) {
    if (c != here && CPU_ISSET(c, &allowed) && !ready.on(c)) {
      move_thread(self, c);
      return;
    }
  }
}

void hand_over_this_cpu() noexcept {
  const int self = this_thread(), here = ::sched_getcpu();
  const ReadyThreads ready = ready_threads(self);
  if (here < 0 || ready.on(here)) return;
  for (int i = 0; i < ready.count; ++i)
    for (int j = i + 1; j < ready.count; ++j)
      if (ready.cpu[static_cast<std::size_t>(i)] == ready.cpu[static_cast<std::size_t>(j)]) {
        move_thread(ready.tid[static_cast<std::size_t>(j)], here);
        return;
      }
}

#else

void move_to_a_free_cpu() noexcept {}
void hand_over_this_cpu() noexcept {}

#endif

}  // namespace pz
