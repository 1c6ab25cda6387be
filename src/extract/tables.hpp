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
// Where the row's values and the heading's names do not match in number,
// and the windows so found would cut a value, leave a name over no value or
// a value under a name out, the heading's words cannot be the columns: each
// value of that row is then a column, named by all the heading's text over
// it, from just after the value before it ("Gas saturati Air gas mass").
//
// Some simulators print the names of a row a column or two off the
// heading's name words, each on its own: until the windows are fixed, a row
// none of whose names is found there (nor both two columns right) is tried
// with each name moved by up to two columns either way, nearest first; the
// first row whose names are all found so, and whose values are numbers,
// fixes the name fields for the table (in a connection table the mesh must
// join its two elements; in an element table the name must stand between
// blanks). A heading that begins in column 1 ("ELEM1   ELEM2    INDEX")
// heads a table whose names are read from column 1.
//
// Inside a table, blank lines, unit lines, rules of underscores and
// repeated headings after a page break name no element and are passed over.
// A header line ("total time") ends an unterminated table and the printout.
//
// Element tables fill one value slot per taken column; connection tables
// one slot per plotted coordinate and taken column: the vector sum, over the
// element's connections in the table, of half the unit vector from the
// second element's centre towards the first's times the value, divided by
// the connection's area, except for velocities: columns whose whole name
// begins with "vel" or "v(", or holds "veloc", in any case.
#pragma once

#include <string_view>

#include <optional>

#include "extract/inspect.hpp"
#include "extract/printout_data.hpp"
#include "extract/printout_start.hpp"
#include "mesh/mesh.hpp"
#include "records/files.hpp"
#include "records/layouts.hpp"

namespace pz {

// The wanted-column list: the first line of the list file, naming the
// columns to take as they stand in the headings, separated by blanks, in
// any case. A column is taken when its whole word is on the line.
class WantedList {
 public:
  explicit WantedList(std::string_view first_line);
  // Whether the lower-cased word framed by a blank on each side (" p ")
  // occurs in the list: a blank, then the line's 599 columns lower-cased,
  // so that the first and the last name of the line match too.
  bool wants(std::string_view framed_word) const { return text_.view().find(framed_word) != std::string_view::npos; }

 private:
  FixedText<list_line_width + 1> text_;
};

// What the table reading needs of the run settings.
struct TableSettings {
  Projection projection = Projection::xy;  // as the mesh reader settled it
  const WantedList* wanted = nullptr;      // none: every column is taken
  bool partial = false;  // the end of the file inside a table ends it (else failure 24)
  // The file's layout frames its sections by lines of one capital letter
  // repeated ("EEEE...", "CCCC..."): such a line (columns 2-21) ends a
  // table as the terminator does, and "ELEM1 ELEM1 INDEX" heads a
  // connection table.
  bool letter_lines = false;
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

// The first character of a record's text after column 1, in lower case
// (ASCII letters), or 0 when nothing but blanks stands within line_width
// columns: a header line's is a "t", a table heading's an "e".
inline char text_initial(std::string_view record) {
  const std::size_t text = record.find_first_not_of(' ', 1);
  if (text == std::string_view::npos || text >= line_width) return 0;
  return static_cast<char>(record[text] | 0x20);
}

// A printout-file line as the scan tests it: its first 240 columns with
// column 1 blanked, the lower-cased copy and its positions; and the record
// itself, as long as the reader has not read on (a table's heading is read
// from it whole, its names past column 240 too).
struct ScanLine {
  Line text;
  Line lower;
  Positions pos;
  char printed_first = ' ';  // column 1 as the record has it
  std::string_view record;   // valid until the reader reads the next record
  void assign(std::string_view record);
  // A line that may head a table: its first word begins with "elem"; or,
  // as printed, its first word begins with "elem" in column 1 and the line
  // so read heads a table (in either layout).
  bool is_heading() const {
    return lower.cols(pos.first, pos.first + 3) == "elem" || (begins_in_column1() && heads_from_column1());
  }
  // Whether the record as printed has a word "elem..." in column 1.
  bool begins_in_column1() const { return lower_case(printed_first) == 'e' && lower.cols(2, 4) == "lem"; }
  bool heads_from_column1() const;
};

// Handles a table heading line of printout data.number, the scan's current
// line. Starts the printout's arrays when it has no slot yet, classifies
// the line and reads the table's rows from `in` up to its terminator. When
// a header line ends the table instead, `line` holds it on return. The
// line's record must be the one `in` handed out last: the table's names are
// read from the whole record, as far as its rows are.
//
// Warnings (standard error) name a table none of whose rows names an
// element of the mesh, or else how many of its rows (a name that is not
// blank, values that are numbers) name elements the mesh lacks, and a
// table ended without its terminator. The end of the file inside a table
// is failure 24, unless settings.partial; a last line without its line
// end is read as a terminator or header line, never as a row (its last
// value may be cut short). A heading of more than 20 words
// is left out (overflow) only when no row shows fewer columns in them.
TableOutcome read_table(LineReader& in, ScanLine& line, const TableSettings& settings, const Mesh& mesh,
                        PrintoutData& data);

// What a line heads: an element table (its first word begins with "elem",
// its second is the index word), a connection table (its second word is
// "elem2", or "elem1" in the letter-line layout, its third the index word),
// or no table. Where the line with column 1 blanked heads none, the line as
// printed is tried, when its first word begins in column 1.
enum class TableKind { none, element, connection };
TableKind table_kind(const ScanLine& line, bool letter_lines = false);

}  // namespace pz
