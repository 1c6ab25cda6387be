#include "driver/progress.hpp"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace pz {

namespace {

// A byte count with three significant digits or more: "812 kB", "1.2 GB".
std::string bytes_text(double bytes) {
  static constexpr const char* units[] = {"B", "kB", "MB", "GB", "TB"};
  int unit = 0;
  while (bytes >= 1000 && unit < 4) bytes /= 1000, ++unit;
  char text[32];
  std::snprintf(text, sizeof text, bytes < 10 && unit > 0 ? "%.1f %s" : "%.0f %s", bytes, units[unit]);
  return text;
}

void draw(const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) return;  // a progress line that cannot be shown is no failure
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

bool Progress::wanted(std::uint64_t total_bytes) { return total_bytes >= least_bytes && ::isatty(STDERR_FILENO); }

Progress::Progress(std::uint64_t total_bytes) : total_(total_bytes) { set_status_line(this); }

Progress::~Progress() {
  erase();
  set_status_line(nullptr);
}

std::string Progress::text(std::uint64_t bytes, std::uint64_t total, long printouts, double seconds) {
  std::string line = "printzone: " + bytes_text(static_cast<double>(bytes)) + " of " +
                     bytes_text(static_cast<double>(total));
  if (total > 0) line += " (" + std::to_string(bytes * 100 / total) + "%)";
  line += ", " + std::to_string(printouts) + (printouts == 1 ? " printout" : " printouts");
  if (seconds > 0 && bytes > 0) {
    const double rate = static_cast<double>(bytes) / seconds;
    line += ", " + bytes_text(rate) + "/s";
    if (total > bytes) line += ", " + std::to_string(std::lround(static_cast<double>(total - bytes) / rate)) + " s left";
  }
  return line;
}

void Progress::block_read(std::uint64_t bytes_so_far) {
  const Clock::time_point now = Clock::now();
  if (now - drawn_at_ < redraw_interval) return;
  drawn_at_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fflush(stdout);
  std::string line = "\r";
  line += text(bytes_so_far, total_, printouts_, seconds);
  line += "\033[K";  // erases what a longer line before left
  draw(line);
  shown_ = true;
}

void Progress::erase() {
  if (!shown_) return;
  draw("\r\033[K");
  shown_ = false;
}

}  // namespace pz
