// Number conversion of fixed-column fields: the core under every layout.
//
// Input (fW.D, eW.D, iW): blanks anywhere in the field are ignored and an
// all-blank field is zero. What remains is an optional sign, digits with at
// most one decimal point and, for reals, an optional exponent: E or D (either
// case) followed by an optionally signed integer, or a bare sign followed by
// an integer ("1.5-3" is 1.5e-3). Without a decimal point the rightmost D
// digits are the fraction. The value is the nearest 64-bit number, however
// many digits the field holds; a value below the normal range reads as the
// nearest subnormal, or zero below half the smallest one, and -0 keeps its
// sign. Anything else, a field that is only a sign or a point, an exponent without
// digits, words such as NaN or Inf, and a value beyond the 64-bit range are
// not numbers.
//
// Output: iW right-justified (W asterisks when it does not fit), and the
// 14-column scientific field of "(1p,e14.6)": 7 significant digits, correctly
// rounded (ties to even on the exact binary value), exponent "E+dd", or
// "+ddd" without the letter when it needs three digits.
#pragma once

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pz {

// Reads a real field with D implied decimals. Returns false when the field
// is not a number by the rules above; value is then unspecified.
bool read_real(std::string_view field, int decimals, double& value) noexcept;

// Short decimals. Simulators print most values with at most 7 significant
// digits ("0.56436E+07"); the "(1p,e14.6)" field of such a value is then a
// new layout of the same digits. read_real_as_written reads a field as
// read_real does, but keeps a value of at most 7 significant digits and a
// decimal exponent from -300 to 300 as those digits: a quiet not-a-number
// whose payload holds a mark, the sign, the 7 digits and the exponent.
// write_e14_6 lays such a value out directly; binary_value gives its
// nearest double (for binary output). A kept value is for writing only:
// arithmetic on it gives nonsense.
bool read_real_as_written(std::string_view field, int decimals, double& value) noexcept;
inline bool is_short_decimal(double value) noexcept {
  constexpr std::uint64_t mark = 0x7FFC000000000000ull;  // exponent all ones, quiet bit, the mark bit
  return (std::bit_cast<std::uint64_t>(value) & mark) == mark;
}
// The nearest double of a short decimal; any other value as it is.
double binary_value(double value) noexcept;

// Compact values. A short decimal of at most 6 significant digits and a
// decimal exponent from -64 to 63, as nearly every table prints its values
// ("0.56436E+07"), fits in 32 bits: the sign (bit 31), the exponent plus
// 64 (bits 24-30) and the digits as a short decimal holds them (bits
// 0-23); zero, of either sign, has no digits. A table of such values takes
// half the memory it takes in doubles.
using CompactValue = std::uint32_t;
inline constexpr int compact_exponent_bias = 64;
inline constexpr CompactValue compact_zero = CompactValue{compact_exponent_bias} << 24;
// The code of a value as read_real_as_written gives it; false when it has
// none.
bool compact_code(double value, CompactValue& code) noexcept;
// The value a code was made from.
double compact_value(CompactValue code) noexcept;
// write_e14_6 of the value a code was made from.
char* write_compact_e14_6(char* out, CompactValue code) noexcept;
// write_compact_e14_6 of codes[0..count-1] in turn. Returns the end.
char* write_compact_e14_6_run(char* out, const CompactValue* codes, int count) noexcept;

// Simulators sometimes print numbers with no blank between them, where a
// value fills its whole field: "0.00000E+00-0.00000E+00" or
// "0.597704E+070.275300E+03". Returns the length of the number at the start
// of such a run, by the number's own form: an optional sign, digits with at
// most one point, and an exponent of a letter (E or D, either case), an
// optional sign and two digits ("E+07"; three when exactly three stand
// before a blank, a sign or the end: "E+100"), or of a sign and three digits
// without a letter ("-100"). What follows it, a sign or a digit, begins the
// next number. Returns 0 when text does not begin with a number.
std::size_t glued_number_length(std::string_view text) noexcept;

// A number as free text (messages, XML attributes): an integer in full, a
// real in the shortest form that reads back to the same 64-bit value.
template <class Number>
std::string number_text(Number v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// Reads an integer field (sign and digits only). Returns false when the
// field is not an integer or does not fit 32 bits.
bool read_integer(std::string_view field, int& value) noexcept;

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

// The same field with the exponent's letter always, for readers that need
// it ("1.010000E-105"): a three-digit exponent takes its "E" and the field
// 15 columns (lettered_width); not-a-number and infinities, 14 asterisks
// above, are "nan", "inf" and "-inf", right-aligned in 14 columns, as C's
// strtod and most readers read them. Returns the end of the field.
inline constexpr int lettered_width = 15;
char* write_e14_6_lettered(char* out, double value) noexcept;
// write_e14_6_lettered of values[0..count-1] in turn. Returns the end.
char* write_e14_6_lettered_run(char* out, const double* values, int count) noexcept;
// Adds the exponent's letter to a field write_e14_6 wrote at `field` (of a
// finite value) where it has none; returns the end of the field.
char* add_exponent_letter(char* field) noexcept;

// Reference conversion for value, by an exact decimal conversion; used as
// the fallback of write_e14_6 where rounding is close, and by the tests.
char* write_e14_6_exact(char* out, double value) noexcept;

}  // namespace pz
