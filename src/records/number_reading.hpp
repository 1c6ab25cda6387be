// Reading numbers from fixed-column fields: the core under every input
// layout.
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
#pragma once

#include <cstddef>
#include <string_view>

#include "records/short_decimals.hpp"

namespace pz {

// Reads a real field with D implied decimals. Returns false when the field
// is not a number by the rules above; value is then unspecified.
bool read_real(std::string_view field, int decimals, double& value) noexcept;

// Reads a field as read_real does, but keeps a value of at most 7
// significant digits and a decimal exponent from -300 to 300 as those
// digits: a short decimal (see short_decimals.hpp).
bool read_real_as_written(std::string_view field, int decimals, double& value) noexcept;

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

// Reads an integer field (sign and digits only). Returns false when the
// field is not an integer or does not fit 32 bits.
bool read_integer(std::string_view field, int& value) noexcept;

}  // namespace pz
