// Where printouts begin. Simulators of this family print them in one of two
// layouts:
//
//   header lines   a printout begins at a header line, whose first non-blank
//                  characters are "total time" (any case, column 1 not
//                  counted), and the values line right after it:
//                     TOTAL TIME     KCYC   ITER ...
//                     0.10000E+04     10      3 ...
//   OUTPUT AFTER   each section of a printout (its element table, its
//                  connection table, ...) is framed by lines of one repeated
//                  capital letter and repeats the printout's line
//                     OUTPUT AFTER  27 TIME STEPS    0.1000000000000000E+16 SECONDS
//                  a new step count begins the next printout, a repeat of
//                  the same count continues the one it belongs to.
//
// A file is of the layout whose line comes first: in a file that has a
// header line before any OUTPUT AFTER line, OUTPUT AFTER lines are text
// like any other, and the other way round.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "records/layouts.hpp"

namespace pz {

enum class PrintoutLayout { unknown, header_lines, output_after };

// The words that begin a header line, in any case, column 1 not counted.
inline constexpr std::string_view header_marker = "total time";

// Whether a printout-file line (its first 240 columns) is a header line:
// the marker where its text begins, after column 1.
bool is_header_line(std::string_view line);
// The same for a record as read, of any length: over its first line_width
// columns.
inline bool is_header_record(std::string_view record) { return is_header_line(record.substr(0, line_width)); }

// An OUTPUT AFTER line's step count and its time in seconds, as printed.
struct OutputAfterLine {
  std::string_view steps;
  std::string_view seconds;
};

// A printout-file line (its first 240 columns) read as an OUTPUT AFTER
// line: "output after" (any case) where its text begins after column 1,
// a step count, and a number followed by the word "seconds"; nothing for
// any other line.
std::optional<OutputAfterLine> read_output_after(std::string_view line);

// The layout that a line begins a printout of: header_lines for a header
// line, output_after for an OUTPUT AFTER line, unknown for any other line.
PrintoutLayout layout_begun_by(std::string_view line);

// What a printout's first lines tell: the text the console's catalogue line
// shows of it, its time, and in the OUTPUT AFTER layout its step count.
struct PrintoutLabel {
  std::string shown;
  double time = 0;
  std::string steps;
};

// A printout's label from its values line: columns 3 to 20 as they stand
// (blanks included), and the first word read as a number, or the printout's
// number where it is none.
PrintoutLabel values_line_label(std::string_view values_line, long number);
// A printout's label from its OUTPUT AFTER line: the number before
// "seconds", blank-padded to 18 characters (whole where it is longer), and
// that number as its time.
PrintoutLabel output_after_label(const OutputAfterLine& line, long number);

// Whether a line begins a printout other than the one whose step count is
// current_steps (which only the OUTPUT AFTER layout uses). While the
// file's layout is unknown, any printout's first line begins one, and the
// layout becomes that line's.
bool begins_printout(std::string_view line, PrintoutLayout& layout, std::string_view current_steps);

}  // namespace pz
