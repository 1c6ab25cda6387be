// The core of number reading that table rows share with the field
// readers: the two shapes nearly every table prints its values in, read
// with no search, a value as a short decimal or as the nearest double, and
// a row's fields in one shape checked all at once.
//
// A short decimal (see read_real_as_written) is a quiet not-a-number whose
// payload holds a mark, the sign, 7 digits and a decimal exponent.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "records/short_decimals.hpp"

namespace pz::field_shape {

constexpr double exact_pow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// m * 10^exp10 with its sign, rounded once: the nearest double of the
// decimal when m is a whole number up to 2^53 and |exp10| <= 22, both
// factors then exact. False, with value untouched, for a wider exponent.
inline bool scaled_exactly(double m, long long exp10, bool negative, double& value) noexcept {
  if (exp10 < -22 || exp10 > 22) return false;
  const double v = exp10 < 0 ? m / exact_pow10[-exp10] : m * exact_pow10[exp10];
  value = negative ? -v : v;
  return true;
}

constexpr std::uint64_t eight_blanks = 0x2020202020202020ull;

inline std::uint64_t load8(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;  // the byte at p in the low 8 bits
}

// A short decimal's payload: the mark, the sign (bit 40), the exponent of
// its leading digit plus 512 (bits 28-37) and its 7 digits, a 4-bit digit
// each, the leading one in bits 0-3 (bits 0-27). Digits a nibble each go
// to and from text with a few masks and shifts, with no arithmetic.
constexpr std::uint64_t short_decimal_mark = 0x7FFC000000000000ull;
constexpr int short_exponent_bias = 512;
constexpr int short_exponent_limit = 300;
constexpr std::uint32_t seven_digits = 10'000'000;
constexpr std::uint64_t low_nibbles = 0x0F0F0F0F0F0F0F0Full, ascii_zeros = 0x3030303030303030ull;

inline double short_decimal(bool negative, std::uint32_t nibbles, int exponent) noexcept {
  return std::bit_cast<double>(short_decimal_mark | std::uint64_t{negative} << 40 |
                               std::uint64_t(exponent + short_exponent_bias) << 28 | nibbles);
}

// The 8 bytes of w (the first in the low bits), digits, as 8 nibbles in
// the same order.
inline std::uint32_t digits_to_nibbles(std::uint64_t w) noexcept {
  w &= low_nibbles;
  w = (w | (w >> 4)) & 0x00FF00FF00FF00FFull;
  w = (w | (w >> 8)) & 0x0000FFFF0000FFFFull;
  return static_cast<std::uint32_t>(w | (w >> 16));
}

// Whether the bytes of w that `tested` marks (0x80 in each) are all digits:
// adding 0x46 to a byte above '9', or taking 0x30 from one below '0', sets
// its top bit, as does a byte above 0x7F. (A borrow only runs upwards, from
// a byte already found no digit.)
inline bool are_digit_bytes(std::uint64_t w, std::uint64_t tested) noexcept {
  return (((w + 0x4646464646464646ull) | (w - 0x3030303030303030ull) | w) & tested) == 0;
}

// The number the first n digit bytes of w spell, the first in the low byte.
inline std::uint32_t digit_bytes_value(std::uint64_t w, int n) noexcept {
  std::uint32_t value = 0;
  for (int i = 0; i < n; ++i) value = value * 10 + static_cast<std::uint32_t>((w >> (8 * i)) & 0xFF) - '0';
  return value;
}

// The number 8 digits spell, their values a byte each, the first in the
// low byte: pairs, then fours, then the eight, each step one multiply
// and shift over all lanes at once.
inline std::uint32_t eight_digits_value(std::uint64_t w) noexcept {
  w = (w * (10 * 256 + 1)) >> 8;
  w = ((w & 0x00FF00FF00FF00FFull) * (100 * 65536 + 1)) >> 16;
  return static_cast<std::uint32_t>(((w & 0x0000FFFF0000FFFFull) * (10000 * (std::uint64_t{1} << 32) + 1)) >> 32);
}

// The shapes nearly every table prints its values in, "e12.5" (" 0.56436E+07",
// "-1.23456E-02") and "e13.6" (" 0.822321E-02"): a blank or a sign, a
// digit, a point, five or six digits, E or D (either case), a sign and two
// digits, as the field's last 12 or 13 columns, with blanks before them.
// Its columns stand at fixed places from the end: tested as words at once,
// with no search and no branch between the tests. False for any other field.
struct TwelveColumns {
  bool negative;
  int digits;              // after the point: 5 or 6
  std::uint64_t mantissa;  // the digit before the point and those after it, a byte each (0-9), the last in the top byte
  int exponent;            // as written
};

inline std::uint32_t load4(const char* p) {
  std::uint32_t w;
  std::memcpy(&w, p, 4);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
  return w;  // the byte at p in the low 8 bits
}

// The low `bytes` bytes of a word.
constexpr std::uint64_t low_bytes(int bytes) { return ~std::uint64_t{0} >> (64 - 8 * bytes); }

// The columns from the sign column p on, of a field with `digits` digits
// after the point whose shape was tested. Of the signs, '-' alone has bit 2
// set (' ' 0x20, '+' 0x2B, '-' 0x2D).
template <int digits>
inline void take_tested_columns(const char* p, TwelveColumns& t) noexcept {
  constexpr int lead = 6 - digits;                       // the lead digit's byte in w
  const std::uint64_t w = load8(p + digits - 5);         // [s] d . d d d d d [d]
  const std::uint32_t exponent = load4(p + 3 + digits);  // E s d d
  t.negative = (static_cast<unsigned char>(p[0]) >> 2 & 1) != 0;
  t.digits = digits;
  // The point's byte and those before it cleared, the lead digit moved into the point's.
  t.mantissa = ((w & ~low_bytes(lead + 2)) | (w >> (8 * lead) & 0xFF) << (8 * lead + 8)) & low_nibbles;
  const int magnitude = static_cast<int>(((exponent >> 16 & 0x0F0F) * (10 * 256 + 1)) >> 8 & 0xFF);  // 10 d + d
  t.exponent = (exponent & 0x400) != 0 ? -magnitude : magnitude;
}

// Whether the sign columns hold a blank or a sign (the value's) and a sign
// (the exponent's).
inline bool are_signs(char sign, char exponent_sign) noexcept {
  return ((sign == ' ') | (sign == '-') | (sign == '+')) & ((exponent_sign == '+') | (exponent_sign == '-'));
}

// The digits after the point of a field in one of the shapes, told by
// where its point stands: 6 where the column 10 from the end holds none.
inline int fraction_digits(const char* end) noexcept { return end[-10] == '.' ? 5 : 6; }

inline bool take_twelve_columns(std::string_view field, TwelveColumns& t) noexcept {
  const std::size_t size = field.size();
  if (size < 12) return false;
  const char* const end = field.data() + size;
  const int digits = fraction_digits(end);
  const std::size_t width = 7 + static_cast<std::size_t>(digits);
  if (size < width) return false;
  const char* const p = end - width;  // s d . d d d d d [d] E s d d
  const std::uint32_t tail = load4(end - 4);
  const char letter = static_cast<char>((tail & 0xFF) | 0x20);
  // The lead digit and the two of the exponent, and the digits after the point.
  const std::uint64_t digit_bytes = std::uint64_t{static_cast<unsigned char>(p[1])} | std::uint64_t{tail >> 16} << 8;
  if (!(are_digit_bytes(digit_bytes, 0x808080) & are_digit_bytes(load8(p + 3), 0x8080808080808080ull & low_bytes(digits)) &
        (p[2] == '.') & ((letter == 'e') | (letter == 'd')) & are_signs(p[0], static_cast<char>(tail >> 8))))
    return false;
  if (size > width) {  // blanks before
    const char* const start = field.data();
    const std::size_t blanks = size - width;
    if (blanks < 8) {
      if (((load8(start) ^ eight_blanks) & low_bytes(static_cast<int>(blanks))) != 0) return false;
    } else {
      for (const char* q = start; p - q > 8; q += 8)
        if (load8(q) != eight_blanks) return false;
      if (load8(p - 8) != eight_blanks) return false;
    }
  }
  if (digits == 5) take_tested_columns<5>(p, t);
  else take_tested_columns<6>(p, t);
  return true;
}

// A compact value's code (see CompactValue in records/short_decimals.hpp) from a
// short decimal's sign, digits (none for zero) and exponent; false for an
// exponent beyond -64..63.
inline bool compact_from_parts(bool negative, std::uint32_t nibbles, int exponent, CompactValue& code) noexcept {
  if (exponent < -compact_exponent_bias || exponent >= 128 - compact_exponent_bias) return false;
  code = CompactValue{negative} << 31 | static_cast<CompactValue>(exponent + compact_exponent_bias) << 24 | nibbles;
  return true;
}

// The columns' digits as a short decimal holds them (none for
// "0.00000E+00") and the exponent of the leading one; false for a leading
// zero after the point ("0.01234E+01").
inline bool twelve_columns_digits(const TwelveColumns& t, std::uint32_t& nibbles, int& exponent) noexcept {
  // The lead digit in bits 0-3, those after the point above it.
  const std::uint32_t all = digits_to_nibbles(t.mantissa) >> (4 * (7 - t.digits));
  if ((all & 0xF) != 0) {
    nibbles = all;
    exponent = t.exponent;
    return true;
  }
  const std::uint32_t fraction = all >> 4;
  if ((fraction & 0xF) == 0 && fraction != 0) return false;
  nibbles = fraction;
  exponent = fraction == 0 ? 0 : t.exponent - 1;
  return true;
}

// The columns as a short decimal (zero for "0.00000E+00"); false
// for a leading zero after the point.
inline bool twelve_columns_short(const TwelveColumns& t, double& value) noexcept {
  std::uint32_t nibbles;
  int exponent;
  if (!twelve_columns_digits(t, nibbles, exponent)) return false;
  value = nibbles != 0 ? short_decimal(t.negative, nibbles, exponent) : t.negative ? -0.0 : 0.0;
  return true;
}

// The columns as a compact value's code; false for a leading zero after
// the point, a seventh digit or an exponent beyond the code's.
inline bool twelve_columns_compact(const TwelveColumns& t, CompactValue& code) noexcept {
  std::uint32_t nibbles;
  int exponent;
  return twelve_columns_digits(t, nibbles, exponent) && (t.digits == 5 || nibbles >> 24 == 0) &&
         compact_from_parts(t.negative, nibbles, exponent, code);
}

// The columns' nearest double; false where the exponent is beyond the
// exact powers of ten. lead.ddddd[d] * 10^exponent is the whole number of
// its digits times 10^(exponent - digits).
inline bool twelve_columns_binary(const TwelveColumns& t, double& value) noexcept {
  return scaled_exactly(eight_digits_value(t.mantissa), t.exponent - t.digits, t.negative, value);
}

// The fields of a table's rows at fixed column windows, each in one of the
// shapes above with blanks before them, tested together: a row's columns
// are compared, 16 at a time, against what each column of the windows may
// hold (a blank, a digit, the point, E or D, a sign). The shape is the one
// every field of the first row has (the 12-column one where they do not
// agree). A row that does not pass is read field by field as before.
class TwelveColumnRow {
 public:
  static constexpr int max_fields = 24;
  static constexpr std::size_t max_span = 512;  // columns from the first window to the last
  static constexpr std::size_t max_window = 40;  // the columns a field is read from

