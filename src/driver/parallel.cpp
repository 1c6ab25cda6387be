#include "driver/parallel.hpp"

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include "driver/printout_scan.hpp"
#include "records/failure.hpp"

namespace pz {

namespace {

// One printout in flight: where it begins, and what its conversion gave.
struct Job {
  long number = 0;
  std::uint64_t start = 0;  // offset of its first line
  long long line = 0;       // and that line's number
  PrintoutLayout layout = PrintoutLayout::header_lines;  // the file's

  ConsoleCapture console;  // its console output, in order
  std::unique_ptr<PrintoutPlot> plot;
  std::exception_ptr error;  // the failure or stop that ended it
  std::uint64_t end = 0;     // offset of the next printout's first line, or the file's size
  long long end_line = 0;    // and that line's number
  bool done = false;
  // What its line numbers are short of the true ones, once the printout
  // before it has ended (its start was guessed, and its line number too).
  long long line_shift = 0;
};

// A worker thread, on a stack mapped here and given back to the system
// when the thread has ended: a stack's whole size counts against a limit on
// the address space (ulimit -v) from the thread's start on, and the C
// library would keep the stacks it maps for threads that have ended, for
// later ones. The frames are small (the largest hold a few lines of text):
// a mebibyte, where the system's default of 8 MiB a thread would be most of
// what a worker takes.
class WorkerThread {
 public:
  static constexpr std::size_t stack_size = std::size_t{1} << 20;
  static constexpr std::size_t guard_size = 1 << 16;  // never mapped for use: an overflow faults

  WorkerThread() = default;
  WorkerThread(WorkerThread&& other) noexcept
      : thread_(other.thread_), mapping_(std::exchange(other.mapping_, nullptr)) {}
  WorkerThread& operator=(WorkerThread&&) = delete;
  ~WorkerThread() { join(); }

  // Runs run(argument) on a thread of its own: false where the system
  // grants no stack or no thread.
  bool start(void* (*run)(void*), void* argument) {
    void* mapping = ::mmap(nullptr, guard_size + stack_size, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED) return false;
    pthread_attr_t attributes;
    bool started = ::mprotect(mapping, guard_size, PROT_NONE) == 0 && ::pthread_attr_init(&attributes) == 0;
    if (started) {
      started = ::pthread_attr_setstack(&attributes, static_cast<char*>(mapping) + guard_size, stack_size) == 0 &&
                ::pthread_create(&thread_, &attributes, run, argument) == 0;
      ::pthread_attr_destroy(&attributes);
    }
    if (!started) {
      ::munmap(mapping, guard_size + stack_size);
      return false;
    }
    mapping_ = mapping;
    return true;
  }

  // Waits for the thread's end (once it was started) and unmaps its stack.
  void join() {
    if (mapping_ == nullptr) return;
    ::pthread_join(thread_, nullptr);
    ::munmap(std::exchange(mapping_, nullptr), guard_size + stack_size);
  }

 private:
  pthread_t thread_{};
  void* mapping_ = nullptr;  // the guard and the stack, while the thread runs
};

// Worker threads taking jobs in the order given. The pool may shrink,
// thread by thread, down to none: the jobs are then done on the thread that
// waits for them.
class Workers {
 public:
  // As many threads as the system grants, up to count: a system out of
  // threads or of room for their stacks gives fewer, or none.
  Workers(int count, std::function<void(Job&, int worker)> work) : work_(std::move(work)) {
    try {
      threads_.reserve(static_cast<std::size_t>(count));
      starts_.reserve(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
      return;
    }
    serving_ = count;  // (before any thread looks)
    for (int i = 0; i < count; ++i) {
      starts_.push_back(Start{this, i});
      threads_.emplace_back();
      if (!threads_.back().start(&Workers::begin_serving, &starts_.back())) {
        threads_.pop_back();
        break;
      }
    }
    const std::lock_guard lock(mutex_);
    serving_ = static_cast<int>(threads_.size());
  }
  ~Workers() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
      queue_.clear();
    }
    wanted_.notify_all();
    threads_.clear();  // (each joined)
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  void submit(Job& job) {
    {
      const std::lock_guard lock(mutex_);
      queue_.push_back(&job);
    }
    wanted_.notify_one();
  }

