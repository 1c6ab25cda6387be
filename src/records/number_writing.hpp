// Writing numbers into fixed-column fields: the core under every output
// layout.
//
// Output: iW right-justified (W asterisks when it does not fit), and the
// 14-column scientific field of "(1p,e14.6)": 7 significant digits, correctly
// rounded (ties to even on the exact binary value), exponent "E+dd", or
// "+ddd" without the letter when it needs three digits. A short decimal
// (short_decimals.hpp) is laid out from the digits it keeps.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

#include "records/short_decimals.hpp"

namespace pz {

// Writes value right-justified in width columns (iW); width asterisks when
// it does not fit. Returns the end of the field.
char* write_integer(char* out, std::int64_t value, int width) noexcept;

// Number of characters of value written without leading blanks.
int integer_length(std::int64_t value) noexcept;

// Writes the 14 columns of "(1p,e14.6)" for value. Returns out + 14.
// Negative zero is written as zero. Not-a-number and infinities, which input
// rejects but arithmetic can still make (a connection value over a tiny
// area, a sum beyond the range), are written as 14 asterisks.
inline constexpr int e14_width = 14;
char* write_e14_6(char* out, double value) noexcept;
// write_e14_6 of values[0..count-1] in turn. Returns the end.
char* write_e14_6_run(char* out, const double* values, int count) noexcept;

// The fields of values[0..count-1] with the exponent's letter always, for
// readers that need it ("1.010000E-105"): a three-digit exponent takes its
// "E" and the field 15 columns (lettered_width); not-a-number and
// infinities, 14 asterisks above, are "nan", "inf" and "-inf",
// right-aligned in 14 columns, as C's strtod and most readers read them.
// Returns the end.
inline constexpr int lettered_width = 15;
char* write_e14_6_lettered_run(char* out, const double* values, int count) noexcept;
// Adds the exponent's letter to a field write_e14_6 wrote at `field` (of a
// finite value) where it has none; returns the end of the field.
char* add_exponent_letter(char* field) noexcept;

// Reference conversion for value, by an exact decimal conversion; used as
// the fallback of write_e14_6 where rounding is close, and by the tests.
char* write_e14_6_exact(char* out, double value) noexcept;

// write_e14_6 of the value a code was made from.
char* write_compact_e14_6(char* out, CompactValue code) noexcept;
// write_compact_e14_6 of codes[0..count-1] in turn. Returns the end.
char* write_compact_e14_6_run(char* out, const CompactValue* codes, int count) noexcept;

// A number as free text (messages, XML attributes): an integer in full, a
// real in the shortest form that reads back to the same 64-bit value.
template <class Number>
std::string number_text(Number v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

}  // namespace pz