  // Starts a plan for rows whose text stands in a buffer of `capacity`
  // bytes from column 1.
  void start(std::size_t capacity) {
    capacity_ = capacity;
    count_ = 0;
    first_ = last_ = 0;
    usable_ = true;
  }
  // Adds the next field's window, columns first..last (1-based, after the
  // windows added before). A window narrower than 12 columns or wider
  // than max_window, or one that takes the windows beyond max_span columns
  // or the buffer, leaves the plan unusable.
  void add(std::size_t first, std::size_t last) {
    if (count_ == 0) first_ = first;
    if (!usable_ || count_ == max_fields || last < first + 11 || last - first + 1 > max_window || first <= last_ ||
        last - first_ + 1 > max_span) {
      usable_ = false;
      return;
    }
    last_ = last;
    window_first_[count_] = first;
    window_last_[count_++] = last;
  }
  // Lays out the column classes for the shape of first_row's fields (text
  // from column 1); false when the plan is unusable.
  bool finish(const char* first_row) {
    if (!usable_ || count_ == 0) return usable_ = false;
    digits_ = 6;
    for (int i = 0; i < count_; ++i)
      if (window_last_[i] - window_first_[i] < 12 || fraction_digits(first_row + window_last_[i]) != 6) digits_ = 5;
    length_ = (last_ - first_ + 1 + 15) / 16 * 16;
    if (first_ - 1 + length_ > capacity_) return usable_ = false;
    // Any byte, between and after the windows: nothing is masked in.
    for (unsigned char* table : {low_, mask_, range_, alone_}) std::memset(table, 0, max_span + 16);
    for (int i = 0; i < count_; ++i) {
      sign_at_[i] = window_last_[i] - 7 - static_cast<std::size_t>(digits_);  // 0-based
      const std::size_t sign = sign_at_[i] - (first_ - 1), letter = sign + 3 + static_cast<std::size_t>(digits_);
      for (std::size_t k = window_first_[i] - first_; k < sign; ++k) set(k, ' ', 0xFF, 0);
      set(sign, '+', 0xFD, 0);  // '+' or '-' (2 above), or a blank
      alone_[sign] = ' ';
      set(sign + 1, '0', 0xFF, 9);
      set(sign + 2, '.', 0xFF, 0);
      for (std::size_t k = sign + 3; k < letter; ++k) set(k, '0', 0xFF, 9);
      set(letter, 'D', 0xDE, 0);  // D, E, d or e: 0, 1, 0x20 or 0x21 above D
      set(letter + 1, '+', 0xFD, 0);
      set(letter + 2, '0', 0xFF, 9);
      set(letter + 3, '0', 0xFF, 9);
    }
    return true;
  }

