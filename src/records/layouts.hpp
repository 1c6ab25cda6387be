// The record layouts of the input files and of the console.
//
// Input records are text lines; a record shorter than a layout's columns
// reads as blanks there. Character fields of the layouts below are 5-column
// element names. Number fields follow the rules of number_reading.hpp; a field that
// is not a number is failure 64 against the file it came from.
//
//   layout             file / stream          fields
//   (a)                MESH, locat            block keyword, columns 1-5
//   (a,45x,3e10.4)     MESH, ELEME block      name 1-5; x 51-60, y 61-70, z 71-80
//   (2a,40x,f10.0)     MESH, CONNE block      names 1-5 and 6-10; value 51-60
//   (a5,5x,2f20.0)     locat                  name 1-5; x 11-30, y 31-50
//   (a)                printout, zone file    a line of 240 columns
//   (a)                wanted-column list     a line of 599 columns
//   (i1)               standard input         the option answer, column 1
//   (f40.0)            a table cell           at most 40 columns, right-aligned
//
// The plot files' record layouts are the zone format's own
// (plot/zone/zone_records.hpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "records/failure.hpp"
#include "records/files.hpp"
#include "records/number_reading.hpp"

namespace pz {

// An element name: exactly 5 characters, blanks significant.
using Name = std::array<char, 5>;

// A text taken as exactly 5 characters: cut to its first 5, or padded with
// blanks on the right.
inline Name make_name(std::string_view text) {
  Name n;
  if (text.size() >= 5) {
    std::memcpy(n.data(), text.data(), 5);
  } else {
    n = Name{' ', ' ', ' ', ' ', ' '};
    if (!text.empty()) std::memcpy(n.data(), text.data(), text.size());
  }
  return n;
}

inline constexpr Name blank_name{' ', ' ', ' ', ' ', ' '};

// Columns first..first+width-1 (1-based) of a record, cut where the record
// ends: the missing columns read as blanks.
inline std::string_view columns(std::string_view record, std::size_t first, std::size_t width) {
  if (first > record.size()) return {};
  return record.substr(first - 1, width);
}

// The widths of the texts lines are read into with "(a)".
inline constexpr std::size_t line_width = 240;       // a printout, zone-file or console line
inline constexpr std::size_t list_line_width = 599;  // the line of the wanted-column list

// A fixed-width text of N columns, blank-padded, as a line is read into
// with "(a)": a longer record is cut, a shorter one padded. Blanks stand
// beyond column N too (`slack` of them), so that a field or a probe that
// reaches past the last column reads blanks.
template <std::size_t N>
struct FixedText {
  static constexpr std::size_t width = N;
  static constexpr std::size_t slack = 80;
  FixedText() { std::memset(c, ' ', sizeof c); }
  // Copies the record's first N characters and pads with blanks. Only the
  // columns an earlier text may have filled are blanked again, so that a
  // wide text costs what its records hold, not its width.
  void assign(std::string_view record) {
    std::size_t n = record.size() < N ? record.size() : N;
    copy(c, record.data(), n);
    if (filled_ > n) std::memset(c + n, ' ', filled_ - n);
    filled_ = n;
  }
  // The N columns, to be written whole by the caller (with blanks where
  // nothing stands).
  char* write_all() {
    filled_ = N;
    return c;
  }
  void set(std::size_t col, char ch) {
    c[col - 1] = ch;
    if (filled_ < col) filled_ = col;
  }
  // Columns first..last (1-based, inclusive); last at most N + slack.
  std::string_view cols(std::size_t first, std::size_t last) const {
    return std::string_view(c + first - 1, last - first + 1);
  }
  char at(std::size_t col) const { return c[col - 1]; }
  std::string_view view() const { return std::string_view(c, N); }

 private:
  // n bytes, in words of fixed size (the last word of a run ending at the
  // n-th byte, over the one before it): a record of a table is copied in a
  // few moves, where a copy of any length starts slowly.
  static void copy(char* to, const char* from, std::size_t n) {
    if (n >= 64) {
      for (std::size_t i = 0; i + 64 < n; i += 64) std::memcpy(to + i, from + i, 64);
      std::memcpy(to + n - 64, from + n - 64, 64);
    } else if (n >= 32) {
      std::memcpy(to, from, 32);
      std::memcpy(to + n - 32, from + n - 32, 32);
    } else if (n >= 8) {
      for (std::size_t i = 0; i + 8 < n; i += 8) std::memcpy(to + i, from + i, 8);
      std::memcpy(to + n - 8, from + n - 8, 8);
    } else {
      for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
    }
  }

  char c[N + slack];
  std::size_t filled_ = 0;  // columns beyond it are blank
};

using Line = FixedText<line_width>;

// The 26 ASCII capitals in lower case; every other byte unchanged.
inline char lower_case(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// "(a)" into a 5-character keyword: the first 5 columns.
inline Name read_keyword(std::string_view record) { return make_name(record); }

struct ElementRecord {
  Name name;
  double x[3];
};
// "(a,45x,3e10.4)"
ElementRecord read_element_record(std::string_view record, const Source& source, Routine routine);

struct ConnectionRecord {
  Name first, second;
  double value;
};
// "(2a,40x,f10.0)"
ConnectionRecord read_connection_record(std::string_view record, const Source& source, Routine routine);

struct LocationRecord {
  Name name;
  double x, y;
};
// "(a5,5x,2f20.0)"
LocationRecord read_location_record(std::string_view record, const Source& source, Routine routine);

// "(i1)": column 1 of the answer; a blank or an empty line is 0.
int read_option_answer(std::string_view record, const Source& source, Routine routine);

// "(f40.0)" over a table cell of at most 40 columns (right-aligned in the
// 40-column field, which does not change its value). False when the cell is
// not a number: the caller reports failure 64 with the row and columns.
inline bool read_table_cell(std::string_view cell, double& value) { return read_real(cell.substr(0, 40), 0, value); }
// The same for a value that is only written: a short decimal keeps its
// digits (see read_real_as_written).
inline bool read_table_value(std::string_view cell, double& value) {
  return read_real_as_written(cell.substr(0, 40), 0, value);
}

}  // namespace pz
