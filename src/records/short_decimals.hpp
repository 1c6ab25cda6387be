// Values kept as written: short decimals and compact values.
//
// Simulators print most values with at most 7 significant digits ("0.56436E+07"); the "(1p,e14.6)" field of such a value is then a
// new layout of the same digits. read_real_as_written reads a field as
// read_real does, but keeps a value of at most 7 significant digits and a
// decimal exponent from -300 to 300 as those digits: a quiet not-a-number
// whose payload holds a mark, the sign, the 7 digits and the exponent.
// write_e14_6 lays such a value out directly; binary_value gives its
// nearest double (for binary output). A kept value is for writing only:
// arithmetic on it gives nonsense.
#pragma once

#include <bit>
#include <cstdint>

namespace pz {

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

}  // namespace pz
