// Where the run's threads run.
//
// A thread of a run with several threads is placed on a CPU by the kernel,
// which may leave it waiting on a CPU that another thread of the run holds
// while another CPU idles: some schedulers (those of virtual machines that
// pack threads onto few virtual CPUs, for one) move it only after several
// milliseconds, and each such wait adds its length to the run. These calls
// correct the placement at the moments it matters, from what the kernel
// tells of the run's threads: which are running or ready to run, and on
// which CPU. They change only where threads run, never what they do; on a
// system that does not tell, they do nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

namespace pz {

// For a thread beginning a stretch of work: when another thread of the run
// is running or ready on its CPU, it moves to a CPU it may use where none
// is (if there is one).
void move_to_a_free_cpu() noexcept;

// For a thread about to wait: when no other thread of the run is running or
// ready on its CPU, and two are on another, one of those moves here.
void hand_over_this_cpu() noexcept;

// A stretch of the run's work done by a thread of its own, which moves to a
// free CPU as it begins and hands its CPU over as it ends.
template <class Work>
auto sharing_cpus(Work work) {
  return [work = std::move(work)]() mutable {
    move_to_a_free_cpu();
    work();
    hand_over_this_cpu();
  };
}

// Waits for what another thread prepares and takes its outcome (its
// exception comes out here), handing the CPU over while it waits, and
// moving to a free CPU once it goes on.
inline void await_handing_over(const std::shared_future<void>& result) {
  if (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    hand_over_this_cpu();
    result.wait();
    move_to_a_free_cpu();
  }
  result.get();
}

// The state letter and the CPU last run on, read from the text the kernel
// gives for a thread ("/proc/<pid>/task/<tid>/stat": the thread number, its
// name in parentheses, then space-separated fields, the state first and the
// CPU the 36th after it); none when the text is not such.
struct ThreadPlace {
  char state;
  int cpu;
};
std::optional<ThreadPlace> thread_place(std::string_view stat);

}  // namespace pz
