// The record layouts of a zone-format plot file (see zone_format.hpp):
//
//   layout                          record
//   (a)                             the variables header
//   "Zone F=POINT I=" i5            point zone header
//   a " F=FEPOINT I=" i5 " J=" i5   cell zone header
//   (1p,100e14.6)                   point record, 100 numbers a line
//   (4i6)                           cell record
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "records/files.hpp"
#include "records/number_writing.hpp"

namespace pz {

// How counts and point numbers that do not fit their fields are written.
// Fixed: a count in full, run on from the text before it (a zone can hold
// up to 140000 cells, and five asterisks would leave the file unreadable),
// a point number as asterisks (no point number of a fixed-size mesh needs
// more than 5 of its 6 columns). Widened, for models past the fixed sizes:
// a count of more than 5 digits and a point number of 6 or more (which
// would touch the number before it) in the columns they need, after a
// blank, so that a reader that splits the record at blanks reads every
// number ("I= 140000", "     1 999999 1000000").
enum class NumberFields { fixed, widened };

// A count written in "i5", or, where it does not fit, as `fields` says.
// Returns the end.
char* write_count(char* out, std::int64_t value, int width, NumberFields fields = NumberFields::fixed);

// "Zone F=POINT I=" i5
void write_point_zone_header(OutFile& out, std::int64_t points, NumberFields fields = NumberFields::fixed);
// title " F=FEPOINT I=" i5 " J=" i5 ("Zone" as title without a zone file)
void write_cell_zone_header(OutFile& out, std::string_view title, std::int64_t points, std::int64_t cells,
                            NumberFields fields = NumberFields::fixed);

// "(1p,100e14.6)": numbers are added one by one; after 100 numbers the
// record ends and the layout starts again on a new record. A record of a
// known count of numbers is laid out in room reserved for all of it at
// once: a number then costs its digits, and no bookkeeping of the file's
// buffer.
class RealRecord {
 public:
  static constexpr int per_record = 100;
  // The characters of a record of `values` numbers, with its line ends.
  static constexpr std::size_t length(int values) {
    const int line_ends = values > 0 ? (values - 1) / per_record + 1 : 1;
    return static_cast<std::size_t>(values) * e14_width + static_cast<std::size_t>(line_ends);
  }
  // A record of exactly `values` numbers (at most a buffer's worth).
  RealRecord(OutFile& out, int values) : out_(out), at_(out.reserve(length(values))) {}
  // Adds a number: a double, or a compact value's code.
  template <class Value>
  void add(Value value) {
    if (count_ == per_record) {
      *at_++ = '\n';
      count_ = 0;
    }
    at_ = write_field(at_, value);
    ++count_;
  }
  // Adds count numbers, in one run while they stay on the record's line.
  template <class Value>
  void add_all(const Value* values, int count) {
    if (count_ + count > per_record) {
      for (int k = 0; k < count; ++k) add(values[k]);
      return;
    }
    at_ = write_fields(at_, values, count);
    count_ += count;
  }
  // Adds count numbers already laid out (count fields of e14_width
  // characters), as many as the record still has room for at most.
  void add_laid_out(std::string_view fields, int count) {
    std::memcpy(at_, fields.data(), fields.size());
    at_ += fields.size();
    count_ += count;
  }
  // Ends the record (a record without numbers is an empty line).
  void end() {
    *at_++ = '\n';
    out_.commit_to(at_);
  }

 private:
  static char* write_field(char* out, double value) { return write_e14_6(out, value); }
  static char* write_field(char* out, CompactValue code) { return write_compact_e14_6(out, code); }
  static char* write_fields(char* out, const double* values, int count) {
    return write_e14_6_run(out, values, count);
  }
  static char* write_fields(char* out, const CompactValue* codes, int count) {
    return write_compact_e14_6_run(out, codes, count);
  }

  OutFile& out_;
  char* at_;
  int count_ = 0;
};

// "(4i6)", with its line end: cell_record_width characters from out, or
// with widened fields at most cell_record_room; returns the end.
inline constexpr int cell_record_width = 25;
inline constexpr int cell_record_room = 4 * 11 + 1;  // a blank and 10 digits a corner
char* write_cell_record(char* out, const std::array<int, 4>& corners, NumberFields fields = NumberFields::fixed);

// "(8i6)", with its line end: a box's eight point numbers, as the zone
// format's finite-element form writes a brick; box_record_width characters,
// or with widened fields at most box_record_room.
inline constexpr int box_record_width = 49;
inline constexpr int box_record_room = 8 * 11 + 1;
char* write_box_record(char* out, const std::array<int, 8>& corners, NumberFields fields = NumberFields::fixed);

}  // namespace pz
