#include "driver/printout_scan.hpp"

#include <cerrno>

#include <unistd.h>

namespace pz {

bool PrintoutScanner::may_begin_printout(std::string_view record, PrintoutLayout layout) {
  const char initial = text_initial(record);
  switch (layout) {
    case PrintoutLayout::header_lines: return initial == 't';
    case PrintoutLayout::output_after: return initial == 'o';
    case PrintoutLayout::unknown: break;
  }
  return initial == 't' || initial == 'o';
}

std::string_view PrintoutScanner::read_at(int fd, std::uint64_t offset, char* buffer, std::size_t size) {
  ssize_t got;
  do got = ::pread(fd, buffer, size, static_cast<off_t>(offset));
  while (got < 0 && errno == EINTR);
  return got > 0 ? std::string_view(buffer, static_cast<std::size_t>(got)) : std::string_view();
}

std::string_view PrintoutScanner::as_record(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line.substr(0, std::min(line.size(), LineReader::max_record));
}

std::optional<PrintoutScanner::TwoLines> PrintoutScanner::two_lines_at(int fd, std::uint64_t at,
                                                                      std::array<char, 4096>& buffer) {
  if (at == 0) return std::nullopt;
  const std::string_view read = read_at(fd, at - 1, buffer.data(), buffer.size());
  if (read.empty() || read[0] != '\n') return std::nullopt;
  const std::string_view bytes = read.substr(1);
  const std::size_t first_end = bytes.find('\n');
  if (first_end == std::string_view::npos) return std::nullopt;
  const std::size_t second_end = bytes.find('\n', first_end + 1);
  if (second_end == std::string_view::npos) return std::nullopt;
  return TwoLines{as_record(bytes.substr(0, first_end)), at + second_end + 1};
}

}  // namespace pz