  // The threads at work (none: the jobs are done where they are waited for).
  int count() const { return static_cast<int>(threads_.size()); }

  // Whether no printout waits for a worker.
  bool none_waiting() {
    const std::lock_guard lock(mutex_);
    return queue_.empty();
  }

  void wait(Job& job) {
    std::unique_lock lock(mutex_);
    if (threads_.empty() && !job.done) {
      const auto queued = std::find(queue_.begin(), queue_.end(), &job);
      if (queued != queue_.end()) queue_.erase(queued);
      lock.unlock();
      work_(job, 0);
      lock.lock();
      job.done = true;
      return;
    }
    finished_.wait(lock, [&] { return job.done; });
  }

  // Takes a job back: not started, it never will be; started, it is waited for.
  void withdraw(Job& job) {
    std::unique_lock lock(mutex_);
    const auto queued = std::find(queue_.begin(), queue_.end(), &job);
    if (queued != queue_.end()) {
      queue_.erase(queued);
      return;
    }
    finished_.wait(lock, [&] { return job.done; });
  }

  // Ends the last thread, once its job (if any) is done: returns its
  // worker number, whose tables are then free to go.
  int retire_one() {
    {
      const std::lock_guard lock(mutex_);
      --serving_;
    }
    wanted_.notify_all();
    threads_.pop_back();  // (joined)
    return serving_;
  }

 private:
  struct Start {
    Workers* workers;
    int worker;
  };
  static void* begin_serving(void* start) {
    const Start& s = *static_cast<Start*>(start);
    s.workers->serve(s.worker);
    return nullptr;
  }

  void serve(int worker) {
    for (;;) {
      Job* job;
      {
        std::unique_lock lock(mutex_);
        wanted_.wait(lock, [&] { return stopping_ || worker >= serving_ || !queue_.empty(); });
        if (stopping_ || worker >= serving_) return;
        job = queue_.front();
        queue_.pop_front();
      }
      work_(*job, worker);
      {
        const std::lock_guard lock(mutex_);
        job->done = true;
      }
      finished_.notify_all();
    }
  }