  // Whether every column of a row's windows holds what it may; text is
  // the row from column 1. False while the plan is unusable. A column
  // passes where its byte less the lowest it may hold, masked, is at most
  // its range, or where the byte is the one it may also hold alone.
  bool matches(const char* text) const {
    if (!usable_) return false;
    using Bytes = unsigned char __attribute__((vector_size(16)));
    Bytes over{};
    const char* p = text + first_ - 1;
#pragma GCC unroll 2
    for (std::size_t i = 0; i < length_; i += 16) {
      Bytes c, low, mask, range, alone;
      std::memcpy(&c, p + i, 16);
      std::memcpy(&low, low_ + i, 16);
      std::memcpy(&mask, mask_ + i, 16);
      std::memcpy(&range, range_ + i, 16);
      std::memcpy(&alone, alone_ + i, 16);
      const Bytes above_low = (c - low) & mask;
      // How far each column passes its range (0 where it does not), but for a byte held alone.
      const Bytes beyond = above_low - (above_low < range ? above_low : range);
      over |= beyond & ~reinterpret_cast<Bytes>(c == alone);
    }
    std::uint64_t halves[2];
    std::memcpy(halves, &over, 16);
    return (halves[0] | halves[1]) == 0;
  }

  // Field i of a row that matches.
  void take(const char* text, int i, TwelveColumns& t) const {
    if (digits_ == 5) take_tested_columns<5>(text + sign_at_[i], t);
    else take_tested_columns<6>(text + sign_at_[i], t);
  }

