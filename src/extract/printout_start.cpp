#include "extract/printout_start.hpp"

#include "extract/printout_data.hpp"
#include "records/layouts.hpp"

namespace pz {

namespace {

constexpr std::string_view output_after_marker = "output after";

bool is_blank(char c) { return c == ' '; }

// Where a marker (in lower case) ends when it stands, in any case, where a
// line's text begins after column 1 (never part of a marker); nothing
// where it does not.
std::optional<std::size_t> marker_end(std::string_view line, std::string_view marker) {
  std::size_t at = 1;
  while (at < line.size() && is_blank(line[at])) ++at;
  if (at >= line.size() || line.size() - at < marker.size()) return std::nullopt;
  for (char c : marker)
    if (lower_case(line[at++]) != c) return std::nullopt;
  return at;
}

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

bool is_header_line(std::string_view line) { return marker_end(line, header_marker).has_value(); }

std::optional<OutputAfterLine> read_output_after(std::string_view line) {
  const std::optional<std::size_t> marker = marker_end(line, output_after_marker);
  if (!marker) return std::nullopt;
  std::size_t at = *marker;
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

bool begins_printout(std::string_view line, PrintoutLayout& layout, std::string_view current_steps) {
  switch (layout) {
    case PrintoutLayout::header_lines: return is_header_line(line);
    case PrintoutLayout::output_after: {
      const std::optional<OutputAfterLine> read = read_output_after(line);
      return read && read->steps != current_steps;
    }
    case PrintoutLayout::unknown: break;
  }
  layout = layout_begun_by(line);
  return layout != PrintoutLayout::unknown;
}

}  // namespace pz