  std::function<void(Job&, int)> work_;
  std::mutex mutex_;
  std::condition_variable wanted_, finished_;
  std::deque<Job*> queue_;
  bool stopping_ = false;
  int serving_ = 0;  // threads 0 .. serving_-1 take jobs
  std::vector<Start> starts_;
  std::vector<WorkerThread> threads_;
};

// Whether a printout's conversion ended for want of what converting more
// printouts at once takes: memory, or descriptors for its files (an open
// that failed with too many open files, in the process or the system).
bool short_of_resources(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return true;
  } catch (const Failure& failure) {
    return failure.system_error == EMFILE || failure.system_error == ENFILE;
  } catch (...) {
  }
  return false;
}

// A file that ends before the size it had when the run began was cut
// short while it was read (a simulator writing it anew).
bool cut_short(const LineReader& in, std::uint64_t file_size) {
  return in.at_end_of_file() && in.bytes_read() < file_size;
}

[[noreturn]] void fail_cut_short(const LineReader& in, std::uint64_t file_size) {
  fail(failure::read, in.source(), Routine::main_program,
       in.end_of_file_context() + ", short of the " + std::to_string(file_size) +
           " bytes it had when the run began: it was cut short while it was read");
}

// Converts one printout on a worker: its console output is kept, its plot
// files stay under their temporary names, and where it ended is noted. It
// reads the file by position, from its header line on, as far as the
// printout goes.
void convert(const Conversion& conversion, int fd, std::uint64_t file_size, Job& job, LineReader& in,
             PrintoutData& data) {
  const ConsoleCapture::Scope capture(job.console);
  try {
    in.attach_at(fd, job.start, job.line - 1, Source{unit::printout, conversion.settings.printout_file},
                 Routine::main_program);
    ScanLine line;
    std::string_view record;
    in.next(record);  // the printout's first line
    line.assign(record);
    PrintoutLabel label;
    read_label(in, line, job.layout, job.number, label);  // (the scan has seen that it can)
    PrintoutEnd end;
    job.plot = conversion.printout(in, line, job.layout, label, job.number, data, end);
    const bool at_header = end == PrintoutEnd::header_line ||
                           (end == PrintoutEnd::skip_rest && skip_to_printout(in, line, job.layout, label.steps));
    job.end = at_header ? in.last_record_offset() : file_size;
    job.end_line = in.line_number();
  } catch (...) {
    job.error = std::current_exception();
  }
  // What the printout read last, and the printouts the scan found further
  // on, are gone: the conversion's outcome tells nothing.
  if (cut_short(in, file_size)) {
    job.plot.reset();
    try {
      fail_cut_short(in, file_size);
    } catch (...) {
      job.error = std::current_exception();
    }
  }
}

class Parallel final : public ParallelPrintouts {
 public:
  Parallel(Conversion& conversion, LineReader& in, int threads, std::uint64_t file_size)
      : conversion_(conversion),
        in_(in),
        fd_(in.descriptor()),
        file_size_(file_size),
        data_(static_cast<std::size_t>(threads)),  // (made by each worker, when it first converts)
        readers_(static_cast<std::size_t>(threads)),
        workers_(threads, [this](Job& job, int worker) { convert_job(job, worker); }),
        scanner_(in, file_size) {
    most_in_flight_ = printouts_in_flight(workers_.count());
    in.watch(nullptr);  // the scan runs ahead: the commits tell the progress
  }

  bool running() const { return workers_.count() > 0; }

  long commit_all(PlotWriter& writer, std::optional<Progress>& progress) override {
    long committed = 0;
    for (;;) {
      std::uint64_t start;
      long long line;
      bool at_end = false;
      while (in_flight_.size() < most_in_flight_) {
        if (!scanner_.next(start, line)) {
          at_end = true;
          break;
        }
        workers_.submit(add_job(start, line));
      }
      if (at_end) scan_complete_ = true;
      if (in_flight_.empty()) {
        if (cut_short(in_, file_size_)) fail_cut_short(in_, file_size_);
        return committed;
      }

      Job& job = *in_flight_.front();
      workers_.wait(job);
      // Converted from a guessed line number, with messages that name
      // lines: converted again, from its true line.
      const bool misnumbered = job.line_shift != 0 && (job.error || job.console.has_warnings());
      // Memory or descriptors ran short while other printouts were
      // converted beside it: half the workers, and this printout and those
      // after it converted again (with no worker left, one at a time on
      // this thread, as a run of one thread converts them). Halving, a run
      // that began with many threads converts a printout again a few times
      // at most.
      const bool short_of_room = !misnumbered && job.error && workers_.count() > 0 && short_of_resources(job.error);
      if (misnumbered || short_of_room) {
        drop_after_first();
        if (short_of_room) halve_workers();
        restart_scan(job.start, job.line + job.line_shift - 1, job.number);
        in_flight_.pop_front();
        continue;
      }
      job.end_line += job.line_shift;
      if (progress) progress->printout_started(job.number);
      job.console.replay();
      if (job.error) {
        drop_after_first();
        std::rethrow_exception(job.error);
      }
      writer.commit(*job.plot);
      ++committed;
      const bool next_where_it_ended = in_flight_.size() > 1 ? in_flight_[1]->start == job.end
                                                             : !scanner_.ended_at_guess() || job.end == file_size_;
      if (next_where_it_ended && in_flight_.size() > 1)
        in_flight_[1]->line_shift = job.end_line - in_flight_[1]->line;
      if (!next_where_it_ended) {
        // The printout ran past the scan's guess, or ended before where the
        // scan guessed the file ends: find the later ones again.
        drop_after_first();
        restart_scan(job.end, job.end_line - 1, job.number + 1);
      }
      if (progress) progress->block_read(job.end);
      in_flight_.pop_front();
    }
  }

