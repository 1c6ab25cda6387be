// Tables of a printout: a heading line that names the columns, one row per
// element (element table) or per connection (connection table), and a
// terminator line of twenty at signs in columns 2 to 21.
//
//   heading   ELEM. INDEX  P        T        SG          element table
//             ELEM1 ELEM2 INDEX  FLOH  FLO(GAS)          connection table
//   rows      name [name] index  value    value ...
//   end       @@@@@@@@@@@@@@@@@@@@ (columns 2-21)
//
// The first word of a heading begins with "elem"; the second word is the
// index word, "index", "ind." or "ind" (element table), or "elem2" followed
// by the index word (connection table); words are compared whole, in any
// case. Every word after the index word names a column. A row's element
// name stands in the columns of the heading's first word, 5 at least (names
// are 5 characters, also under a 4-letter "ELEM"); the second name of a
// connection row likewise under "elem2".
//
// The columns where each value stands are fixed from the first row whose
// element is known, against the ends of the heading's names, and used for
// every later row of the table. Simulators print a value that fills its
// field with no blank before it ("0.10000E+01-0.50000E+00", and even the
// index glued to the first value, "10.597704E+07"), so that row is split
// into numbers by their form where its blank-separated words are not numbers
// themselves. A heading whose names are two words apart by one blank ("Heat
// Flow  Gas Flow") names one column per pair when that row holds exactly
// that many numbers.
//
// Inside a table, blank lines, unit lines, rules of underscores and
// repeated headings after a page break name no element and are passed over.
// A header line ("total time") ends an unterminated table and the printout.
//
// Element tables fill one value slot per taken column; connection tables
// one slot per plotted coordinate and taken column: the vector sum, over the
// element's connections in the table, of half the unit vector from the
// second element's centre towards the first's times the value, divided by
// the connection's area (columns whose name begins with "vel" are not).
#pragma once

#include <string_view>

#include "extract/inspect.hpp"
#include "extract/values.hpp"
#include "mesh/mesh.hpp"
#include "records/files.hpp"
#include "records/layouts.hpp"

namespace pz {

// What the table reading needs of the run settings.
struct TableSettings {
  int IOPT = 3;             // projection option, 1..3 planar, 4 and above XYZ
  std::string_view WANT;    // wanted-column list: a blank, then the list line, lower case
  int LWANT = 0;            // 0: no list; every column is taken
  bool partial = false;     // the end of the file inside a table ends it (else failure 24)
};

enum class TableOutcome {
  not_a_table,  // the heading line heads no table
  read,         // the table was read up to and including its terminator
  overflow,     // the table would exceed a capacity: dropped whole, and the
                // printout's extraction ends
  header,       // a header line ended the table and the printout; it is
                // now the scan's current line
  end_of_file,  // the file ended inside the table (partial reading)
};

// The words that begin a printout: its header line's first words, in any
// case, column 1 not counted.
inline constexpr std::string_view header_marker = "total time";

// Whether a printout-file line (its first 240 columns) is a header line:
// the marker where its text begins, after column 1.
bool is_header_line(std::string_view line);

// The lower-cased line with room for probes that reach past column 240.
struct LowerLine {
  static constexpr std::size_t length = 240;
  char c[length + 64];
  LowerLine() { std::memset(c, ' ', sizeof c); }
  char at(int col) const { return c[col - 1]; }
  std::string_view cols(int first, int last) const {
    return std::string_view(c + first - 1, static_cast<std::size_t>(last - first + 1));
  }
};

// A printout-file line as the scan tests it: its first 240 columns with
// column 1 blanked (LINE), the lower-cased copy (LC) and its positions.
struct ScanLine {
  Line LINE;
  LowerLine LC;
  Positions pos;
  void assign(std::string_view record);
  bool is_header() const { return is_header_line(LINE.view()); }
  // A line that may head a table: its first word begins with "elem".
  bool is_heading() const { return LC.cols(pos.IFIRST, pos.IFIRST + 3) == "elem"; }
};

// Whether the column word LC[s..t] is on the wanted-column list: the word
// framed by the blanks around it occurs in WANT.
bool wanted(std::string_view WANT, const LowerLine& LC, int s, int t);

// Handles a table heading line of printout number `printout`, the scan's
// current line. Starts the variables header when NVAL is 0, classifies the
// line and reads the table's rows from `in` up to its terminator. When a
// header line ends the table instead, `line` holds it on return.
//
// Warnings (standard error) name a table none of whose rows names an
// element of the mesh, and a table ended without its terminator. The end
// of the file inside a table is failure 24, unless settings.partial.
TableOutcome read_table(LineReader& in, ScanLine& line, long printout, const TableSettings& settings,
                        const Mesh& mesh, Values& values);

}  // namespace pz