  // Every field of a row that matches, as short decimals, into values[0..
  // fields): the same values as take() and twelve_columns_short() field by
  // field, in one pass with no dispatch a column. False, with values to be
  // written again, when a field's leading digits need the field-by-field
  // reading.
  bool take_all_short(const char* text, double* values) const {
    return digits_ == 5 ? all_as<5>(text, values, twelve_columns_short) : all_as<6>(text, values, twelve_columns_short);
  }
  // The same as compact values' codes.
  bool take_all_compact(const char* text, CompactValue* codes) const {
    return digits_ == 5 ? all_as<5>(text, codes, twelve_columns_compact)
                        : all_as<6>(text, codes, twelve_columns_compact);
  }
  // The same as nearest doubles (twelve_columns_binary()).
  bool take_all_binary(const char* text, double* values) const {
    return digits_ == 5 ? all_as<5>(text, values, twelve_columns_binary)
                        : all_as<6>(text, values, twelve_columns_binary);
  }

 private:
  template <int digits, class Value, class Convert>
  bool all_as(const char* text, Value* values, Convert convert) const {
    bool all = true;
    const int count = count_;  // (values may alias it)
    for (int i = 0; i < count; ++i) {
      TwelveColumns t;
      take_tested_columns<digits>(text + sign_at_[i], t);
      all &= convert(t, values[i]);
    }
    return all;
  }

  void set(std::size_t k, unsigned char low, unsigned char mask, unsigned char range) {
    low_[k] = alone_[k] = low;
    mask_[k] = mask;
    range_[k] = range;
  }

  std::size_t capacity_ = 0, first_ = 0, last_ = 0, length_ = 0;
  bool usable_ = false;
  int count_ = 0;
  std::size_t window_first_[max_fields], window_last_[max_fields], sign_at_[max_fields];
  int digits_ = 5;  // after the point, in every field
  alignas(16) unsigned char low_[max_span + 16], mask_[max_span + 16], range_[max_span + 16], alone_[max_span + 16];
};

}  // namespace pz::field_shape