 private:
  void convert_job(Job& job, int worker) {
    std::unique_ptr<PrintoutData>& data = data_[static_cast<std::size_t>(worker)];
    std::unique_ptr<LineReader>& reader = readers_[static_cast<std::size_t>(worker)];
    try {
      if (!data)
        data = std::make_unique<PrintoutData>(conversion_.mesh.elements.located, conversion_.settings.capacities.printout);
      if (!reader) reader = std::make_unique<LineReader>();
    } catch (...) {
      job.error = std::current_exception();
      return;
    }
    convert(conversion_, fd_, file_size_, job, *reader, *data);
    // This worker has converted its last printout: its tables go back to
    // the system now, beside the other workers' conversions, not at the end
    // of the run. (Printouts found again after a guess proved wrong take
    // new ones.)
    if (none_left_to_take()) data.reset();
  }

  // Half the workers end (the last of one), their tables and their
  // readers' buffers go; fewer printouts are in flight.
  void halve_workers() {
    for (const int kept = workers_.count() / 2; workers_.count() > kept;) {
      const auto retired = static_cast<std::size_t>(workers_.retire_one());
      data_[retired].reset();
      readers_[retired].reset();
    }
    most_in_flight_ = printouts_in_flight(workers_.count());
  }

  // Whether the scan has found every printout and none waits for a worker:
  // no printout is left for a worker to take (unless a guess proves wrong).
  bool none_left_to_take() {
    return scan_complete_.load(std::memory_order_acquire) && workers_.none_waiting();
  }

  // A job for the printout at start, in flight.
  Job& add_job(std::uint64_t start, long long line) {
    auto job = std::make_unique<Job>();
    job->number = next_number_++;
    job->start = start;
    job->line = line;
    job->layout = scanner_.layout();
    in_flight_.push_back(std::move(job));
    return *in_flight_.back();
  }
  void drop_after_first() {
    for (auto it = in_flight_.rbegin(); it + 1 != in_flight_.rend(); ++it) workers_.withdraw(**it);
    in_flight_.resize(1);
  }
  // The scan goes on from the header line at `at`, of printout `number`.
  void restart_scan(std::uint64_t at, long long lines_before, long number) {
    scanner_.restart(at, lines_before);
    scan_complete_ = false;
    next_number_ = number;
  }

  const Conversion& conversion_;
  LineReader& in_;
  const int fd_;
  const std::uint64_t file_size_;
  std::size_t most_in_flight_ = 1;
  // Each worker's printout data and reader, kept from printout to printout
  // (worker 0's also serve conversions on this thread, once no worker is left).
  std::vector<std::unique_ptr<PrintoutData>> data_;
  std::vector<std::unique_ptr<LineReader>> readers_;
  std::deque<std::unique_ptr<Job>> in_flight_;  // in printout order
  std::atomic<bool> scan_complete_{false};
  // (after the jobs and what the workers read, so that the workers stop first)
  Workers workers_;
  PrintoutScanner scanner_;
  long next_number_ = 1;
};

}  // namespace

std::unique_ptr<ParallelPrintouts> begin_in_parallel(Conversion& conversion, LineReader& in, int threads) {
  const int fd = in.descriptor();
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return nullptr;
  try {
    auto parallel = std::make_unique<Parallel>(conversion, in, threads, static_cast<std::uint64_t>(st.st_size));
    if (parallel->running()) return parallel;
  } catch (const std::bad_alloc&) {
  }
  return nullptr;  // no thread, or no memory for the pool, to be had: one printout after another
}

}  // namespace pz
