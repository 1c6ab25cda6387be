#include "driver/parallel.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "records/failure.hpp"

namespace pz {

namespace {

// One printout in flight: where it begins, and what its conversion gave.
struct Job {
  long number = 0;
  std::size_t start = 0;  // offset of its header line
  long long line = 0;     // and that line's number

  ConsoleCapture console;  // its console output, in order
  std::unique_ptr<PrintoutPlot> plot;
  std::exception_ptr error;  // the failure or stop that ended it
  std::size_t end = 0;       // offset of the header line after it, or the file's size
  long long end_line = 0;    // and that line's number
  bool done = false;
};

// Where printouts begin: each at a header line that has a line after it
// (its values line); the next is looked for after that values line.
class PrintoutScanner {
 public:
  explicit PrintoutScanner(std::string_view file) : file_(file) {}

  // Goes on from the line that begins at offset `at`, numbered `line`.
  void restart(std::size_t at, long long line) {
    position_ = at;
    line_ = line;
  }

  // The next printout's header line; false when there is none.
  bool next(std::size_t& start, long long& line) {
    std::string_view text;
    for (;;) {
      const std::size_t at = position_;
      if (!next_line(text)) return false;
      if (!is_header(text)) continue;
      start = at;
      line = line_;
      return next_line(text);  // the values line: a header line ending the file starts no printout
    }
  }

 private:
  // The next line without its line end; line_ becomes its number.
  bool next_line(std::string_view& text) {
    if (position_ >= file_.size()) return false;
    const std::size_t newline = file_.find('\n', position_);
    const std::size_t stop = newline == std::string_view::npos ? file_.size() : newline;
    text = file_.substr(position_, stop - position_);
    if (newline != std::string_view::npos && !text.empty() && text.back() == '\r') text.remove_suffix(1);
    position_ = newline == std::string_view::npos ? file_.size() : newline + 1;
    ++line_;
    return true;
  }

  // As the conversion's scan tests a line, over its first line_width
  // columns (shorter lines read as blank-padded).
  static bool is_header(std::string_view text) {
    text = text.substr(0, line_width);
    return text.size() > header_marker.size() && is_header_line(text);
  }

  std::string_view file_;
  std::size_t position_ = 0;
  long long line_ = 0;  // number of the line before position_
};

// Worker threads taking jobs in the order given.
class Workers {
 public:
  Workers(int count, std::function<void(Job&, int worker)> work) : work_(std::move(work)) {
    for (int i = 0; i < count; ++i) threads_.emplace_back([this, i] { serve(i); });
  }
  ~Workers() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
      queue_.clear();
    }
    wanted_.notify_all();
    for (std::thread& t : threads_) t.join();
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

  void wait(Job& job) {
    std::unique_lock lock(mutex_);
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

 private:
  void serve(int worker) {
    for (;;) {
      Job* job;
      {
        std::unique_lock lock(mutex_);
        wanted_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
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
  std::vector<std::thread> threads_;
};

// Converts one printout on a worker: its console output is kept, its plot
// files stay under their temporary names, and where it ended is noted.
void convert(const Conversion& conversion, std::string_view file, Job& job, PrintoutData& data) {
  const ConsoleCapture::Scope capture(job.console);
  try {
    const std::string& name = conversion.settings.printout_file;
    LineReader in;
    in.attach_memory(file.substr(job.start), job.line - 1, Source{unit::printout, name}, Routine::main_program);
    ScanLine line;
    Line values_line;
    std::string_view record;
    in.next(record);  // the header line
    in.next(record);
    values_line.assign(record);
    PrintoutEnd end;
    job.plot = conversion.printout(in, line, values_line, job.number, data, end);
    const bool at_header =
        end == PrintoutEnd::header_line || (end == PrintoutEnd::skip_rest && skip_to_header_line(in, line));
    job.end = at_header ? static_cast<std::size_t>(in.last_record_start() - file.data()) : file.size();
    job.end_line = in.line_number();
  } catch (...) {
    job.error = std::current_exception();
  }
}

}  // namespace

void convert_in_parallel(const Conversion& conversion, PlotWriter& writer, MappedFile& file, int threads,
                         std::optional<Progress>& progress) {
  const std::string_view bytes = file.bytes();
  std::vector<std::unique_ptr<PrintoutData>> data;
  for (int i = 0; i < threads; ++i)
    data.push_back(std::make_unique<PrintoutData>(conversion.mesh.elements.located));
  const std::size_t most_in_flight = 2 * static_cast<std::size_t>(threads);

  std::deque<std::unique_ptr<Job>> in_flight;  // in printout order
  // (declared after the jobs, so that the workers stop before the jobs go)
  Workers workers(threads, [&](Job& job, int worker) { convert(conversion, bytes, job, *data[worker]); });
  const auto drop_after_first = [&] {
    for (auto it = in_flight.rbegin(); it + 1 != in_flight.rend(); ++it) workers.withdraw(**it);
    in_flight.resize(1);
  };

  PrintoutScanner scanner(bytes);
  long next_number = 1;
  for (;;) {
    std::size_t start;
    long long line;
    while (in_flight.size() < most_in_flight && scanner.next(start, line)) {
      auto job = std::make_unique<Job>();
      job->number = next_number++;
      job->start = start;
      job->line = line;
      workers.submit(*job);
      in_flight.push_back(std::move(job));
    }
    if (in_flight.empty()) return;

    Job& job = *in_flight.front();
    workers.wait(job);
    if (progress) progress->printout_started(job.number);
    job.console.replay();
    if (job.error) {
      drop_after_first();
      std::rethrow_exception(job.error);
    }
    writer.commit(*job.plot);
    if (in_flight.size() > 1 && in_flight[1]->start != job.end) {
      // The printout ran past the scan's guess: find the later ones again.
      drop_after_first();
      scanner.restart(job.end, job.end_line - 1);
      next_number = job.number + 1;
    }
    file.release_before(in_flight.size() > 1 ? in_flight[1]->start : job.end);
    if (progress) progress->block_read(job.end);
    in_flight.pop_front();
  }
}

}  // namespace pz
