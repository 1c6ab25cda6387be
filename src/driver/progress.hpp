// The progress line: while a large printout file is read with standard
// error on a terminal, one line there, redrawn in place a few times a second,
//     printzone: 1.2 GB of 4.3 GB (27%), 15 printouts, 410 MB/s, 8 s left
// and erased at the end. Other console output erases it first.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "records/failure.hpp"
#include "records/files.hpp"

namespace pz {

class Progress final : public ReadWatcher, public StatusLine {
 public:
  using Clock = std::chrono::steady_clock;
  // Files from this size on get a progress line.
  static constexpr std::uint64_t least_bytes = 50'000'000;
  static constexpr Clock::duration redraw_interval = std::chrono::milliseconds(250);

  // Whether a run over a printout file of total_bytes shows the line:
  // standard error is a terminal and the file is large enough.
  static bool wanted(std::uint64_t total_bytes);

  explicit Progress(std::uint64_t total_bytes);
  ~Progress() override;
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void printout_started(long number) { printouts_ = number; }
  void block_read(std::uint64_t bytes_so_far) override;
  void erase() override;

  // The line's text after so many seconds.
  static std::string text(std::uint64_t bytes, std::uint64_t total, long printouts, double seconds);

 private:
  std::uint64_t total_;
  long printouts_ = 0;
  Clock::time_point start_ = Clock::now();
  Clock::time_point drawn_at_{};
  bool shown_ = false;
};

}  // namespace pz
