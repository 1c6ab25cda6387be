// How much more work several threads get done than one on this machine,
// for the kinds of work a conversion is made of: arithmetic in registers,
// copies through main memory (a table of values, far larger than the
// caches), reads of a file the page cache holds and writes of new files
// (copies by the kernel, from and into a buffer that stays in the cache). A
// run's speed-up from threads is no better than these allow: where the
// cores share the memory's bandwidth, two threads copy little more than one.
//
//   machine_scaling [file] [threads]   (threads: default all cores)
//
// Each kind is timed for one thread alone and for all threads at once, each
// thread doing the same work; the best of five rounds counts. The file is
// read, and files of its size are written beside it and removed.
//
// Before them, one thread's rate of first touches of fresh memory, on
// ordinary pages and on 2 MiB pages (as the program's heap asks for them
// where they pay), against its rate of writing memory touched before:
// every array a run fills is fresh memory, and on a virtual machine whose
// host takes back the guest's free memory, a first touch may cost many
// times a later one, and more or less from one minute to the next.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Seconds for `threads` threads to do one piece of work each, at once; the
// best of five rounds.
double best_seconds(int threads, const std::function<void(int)>& work) {
  double best = 1e30;
  for (int round = 0; round < 5; ++round) {
    const auto start = Clock::now();
    std::vector<std::thread> running;
    for (int t = 1; t < threads; ++t) running.emplace_back(work, t);
    work(0);
    for (std::thread& r : running) r.join();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

// One line: the work of `threads` threads at once against one thread's,
// and one thread's rate where the work is `bytes` a thread.
void report(const char* kind, int threads, double bytes, const std::function<void(int)>& work) {
  const double one = best_seconds(1, work);
  const double all = best_seconds(threads, work);
  std::printf("  %-24s %5.2fx", kind, threads * one / all);
  if (bytes > 0) std::printf("   (one thread %.1f GB/s)", bytes / one / 1e9);
  std::printf("\n");
}

std::uint64_t volatile sink;

void arithmetic(int) {
  std::uint64_t x = 1;
  for (int i = 0; i < 100'000'000; ++i) x = (x * 6364136223846793005u + 1442695040888963407u) ^ (x >> 13);
  sink = x;
}

// One thread's first touches of fresh memory: a memset over `bytes` of it,
// 2 MiB aligned, on ordinary pages and then on 2 MiB pages (where granted),
// then a memset over the same memory again. Run before anything else is
// allocated and freed, and with both blocks kept until all is timed, so
// that no block reuses memory another has just given back.
void report_first_touch(std::size_t bytes) {
  constexpr std::size_t page = std::size_t{2} << 20;
  char* starts[2] = {};
  void* mapped[2] = {};
  double rates[3] = {};
  for (int huge = 0; huge < 2; ++huge) {
    mapped[huge] = ::mmap(nullptr, bytes + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped[huge] == MAP_FAILED) return;
    starts[huge] = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(mapped[huge]) + page - 1) / page * page);
#if defined(MADV_HUGEPAGE)
    if (huge == 1) ::madvise(starts[huge], bytes, MADV_HUGEPAGE);
#endif
  }
  for (int pass = 0; pass < 3; ++pass) {
    const auto t0 = Clock::now();
    std::memset(starts[pass == 0 ? 0 : 1], pass + 1, bytes);
    rates[pass] = bytes / std::chrono::duration<double>(Clock::now() - t0).count() / 1e9;
  }
  for (int huge = 0; huge < 2; ++huge) ::munmap(mapped[huge], bytes + page);
  std::printf("first touch of fresh memory, one thread: %.1f GB/s on 4 KiB pages, %.1f GB/s on 2 MiB pages\n"
              "  (writing memory touched before: %.1f GB/s)\n",
              rates[0], rates[1], rates[2]);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string file = argc > 1 ? argv[1] : "";
  const int threads = argc > 2 ? std::atoi(argv[2]) : static_cast<int>(std::thread::hardware_concurrency());
  report_first_touch(std::size_t{64} << 20);
  if (threads < 2) return 0;
  std::printf("machine: the work of %d threads at once, against one thread's:\n", threads);
  report("arithmetic", threads, 0, arithmetic);

  // Buffers well beyond the caches, a pair per thread, touched before timing.
  constexpr std::size_t bytes = std::size_t{64} << 20;
  constexpr int copies = 4;
  std::vector<std::vector<char>> from(static_cast<std::size_t>(threads), std::vector<char>(bytes, 1));
  std::vector<std::vector<char>> to(static_cast<std::size_t>(threads), std::vector<char>(bytes, 2));
  report("copies through memory", threads, copies * double{bytes}, [&](int t) {
    std::vector<char>& out = to[static_cast<std::size_t>(t)];
    for (int r = 0; r < copies; ++r) {
      std::memcpy(out.data(), from[static_cast<std::size_t>(t)].data(), bytes);
      sink = static_cast<std::uint64_t>(out[static_cast<std::size_t>(r)]);
    }
  });

  const int fd = file.empty() ? -1 : ::open(file.c_str(), O_RDONLY);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) return 0;
  const auto size = static_cast<std::size_t>(st.st_size);
  constexpr std::size_t block = 1 << 20;
  report("reads of a cached file", threads, double(size), [&](int t) {
    char* buffer = to[static_cast<std::size_t>(t)].data();
    off_t at = 0;
    for (ssize_t got; (got = ::pread(fd, buffer, block, at)) > 0;) at += got;
  });
  report("writes of new files", threads, double(size), [&](int t) {
    const std::string name = file + ".scaling." + std::to_string(t);
    const int out = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) return;
    const char* buffer = from[static_cast<std::size_t>(t)].data();
    for (std::size_t done = 0; done < size; done += block)
      if (::write(out, buffer, std::min(block, size - done)) < 0) break;
    ::close(out);
    ::unlink(name.c_str());
  });
  ::close(fd);
}
