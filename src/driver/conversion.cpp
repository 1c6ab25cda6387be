#include "driver/conversion.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "plot/plot_file.hpp"
#include "records/cpu_sharing.hpp"
#include "records/failure.hpp"

namespace pz {

namespace {

void catalogue(long n, std::string_view text) {
  std::string line = " Found printout(" + std::to_string(n) + "): ";
  line.append(text);
  line.push_back('\n');
  write_console(line);
}

// Reads the next printout-file line into the scan's current line.
bool next_line(LineReader& in, ScanLine& line) {
  std::string_view record;
  if (!in.next(record)) return false;
  line.assign(record);
  return true;
}

// A printout's connection table, read on a thread of its own while the
// printout's first table is read.
//
// The thread starts at the connection-table heading the scan of the file
// found for the printout, or else looks for the first line after the first
// table's heading that heads a connection table, before any header line
// (the scan may not have come so far yet). Once the first table's
// columns stand (its first row that names an element is read, or it has
// ended), it reads the connection table as the printout's next table,
// adding its arrays and slots after the first table's, into a block of its
// own, with its console output kept. The printout's own reading takes it
// over when it comes to that very heading with nothing read in between but
// the first table's rows and lines that head nothing: the printout then
// goes on where the thread's reading ended, as if it had read the table
// itself. Otherwise (another table first, or the printout's end) the
// thread's table is taken back out of the printout, unseen.
class LaterTable final : public TableWatch {
 public:
  // Starts at the first table's heading, the record `in` last handed out,
  // or at the connection table's heading where the scan found it.
  LaterTable(const Conversion& conversion, const LineReader& in, PrintoutData& data, TableHeading found)
      : conversion_(conversion),
        data_(data),
        fd_(in.descriptor()),
        start_found_(found.offset > in.last_record_offset()),
        start_(start_found_ ? found.offset : in.last_record_offset()),
        start_line_(start_found_ ? found.line : in.line_number()),
        source_(in.source()) {
    thread_ = HelperThread(sharing_cpus([this] { run(); }));
  }
  ~LaterTable() override {
    if (!taken_over_) give_up();
  }
  LaterTable(const LaterTable&) = delete;
  LaterTable& operator=(const LaterTable&) = delete;

  // The first table's columns stand: the connection table may be laid out
  // after them.
  void columns_fixed() override {
    {
      const std::lock_guard lock(mutex_);
      go_ = true;
    }
    wanted_.notify_one();
  }

  // The printout's reading has come to a heading: when it is the table read
  // here, takes the table over (its console output, its failure, and where
  // its reading ended, into `in` and `line`) and returns true with its
  // outcome; otherwise takes the table back out and returns false. The
  // table's lines were numbered from the scan's guess of the heading's
  // line: when the guess was wrong, it is taken over only if no warning or
  // failure of it names a line.
  bool take_over(TableHeading reached, LineReader& in, ScanLine& line, TableOutcome& outcome) {
    reached_ = reached.offset;
    columns_fixed();  // (the first table has ended, if nothing told so before)
    hand_over_this_cpu();
    thread_.join();
    const std::optional<std::uint64_t> next = reader_.next_record_offset();
    const bool ended_at_header = error_ == nullptr && outcome_ == TableOutcome::header;
    const long long line_shift = reached.line - heading_line_;
    const bool same_lines = line_shift == 0 || (error_ == nullptr && !console_.has_warnings());
    if (!laid_out_ || heading_ != reached.offset || !same_lines ||
        (!ended_at_header && !reader_.at_end_of_file() && !next)) {
      give_up();
      return false;
    }
    taken_over_ = true;
    if (ConsoleCapture* capture = ConsoleCapture::active())
      capture->entries.insert(capture->entries.end(), console_.entries.begin(), console_.entries.end());
    else
      console_.replay();
    std::string_view record;
    const long long lines_read = reader_.line_number() + line_shift;
    if (ended_at_header) {  // the header line is read again, as the scan's current line
      in.seek(reader_.last_record_offset(), lines_read - 1);
      in.next(record);
      line.assign(record);
    } else if (reader_.at_end_of_file()) {
      in.seek(reader_.bytes_read(), lines_read);
      in.next(record);  // meets the end of the file, as the table's reading did
    } else {
      in.seek(*next, lines_read);
    }
    if (error_) std::rethrow_exception(error_);
    outcome = outcome_;
    return true;
  }

