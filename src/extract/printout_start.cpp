#include "extract/printout_start.hpp"

#include "extract/tables.hpp"
#include "records/layouts.hpp"

namespace pz {

namespace {

constexpr std::string_view output_after_marker = "output after";

bool is_blank(char c) { return c == ' '; }

// The next word of line from position at on (blanks before it passed over),
// and at moved past it.
std::string_view next_word(std::string_view line, std::size_t& at) {
  while (at < line.size() && is_blank(line[at])) ++at;
  const std::size_t first = at;
  while (at < line.size() && !is_blank(line[at])) ++at;
  return line.substr(first, at - first);
}

bool same_letters(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (lower_case(text[i]) != lower[i]) return false;
  return true;
}

bool all_digits(std::string_view word) {
  if (word.empty()) return false;
  for (char c : word)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

std::optional<OutputAfterLine> read_output_after(std::string_view line) {
  std::size_t at = 1;  // column 1 is never part of a marker
  while (at < line.size() && is_blank(line[at])) ++at;
  if (line.size() - at < output_after_marker.size() ||
      !same_letters(line.substr(at, output_after_marker.size()), output_after_marker))
    return std::nullopt;
  at += output_after_marker.size();
  OutputAfterLine read;
  read.steps = next_word(line, at);
  if (!all_digits(read.steps)) return std::nullopt;
  // The time is the word before "seconds".
  for (std::string_view before, word = next_word(line, at); !word.empty(); word = next_word(line, at)) {
    if (same_letters(word, "seconds") && !before.empty()) {
      read.seconds = before;
      return read;
    }
    before = word;
  }
  return std::nullopt;
}

PrintoutLayout layout_begun_by(std::string_view line) {
  if (is_header_line(line)) return PrintoutLayout::header_lines;
  if (read_output_after(line)) return PrintoutLayout::output_after;
  return PrintoutLayout::unknown;
}

PrintoutLabel values_line_label(std::string_view values_line, long number) {
  Line line;
  line.assign(values_line);
  return PrintoutLabel{std::string(line.cols(3, 20)), printout_time(line.view(), number), {}};
}

PrintoutLabel output_after_label(const OutputAfterLine& line, long number) {
  PrintoutLabel label{std::string(line.seconds), static_cast<double>(number), std::string(line.steps)};
  if (label.shown.size() < 18) label.shown.resize(18, ' ');
  if (double t; read_table_cell(line.seconds, t)) label.time = t;
  return label;
}

bool begins_printout(std::string_view line, PrintoutLayout layout, std::string_view current_steps) {
  switch (layout) {
    case PrintoutLayout::header_lines: return is_header_line(line);
    case PrintoutLayout::output_after: {
      const std::optional<OutputAfterLine> read = read_output_after(line);
      return read && read->steps != current_steps;
    }
    case PrintoutLayout::unknown: break;
  }
  return layout_begun_by(line) != PrintoutLayout::unknown;
}

}  // namespace pz
