// Tables of a printout: a heading line that names the columns, one row per
// element (element table) or per connection (connection table), and a
// terminator line of twenty at signs in columns 2 to 21.
//
//   heading   ELEM. INDEX  P        T        SG          element table
//             ELEM1 ELEM2 INDEX  FLOH  FLO(GAS)          connection table
//   rows      name [name] index  value    value ...
//   end       @@@@@@@@@@@@@@@@@@@@ (columns 2-21)
//
// The first word of a heading begins with "elem"; the second word is
// exactly "index" (element table), or "elem2" followed by "index"
// (connection table); words are compared whole, in any case. Every word
// after the index word names a column. The columns where each value stands
// are fixed from the first row whose element is known, against the ends of
// the heading's names, and used for every later row of the table.
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
};

enum class TableOutcome {
  not_a_table,  // the heading line heads no table
  read,         // the table was read up to and including its terminator
  overflow,     // the table would exceed a capacity: dropped whole, and the
                // printout's extraction ends
};

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

// Normalises LINE into LC (first 240 columns) and returns the positions.
Positions inspect_line(const Line& LINE, LowerLine& LC);

// Whether the column word LC[s..t] is on the wanted-column list: the word
// framed by the blanks around it occurs in WANT.
bool wanted(std::string_view WANT, const LowerLine& LC, int s, int t);

// Handles a table heading line: LINE (column 1 blanked), LC and its
// positions. Starts the variables header when NVAL is 0, classifies the
// line and reads the table's rows from `in` up to its terminator.
TableOutcome read_table(LineReader& in, const Line& LINE, const LowerLine& LC, const Positions& pos,
                        const TableSettings& settings, const Mesh& mesh, Values& values);

}  // namespace pz