 private:
  void run() {
    const ConsoleCapture::Scope capture(console_);
    try {
      reader_.attach_at(fd_, start_, start_line_ - 1, source_, Routine::main_program);
      std::string_view record;
      reader_.next(record);  // the first table's heading, or the one found
      ScanLine line;
      if (start_found_ && !is_connection_heading(record, line)) return;
      while (!start_found_) {
        if (stop_.load(std::memory_order_relaxed) || !reader_.next(record) || is_header_record(record) ||
            reader_.last_record_offset() > reached_.load(std::memory_order_relaxed))
          return;
        if (is_connection_heading(record, line)) break;
      }
      heading_ = reader_.last_record_offset();
      heading_line_ = reader_.line_number();
      {
        std::unique_lock lock(mutex_);
        wanted_.wait(lock, [&] { return go_; });
      }
      // Not when the printout's reading came to another heading first.
      const std::uint64_t reached = reached_.load(std::memory_order_relaxed);
      if (stop_.load(std::memory_order_relaxed) || (reached != nowhere && reached != heading_)) return;
      slots_before_ = data_.slot_count;
      arrays_before_ = data_.array_count;
      header_before_ = data_.header_length;
      conversion_.await_mesh();
      laid_out_ = true;
      outcome_ = read_table(reader_, line, conversion_.tables, conversion_.mesh, data_);
    } catch (...) {
      error_ = std::current_exception();
    }
  }

  // Stops the thread where it can stop and takes its table back out.
  void give_up() {
    stop_ = true;
    columns_fixed();
    if (thread_.joinable()) thread_.join();
    if (!laid_out_) return;
    data_.drop_slots_after(slots_before_);
    data_.array_count = arrays_before_;
    data_.header_length = header_before_;
    laid_out_ = false;
  }

  const Conversion& conversion_;
  PrintoutData& data_;
  const int fd_;
  const bool start_found_;  // at the connection table's heading
  const std::uint64_t start_;
  const long long start_line_;
  const Source source_;

  std::mutex mutex_;
  std::condition_variable wanted_;
  bool go_ = false;
  std::atomic<bool> stop_{false};
  // Where the printout's reading came to a heading, when it did.
  static constexpr std::uint64_t nowhere = ~std::uint64_t{0};
  std::atomic<std::uint64_t> reached_{nowhere};
  HelperThread thread_;

  // What the thread found, read only once it has ended.
  LineReader reader_;
  std::uint64_t heading_ = 0;
  long long heading_line_ = 0;
  bool laid_out_ = false;  // its table's arrays and slots were added
  int slots_before_ = 0, arrays_before_ = 0, header_before_ = 0;
  TableOutcome outcome_ = TableOutcome::not_a_table;
  std::exception_ptr error_;
  ConsoleCapture console_;
  bool taken_over_ = false;
};

}  // namespace

bool is_connection_heading(std::string_view record, ScanLine& scratch) {
  if (text_initial(record) != 'e') return false;  // only such a line may head a table
  scratch.assign(record);
  return table_kind(scratch) == TableKind::connection;
}

bool skip_to_header_line(LineReader& in, ScanLine& line) {
  while (!line.is_header()) {
    if (!next_line(in, line)) return false;
  }
  return true;
}

std::unique_ptr<PrintoutPlot> Conversion::printout(LineReader& in, ScanLine& line, const Line& values_line,
                                                   long number, PrintoutData& data, PrintoutEnd& end,
                                                   std::optional<TableHeading> split) const {
  if (!settings.quiet) catalogue(number, values_line.cols(3, 20));
  const bool halves = split.has_value();  // the plot is then written on two threads too
  std::unique_ptr<PrintoutPlot> plot = writer.begin(plot_file_name(base_name, number));
  data.number = number;
  data.start(settings.projection, true);
  end = PrintoutEnd::end_of_file;
  std::optional<LaterTable> later;
  while (next_line(in, line)) {
    if (line.is_header()) {
      end = PrintoutEnd::header_line;
      break;
    }
    if (!line.is_heading()) continue;
    TableOutcome outcome;
    const bool taken = later && later->take_over({in.last_record_offset(), in.line_number()}, in, line, outcome);
    later.reset();
    if (!taken) {
      const bool element_table = table_kind(line) == TableKind::element;
      if (!element_table) await_mesh();  // (which other tables read)
      if (split && in.descriptor() >= 0 && element_table) {
        try {
          later.emplace(*this, in, data, *split);
        } catch (const std::system_error&) {
          // No thread to be had: the connection table is read in its turn.
        }
        split.reset();  // (once a printout)
      }
      outcome = read_table(in, line, tables, mesh, data, later ? &*later : nullptr);
    }
    // A header line that ended a table is the scan's current line.
    if (outcome == TableOutcome::header) end = PrintoutEnd::header_line;
    if (outcome == TableOutcome::overflow) end = PrintoutEnd::skip_rest;
    if (outcome == TableOutcome::header || outcome == TableOutcome::overflow ||
        outcome == TableOutcome::end_of_file)
      break;
  }
  later.reset();
  data.time = printout_time(values_line.view(), number);
  await_plot();
  // The messages of the zone file's unknown names come with every plot.
  write_console(zones.messages, false);
  plot->write(data, zones, mesh, halves);
  flush_console();
  return plot;
}

}  // namespace pz
