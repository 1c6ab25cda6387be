#include "records/number_reading.hpp"
#include "records/number_writing.hpp"
#include "records/short_decimals.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "records/field_shape.hpp"

namespace pz {

using namespace field_shape;

// --- Reading real fields ---
//
// The table shapes (field_shape.hpp) and the mesh's e10.4 are read first,
// with no search. Any other field: one pass collects the sign, up to 19
// significant digits in a 64-bit integer, the position of the point and the
// exponent. The value is then mantissa * 10^exp10. When the mantissa is at
// most 2^53 and |exp10| <= 22 both factors are exact doubles, so one IEEE
// multiply or divide rounds the exact value once and gives the nearest
// double. Everything else (more than 19 significant digits, large
// exponents) goes to slow_real(), which copies the significant digits into
// a compact "digits e exponent" text and lets std::from_chars round it.

namespace {

inline void store8(char* p, std::uint64_t w) {
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  std::memcpy(p, &w, 8);  // the low 8 bits at p
}

inline bool is_digit(char c, unsigned& d) {
  d = static_cast<unsigned>(static_cast<unsigned char>(c)) - '0';
  return d < 10;
}

// Significant digits kept for from_chars. A double is decided by at most 767
// significant digits of its halfway points; digits beyond the kept ones are
// replaced by one sticky '1' when any of them is nonzero, which keeps the
// value strictly between the same two neighbours.
constexpr std::size_t kept_digits = 800;

// The digits of [first, last) (blanks and at most one point among them),
// with exp_shift = exponent written in the field minus the implied decimals
// when there is no point. Returns false on overflow.
[[gnu::noinline]] bool slow_real(const char* first, const char* last, long long exp_shift, bool negative,
                                 double& value) noexcept {
  char buf[kept_digits + 2 + 24];
  std::size_t n = 0;
  long long scale = 0;  // value = digits * 10^(scale + exp_shift)
  bool point = false, sticky = false;
  for (const char* p = first; p < last; ++p) {
    const char c = *p;
    if (c == '.') {
      point = true;
      continue;
    }
    if (c == ' ') continue;
    if (n == 0 && c == '0') {  // leading zero
      scale -= point;
      continue;
    }
    if (n < kept_digits) {
      buf[n++] = c;
      scale -= point;
    } else {
      scale += !point;
      sticky |= c != '0';
    }
  }
  if (n == 0) {
    value = negative ? -0.0 : 0.0;
    return true;
  }
  if (sticky) {
    buf[n++] = '1';
    --scale;
  }
  const long long exp10 = scale + exp_shift;
  const long long lead = exp10 + static_cast<long long>(n) - 1;  // value in [10^lead, 10^(lead+1))
  if (lead > 308) return false;
  if (lead < -325) {
    value = negative ? -0.0 : 0.0;
    return true;
  }
  buf[n++] = 'e';
  const auto tc = std::to_chars(buf + n, buf + sizeof buf, exp10);
  double v = 0.0;
  const auto r = std::from_chars(buf, tc.ptr, v, std::chars_format::scientific);
  if (r.ec == std::errc::result_out_of_range) {
    if (lead > 0) return false;  // rounds to infinity
    v = 0.0;                     // below half the smallest subnormal
  } else if (r.ec != std::errc() || std::isinf(v)) {
    return false;
  }
  value = negative ? -v : v;
  return true;
}

// A real field taken apart: value = -1^negative * mantissa * 10^exp10, or
// when it has more than 19 significant digits (many) the digits between
// digits_begin and digits_end times 10^exponent.
struct RealParts {
  bool blank = false;  // nothing but blanks: zero
  bool negative = false;
  bool many = false;
  std::uint64_t mantissa = 0;
  long long exp10 = 0;
  long long exponent = 0;  // written, less the implied decimals when there is no point
  const char* digits_begin = nullptr;
  const char* digits_end = nullptr;
};

// One pass over the field; false when it is not a number.
inline bool parse_real(std::string_view field, int decimals, RealParts& r) noexcept {
  const char* p = field.data();
  const char* const end = p + field.size();

  // Right-aligned fields start with long runs of blanks: pass them 8 at a time.
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if (w != eight_blanks) break;
    p += 8;
  }
  while (p < end && *p == ' ') ++p;
  if (p == end) {
    r.blank = true;
    return true;
  }

  if (*p == '+' || *p == '-') {
    r.negative = *p == '-';
    ++p;
  }
  r.digits_begin = p;

  // Mantissa: digits with at most one point, blanks ignored.
  int significant = 0;  // digits in mantissa from the first nonzero one
  bool point = false, any_digit = false;
  for (; p < end; ++p) {
    const char c = *p;
    unsigned d;
    if (is_digit(c, d)) {
      any_digit = true;
      if (significant < 19) {
        r.mantissa = r.mantissa * 10 + d;
        significant += r.mantissa != 0;
        r.exp10 -= point;
      } else {
        r.many = true;
      }
      continue;
    }
    if (c == ' ') continue;
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    break;
  }
  if (!any_digit) return false;  // only a sign and/or a point
  r.digits_end = p;

  // Exponent: E or D (either case) with an optional sign, or a bare sign.
  long long exponent = 0;
  if (p < end) {
    char c = *p++;
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      while (p < end && *p == ' ') ++p;
      if (p < end && (*p == '+' || *p == '-')) c = *p++;
    } else if (c != '+' && c != '-') {
      return false;
    }
    const bool exp_negative = c == '-';
    bool exp_digit = false;
    for (; p < end; ++p) {
      unsigned d;
      if (is_digit(*p, d)) {
        exp_digit = true;
        if (exponent < 1000000000) exponent = exponent * 10 + d;  // saturates far beyond range
        continue;
      }
      if (*p != ' ') return false;
    }
    if (!exp_digit) return false;
    if (exp_negative) exponent = -exponent;
  }
  if (!point) exponent -= decimals;
  r.exponent = exponent;
  r.exp10 += exponent;
  return true;
}

// The nearest double of parts read.
inline bool to_binary(const RealParts& r, double& value) noexcept {
  if (r.blank) {
    value = 0.0;
    return true;
  }
  if (!r.many) {
    if (r.mantissa == 0) {
      value = r.negative ? -0.0 : 0.0;
      return true;
    }
    if (r.mantissa <= (std::uint64_t{1} << 53) &&
        scaled_exactly(static_cast<double>(r.mantissa), r.exp10, r.negative, value))
      return true;
  }
  return slow_real(r.digits_begin, r.digits_end, r.exponent, r.negative, value);
}

struct ShortDecimal {
  bool negative;
  std::uint32_t nibbles;  // 7 digits, the leading one (never 0) in the low nibble
  int exponent;           // of the leading digit
};

inline ShortDecimal short_decimal_parts(double value) noexcept {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  return {((bits >> 40) & 1) != 0, static_cast<std::uint32_t>(bits & 0xFFFFFFF),
          static_cast<int>((bits >> 28) & 0x3FF) - short_exponent_bias};
}

// 8 nibbles as 8 digit bytes, in the same order (digits_to_nibbles undone).
inline std::uint64_t nibbles_to_digits(std::uint32_t nibbles) noexcept {
  std::uint64_t w = nibbles;
  w = (w | (w << 16)) & 0x0000FFFF0000FFFFull;
  w = (w | (w << 8)) & 0x00FF00FF00FF00FFull;
  w = (w | (w << 4)) & low_nibbles;
  return w | ascii_zeros;
}

// 10^6 <= digits < 10^7 as nibbles.
inline std::uint32_t to_nibbles(std::uint32_t digits) noexcept {
  std::uint32_t nibbles = 0;
  for (int i = 0; i < 7; ++i, digits /= 10) nibbles = nibbles << 4 | digits % 10;
  return nibbles;  // the last digit taken, the leading one, in the low nibble
}

// The shape of an e10.4 field as simulators write mesh files, "0.5000E+01",
// or "-.9900E+02" where a negative value has no room for the 0: a digit, a
// sign or a blank, a point, four digits, E or D (either case), a sign and
// two digits, filling the 10 columns. Its nearest double, by one exact
// multiplication or division; false for any other field.
inline bool read_ten_columns(std::string_view field, double& value) noexcept {
  if (field.size() != 10) return false;
  const char* const p = field.data();
  const std::uint64_t head = load8(p);  // c . d d d d E s
  const std::uint64_t four = head >> 16;  // the four digits, in the low bytes
  const char first = p[0], letter = static_cast<char>(p[6] | 0x20), exponent_sign = p[7];
  const unsigned lead = static_cast<unsigned>(static_cast<unsigned char>(first)) - '0';
  unsigned e1, e2;
  if (!(are_digit_bytes(four, 0x80808080ull) & (p[1] == '.') &
        ((lead < 10) | (first == '-') | (first == '+') | (first == ' ')) & ((letter == 'e') | (letter == 'd')) &
        ((exponent_sign == '+') | (exponent_sign == '-')) & is_digit(p[8], e1) & is_digit(p[9], e2)))
    return false;
  const std::uint32_t mantissa = (lead < 10 ? lead * 10000 : 0) + digit_bytes_value(four, 4);
  const int magnitude = static_cast<int>(10 * e1 + e2);
  return scaled_exactly(mantissa, (exponent_sign == '-' ? -magnitude : magnitude) - 4, first == '-', value);
}

// The readings past the twelve columns, out of the callers' way.
[[gnu::noinline]] bool read_real_rest(std::string_view field, int decimals, double& value) noexcept {
  RealParts r;
  return parse_real(field, decimals, r) && to_binary(r, value);
}

[[gnu::noinline]] bool read_real_as_written_rest(std::string_view field, int decimals, double& value) noexcept {
  RealParts r;
  if (!parse_real(field, decimals, r)) return false;
  if (!r.blank && !r.many && r.mantissa != 0 && r.mantissa < seven_digits) {
    // Scaled up to 7 digits: mantissa * 10^exp10 = digits * 10^(exponent - 6).
    auto digits = static_cast<std::uint32_t>(r.mantissa);
    long long exponent = r.exp10 + 6;
    while (digits < seven_digits / 10) {
      digits *= 10;
      --exponent;
    }
    if (exponent >= -short_exponent_limit && exponent <= short_exponent_limit) {
      value = short_decimal(r.negative, to_nibbles(digits), static_cast<int>(exponent));
      return true;
    }
  }
  return to_binary(r, value);
}

}  // namespace

bool read_real(std::string_view field, int decimals, double& value) noexcept {
  if (TwelveColumns t; take_twelve_columns(field, t) && twelve_columns_binary(t, value)) return true;
  if (read_ten_columns(field, value)) return true;
  return read_real_rest(field, decimals, value);
}

bool read_real_as_written(std::string_view field, int decimals, double& value) noexcept {
  if (TwelveColumns t; take_twelve_columns(field, t) && twelve_columns_short(t, value)) return true;
  return read_real_as_written_rest(field, decimals, value);
}

double binary_value(double value) noexcept {
  if (!is_short_decimal(value)) return value;
  const ShortDecimal d = short_decimal_parts(value);
  const std::uint64_t digits = nibbles_to_digits(d.nibbles);  // the 7 digits, the leading one first
  double v;
  if (scaled_exactly(digit_bytes_value(digits, 7), d.exponent - 6, d.negative, v)) return v;
  char text[8];
  store8(text, digits);
  slow_real(text, text + 7, d.exponent - 6, d.negative, v);
  return v;
}

std::size_t glued_number_length(std::string_view text) noexcept {
  const std::size_t n = text.size();
  auto at = [&](std::size_t i) { return i < n ? text[i] : ' '; };
  auto digit = [&](std::size_t i) { return at(i) >= '0' && at(i) <= '9'; };
  auto sign = [&](std::size_t i) { return at(i) == '+' || at(i) == '-'; };
  auto digits_from = [&](std::size_t i) {
    std::size_t k = 0;
    while (digit(i + k)) ++k;
    return k;
  };
  // Three exponent digits end a number only where no digit or point
  // follows them: otherwise the third digit begins the next number.
  auto three_digits_end = [&](std::size_t i) { return digits_from(i) == 3 && at(i + 3) != '.'; };

  std::size_t i = sign(0) ? 1 : 0;
  std::size_t mantissa_digits = digits_from(i);
  i += mantissa_digits;
  if (at(i) == '.') {
    const std::size_t fraction = digits_from(i + 1);
    mantissa_digits += fraction;
    i += 1 + fraction;
  }
  if (mantissa_digits == 0) return 0;

  const char c = at(i);
  if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
    const std::size_t j = i + 1 + (sign(i + 1) ? 1 : 0);
    const std::size_t k = digits_from(j);
    if (k == 0) return i;  // a letter without an exponent: not part of this number
    return j + (three_digits_end(j) ? 3 : std::min<std::size_t>(k, 2));
  }
  if (sign(i) && three_digits_end(i + 1)) return i + 4;
  return i;
}

bool read_integer(std::string_view field, int& value) noexcept {
  long long v = 0;
  bool negative = false, seen_sign = false, seen_digit = false;
  for (char c : field) {
    if (c == ' ') continue;
    if ((c == '+' || c == '-') && !seen_sign && !seen_digit) {
      seen_sign = true;
      negative = c == '-';
      continue;
    }
    if (c < '0' || c > '9') return false;
    seen_digit = true;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return false;
  }
  if (!seen_digit) {
    if (seen_sign) return false;
    value = 0;
    return true;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int>::max()) return false;
  value = static_cast<int>(v);
  return true;
}

// --- Writing integers ---

namespace {
constexpr char digit_pairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline void put_pair(char* p, unsigned v) { std::memcpy(p, digit_pairs + 2 * v, 2); }

// 10^0 .. 10^19, every power of ten a 64-bit integer holds.
constexpr auto integer_powers_of_ten = [] {
  std::array<std::uint64_t, 20> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& p : powers) {
    p = power;
    power *= 10;  // (wraps once, after the last)
  }
  return powers;
}();

// The number of decimal digits of u (1 for 0): the bit length gives it
// within one, the power of ten at that count settles it.
int decimal_digits(std::uint64_t u) noexcept {
  const int guess = (std::bit_width(u | 1) * 1233) >> 12;  // floor(log10(2^bits)), at most one short
  return guess + ((u | 1) >= integer_powers_of_ten[static_cast<std::size_t>(guess)]);  // (0 has a digit too)
}

std::uint64_t magnitude(std::int64_t value) noexcept {
  return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

}  // namespace

int integer_length(std::int64_t value) noexcept { return decimal_digits(magnitude(value)) + (value < 0); }

char* write_integer(char* out, std::int64_t value, int width) noexcept {
  if (width <= 0) return out;
  std::uint64_t u = magnitude(value);
  const int length = decimal_digits(u) + (value < 0);
  char* const end = out + width;
  if (length > width) {
    std::memset(out, '*', static_cast<std::size_t>(width));
    return end;
  }
  // The digits right-aligned, two at a time from the right, then the sign
  // and the blanks before.
  char* p = end;
  for (; u >= 100; u /= 100) put_pair(p -= 2, static_cast<unsigned>(u % 100));
  if (u >= 10) put_pair(p -= 2, static_cast<unsigned>(u));
  else *--p = static_cast<char>('0' + u);
  if (value < 0) *--p = '-';
  while (p != out) *--p = ' ';
  return end;
}

// --- Writing "(1p,e14.6)" ---
//
// Field shape, always 14 columns:
//   col 1     blank
//   col 2     '-' or blank
//   col 3-10  d.dddddd
//   col 11-14 E+dd / E-dd, or +ddd / -ddd for exponents of three digits.
// A field is laid out as two 8-byte words, columns 1-8 and 7-14 (the second
// overwrites the first's last two columns).
//
// Fast conversion. A positive normal double is v = m * 2^e with m in
// [2^52, 2^53). Its decimal exponent E is the binade's first decade or the
// next one, which v reaches at a threshold of m kept for the binade; we need
// X = v * 10^(6-E) in [10^6, 10^7) rounded to an integer d, ties to even:
// the digits of Y = (X + 1/2) / 10^4, whose integer part holds the first
// three, and its fraction times 100, twice, the next two each. For either
// decade the binade keeps c = floor(10^(2-E) * 2^(e+106)) < 2^64, from 10^p
// held as a 128-bit truncated fraction, 10^p = (T + delta) * 2^s with
// 2^127 <= T < 2^128 and 0 <= delta < 1; with h = floor(2^106 / (2 * 10^4)),
//   Y' = (m * c + h) / 2^106  <=  Y  <  Y' + 2^-53.
// The integer part of Y' and the top 64 bits of its fraction come straight
// out of the 128-bit product; multiplying that fraction by 100, twice, in
// 64-bit fixed point gives two digits each and leaves Z, the top 64 bits
// of the fraction of 10^4 * Y'. The true fraction of X + 1/2 = 10^4 * Y is
// less than 2^-39 above Z / 2^64 (10^4 * 2^-53 < 2^-39.7): the digits are
// d's, and X no tie, unless Z >= 2^64 - 2^25 - 1 or Z = 0. Those go to the
// exact conversion; only exact ties reach it in practice.

namespace {

struct Pow10 {
  std::uint64_t hi, lo;  // T
  int shift;             // s
};

constexpr int pow10_min = -310;
constexpr int pow10_max = 340;

// Big natural number for building the table at compile time.
struct Big {
  static constexpr int limbs = 48;  // 1536 bits
  std::uint32_t w[limbs] = {};

  constexpr int bit_length() const {
    for (int i = limbs - 1; i >= 0; --i)
      if (w[i] != 0) return i * 32 + std::bit_width(w[i]);
    return 0;
  }
  constexpr bool bit(int i) const { return (w[i / 32] >> (i % 32)) & 1u; }
  constexpr void mul10() {
    std::uint64_t carry = 0;
    for (auto& x : w) {
      const std::uint64_t t = std::uint64_t{x} * 10 + carry;
      x = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
  }
  constexpr void div10() {  // floor division
    std::uint64_t rem = 0;
    for (int i = limbs - 1; i >= 0; --i) {
      const std::uint64_t t = (rem << 32) | w[i];
      w[i] = static_cast<std::uint32_t>(t / 10);
      rem = t % 10;
    }
  }
  // The leading 128 bits of this number (zeros appended when it is
  // shorter) as T, 2^127 <= T < 2^128, with this ~ T * 2^(shift - extra_shift);
  // dropped bits are truncated.
  constexpr Pow10 top128(int extra_shift) const {
    const int nb = bit_length();
    Pow10 r{0, 0, 0};
    for (int k = 0; k < 128; ++k) {  // bit 127-k of T is bit nb-1-k of this
      const int src = nb - 1 - k;
      const bool b = src >= 0 && bit(src);
      if (b) {
        if (127 - k >= 64) r.hi |= std::uint64_t{1} << (127 - k - 64);
        else r.lo |= std::uint64_t{1} << (127 - k);
      }
    }
    r.shift = nb - 128 + extra_shift;
    return r;
  }
};

constexpr std::array<Pow10, pow10_max - pow10_min + 1> make_pow10_table() {
  std::array<Pow10, pow10_max - pow10_min + 1> t{};
  Big b;
  b.w[0] = 1;
  for (int p = 0; p <= pow10_max; ++p) {
    t[p - pow10_min] = b.top128(0);
    b.mul10();
  }
  // 10^-q truncated: floor(2^K / 10^q) taken q times by floor(./10), which
  // equals one floor division; its leading 128 bits then equal
  // floor(10^-q * 2^(K - j)) for the j bits dropped.
  constexpr int K = 1500;
  Big n;
  n.w[K / 32] = 1u << (K % 32);
  for (int q = 1; q <= -pow10_min; ++q) {
    n.div10();
    t[-q - pow10_min] = n.top128(-K);
  }
  return t;
}

constexpr auto pow10_table = make_pow10_table();

static_assert(pow10_table[0 - pow10_min].hi == (std::uint64_t{1} << 63) && pow10_table[0 - pow10_min].lo == 0 &&
              pow10_table[0 - pow10_min].shift == -127);
static_assert(pow10_table[1 - pow10_min].hi == (std::uint64_t{5} << 61) && pow10_table[1 - pow10_min].shift == -124);
// 10^-1 = 0.0001100110011..b: T = 0xCCCC...CCCC, s = -131.
static_assert(pow10_table[-1 - pow10_min].hi == 0xCCCCCCCCCCCCCCCCull &&
              pow10_table[-1 - pow10_min].lo == 0xCCCCCCCCCCCCCCCCull && pow10_table[-1 - pow10_min].shift == -131);

// The exponent part of the field, its last 4 columns: "E+dd", or "+ddd"
// from 100 on; as a word, the first column in the low byte, laid out once
// for every exponent a double can have.
constexpr std::uint32_t exponent_field(int E) {
  const std::uint32_t a = static_cast<std::uint32_t>(E < 0 ? -E : E), sign = E < 0 ? '-' : '+';
  const std::uint32_t last_two = (a / 10 % 10 + '0') << 16 | (a % 10 + '0') << 24;
  return (a < 100 ? 'E' | sign << 8 : sign | (a / 100 + '0') << 8) | last_two;
}
static_assert(exponent_field(7) == ('E' | '+' << 8 | '0' << 16 | '7' << 24) &&
              exponent_field(-100) == ('-' | '1' << 8 | '0' << 16 | '0' << 24));
constexpr int exponent_min = -330, exponent_max = 330;
constexpr auto exponent_fields = [] {
  std::array<std::uint32_t, exponent_max - exponent_min + 1> fields{};
  for (int E = exponent_min; E <= exponent_max; ++E)
    fields[static_cast<std::size_t>(E - exponent_min)] = exponent_field(E);
  return fields;
}();

inline char* put_exponent(char* out, int E) {
  std::uint32_t field = exponent_fields[static_cast<std::size_t>(E - exponent_min)];
  for (int column = 10; column < e14_width; ++column, field >>= 8) out[column] = static_cast<char>(field);
  return out + e14_width;
}

// The two words of a field (columns 1-8 and 7-14) with every digit 0: the
// sign and the exponent set, digits to be added in.
constexpr std::uint64_t minus_sign = std::uint64_t{'-' - ' '} << 8;  // added to column 2's blank
constexpr std::uint64_t first_word(bool negative) { return 0x303030302E302020ull + (negative ? minus_sign : 0); }
constexpr std::uint64_t second_word(int E) {
  return 0x30303030u | std::uint64_t{exponent_fields[static_cast<std::size_t>(E - exponent_min)]} << 32;
}

// Digits to add into a field's words, by byte of a short decimal's nibbles:
// byte 0 holds the lead digit (column 3) and the next (column 5), byte 1
// those of columns 6 and 7, byte 2 those of columns 8 and 9 (the second
// word from column 7 on). A seventh nibble, column 10, is in place already.
struct NibbleDigits {
  std::uint64_t first0[256], first1[256];
  std::uint32_t second1[256], second2[256];
};
constexpr NibbleDigits make_nibble_digits() {
  NibbleDigits t{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    const std::uint32_t low = b & 0xF, high = b >> 4;
    t.first0[b] = std::uint64_t{low} << 16 | std::uint64_t{high} << 32;
    t.first1[b] = std::uint64_t{low} << 40;
    t.second1[b] = high;
    t.second2[b] = low << 8 | high << 16;
  }
  return t;
}
constexpr NibbleDigits nibble_digits = make_nibble_digits();

// The field of a short decimal's digits (7 nibbles, the lead one in the
// low bits) into the words of its sign and exponent.
inline char* lay_out_nibbles(char* out, std::uint64_t first, std::uint64_t second, std::uint32_t nibbles) noexcept {
  const std::uint32_t b0 = nibbles & 0xFF, b1 = nibbles >> 8 & 0xFF, b2 = nibbles >> 16 & 0xFF;
  store8(out, first | nibble_digits.first0[b0] | nibble_digits.first1[b1]);
  store8(out + 6, second | nibble_digits.second1[b1] | nibble_digits.second2[b2] | (nibbles & 0x0F000000));
  return out + e14_width;
}

// Words of text, the first column in the low byte: the first 6 columns of
// a positive field by its first three digits, from 100 to 999 ("  1.23").
constexpr auto lead_point_digits = [] {
  std::array<std::uint64_t, 1000> t{};
  for (std::uint64_t q = 100; q < 1000; ++q)
    t[q] = 0x2020 | (q / 100 + '0') << 16 | std::uint64_t{'.'} << 24 | (q / 10 % 10 + '0') << 32 | (q % 10 + '0') << 40;
  return t;
}();
// The two digits of v < 100 as a word, the first in the low byte.
inline std::uint64_t pair_word(std::uint64_t v) {
  std::uint16_t w;
  std::memcpy(&w, digit_pairs + 2 * v, 2);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap16(w);
  return w;
}

// floor(k * log10(2)) for |k| <= 2620.
constexpr int floor_log10_pow2(int k) { return (k * 315653) >> 20; }

// What the fast conversion keeps for the binade of biased exponent b,
// [2^(e+52), 2^(e+53)) with e = b - 1075, which begins in the decade
// E0 = floor_log10_pow2(e+52) and may reach the next power of ten, P,
// inside it: a significand m reaches P when m >= ceil(P / 2^e), the
// threshold (from the truncated powers above: a power is exact from 10^0
// to 10^55 and nowhere else). For E = E0 and E0 + 1 in turn, the scale c
// and the field's exponent. Subnormals (b = 0), infinities and
// not-a-number (b = 2047) have scale 0: their first digits of 0 send them
// to the exact conversion.
struct Binade {
  std::uint64_t threshold;
  std::uint64_t scale[2];
  std::uint32_t exponent[2];
};
constexpr std::array<Binade, 2048> make_binades() {
  std::array<Binade, 2048> t{};
  for (int b = 1; b <= 2046; ++b) {
    const int e = b - 1075, E0 = floor_log10_pow2(e + 52);
    Binade& binade = t[static_cast<std::size_t>(b)];
    for (int up = 0; up < 2; ++up) {
      const Pow10& power = pow10_table[static_cast<std::size_t>(2 - E0 - up - pow10_min)];
      const unsigned __int128 T = static_cast<unsigned __int128>(power.hi) << 64 | power.lo;
      const int drop = -(power.shift + e + 106);  // c = floor(T / 2^drop), below 2^64
      if (drop < 64 || drop > 127) throw "scale out of range";
      binade.scale[up] = static_cast<std::uint64_t>(T >> drop);
      binade.exponent[up] = exponent_field(E0 + up);
    }
    const int k = E0 + 1;
    const Pow10& p = pow10_table[static_cast<std::size_t>(k - pow10_min)];
    const int sh = e - p.shift;
    const unsigned __int128 T = static_cast<unsigned __int128>(p.hi) << 64 | p.lo;
    const bool inexact = (T & ((static_cast<unsigned __int128>(1) << sh) - 1)) != 0 || k < 0 || k > 55;
    binade.threshold = static_cast<std::uint64_t>(T >> sh) + inexact;
  }
  return t;
}
constexpr auto binades = make_binades();
static_assert(binades[1023 + 3].threshold == 5ull << 50);  // [8, 16), e = -49: 10 / 2^e = 5 * 2^50
static_assert(binades[1023].scale[0] == 100ull << 54);  // [1, 2), e = -52: 10^2 * 2^54

}  // namespace

char* write_e14_6_exact(char* out, double value) noexcept {
  if (!std::isfinite(value)) {
    std::memset(out, '*', e14_width);
    return out + e14_width;
  }
  if (value == 0.0) value = 0.0;  // negative zero is written as zero
  char text[32];                  // [-]d.dddddde[+-]dd[d]
  const char* const end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 6).ptr;
  const char* const e = static_cast<const char*>(std::memchr(text, 'e', static_cast<std::size_t>(end - text)));
  int exponent = 0;
  std::from_chars(e + 1 + (e[1] == '+'), end, exponent);
  std::memset(out, ' ', e14_width);
  std::memcpy(out + 10 - (e - text), text, static_cast<std::size_t>(e - text));
  return put_exponent(out, exponent);
}

namespace {

// Zero's field, of either sign.
inline char* write_zero_e14_6(char* out) noexcept {
  std::memcpy(out, "  0.000000E+00", e14_width);
  return out + e14_width;
}

// The field of a value in binary, of biased exponent b.
inline char* write_binary_e14_6(char* out, double value, std::uint64_t bits, unsigned b) noexcept {
  const Binade& binade = binades[b];
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
  const bool up = m >= binade.threshold;
  constexpr auto half = (static_cast<unsigned __int128>(1) << 105) / 10000;  // h
  const unsigned __int128 product = static_cast<unsigned __int128>(m) * binade.scale[up] + half;
  const auto first_three = static_cast<std::uint64_t>(product >> 106);
  unsigned __int128 f = static_cast<unsigned __int128>(static_cast<std::uint64_t>(product >> 42)) * 100;
  const auto next_two = static_cast<std::uint64_t>(f >> 64);
  f = static_cast<unsigned __int128>(static_cast<std::uint64_t>(f)) * 100;
  const auto last_two = static_cast<std::uint64_t>(f >> 64), Z = static_cast<std::uint64_t>(f);
  constexpr std::uint64_t near = (std::uint64_t{1} << 25) + 1;
  if (Z + near <= near || first_three - 100 >= 900) [[unlikely]]
    return write_e14_6_exact(out, value);  // at or too near a tie, rounded up to 10^7, or no normal double
  const std::uint64_t sign = static_cast<std::uint64_t>(static_cast<std::int64_t>(bits) >> 63) & minus_sign;
  store8(out, sign | lead_point_digits[first_three]);
  store8(out + 6,
         pair_word(next_two) | pair_word(last_two) << 16 | std::uint64_t{binade.exponent[up]} << 32);
  return out + e14_width;
}

// The field of a short decimal: its digits laid out, as whole words.
inline char* write_short_e14_6(char* out, const ShortDecimal& d) noexcept {
  return lay_out_nibbles(out, first_word(d.negative), second_word(d.exponent), d.nibbles);
}

// The words of a compact value's field but its digits, by the code's top
// byte: its sign and exponent.
struct CompactWords {
  std::uint64_t first[256], second[256];
};
constexpr CompactWords compact_words = [] {
  CompactWords t{};
  for (int top = 0; top < 256; ++top) {
    t.first[top] = first_word(top >= 128);
    t.second[top] = second_word((top & 127) - compact_exponent_bias);
  }
  return t;
}();

// A code's parts as a short decimal's (no digits for zero).
inline ShortDecimal compact_parts(CompactValue code) noexcept {
  return {(code >> 31) != 0, code & 0xFFFFFF, static_cast<int>(code >> 24 & 0x7F) - compact_exponent_bias};
}

// The field of a value, a short decimal or in binary, told apart by the
// biased exponent the binary conversion needs (all ones for a short
// decimal, 0 for zero). (Inlined in the loop of a run: the calls took about
// a tenth of the time of writing a connection table's sums, in binary.)
[[gnu::always_inline]] inline char* write_field_e14_6(char* out, double value) noexcept {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const auto b = static_cast<unsigned>(bits >> 52 & 0x7FF);
  if (b == 0x7FF && is_short_decimal(value)) return write_short_e14_6(out, short_decimal_parts(value));
  if (b == 0 && (bits << 1) == 0) return write_zero_e14_6(out);
  return write_binary_e14_6(out, value, bits, b);
}

}  // namespace

char* write_e14_6(char* out, double value) noexcept { return write_field_e14_6(out, value); }

char* write_e14_6_run(char* out, const double* values, int count) noexcept {
  for (int k = 0; k < count; ++k) {
    std::uint64_t bits;  // (taken as an integer: no trip through a floating-point register)
    std::memcpy(&bits, values + k, sizeof bits);
    out = write_field_e14_6(out, std::bit_cast<double>(bits));
  }
  return out;
}

char* add_exponent_letter(char* field) noexcept {
  // " -1.010000-105": the exponent's sign and digits move one column on.
  if (field[10] == 'E') return field + e14_width;
  std::memmove(field + 11, field + 10, 4);
  field[10] = 'E';
  return field + lettered_width;
}

char* write_e14_6_lettered_run(char* out, const double* values, int count) noexcept {
  for (int k = 0; k < count; ++k) {
    const double value = values[k];
    char* const field = out;
    out = write_field_e14_6(field, value);
    if (field[10] == 'E') [[likely]]
      continue;
    if (field[0] == '*')
      std::memcpy(field, std::isnan(value) ? "           nan" : value < 0 ? "          -inf" : "           inf", e14_width);
    else
      out = add_exponent_letter(field);
  }
  return out;
}

bool compact_code(double value, CompactValue& code) noexcept {
  if (!is_short_decimal(value)) return value == 0 && compact_from_parts(std::signbit(value), 0, 0, code);
  const ShortDecimal d = short_decimal_parts(value);
  return d.nibbles >> 24 == 0 && compact_from_parts(d.negative, d.nibbles, d.exponent, code);  // (6 digits)
}

double compact_value(CompactValue code) noexcept {
  const ShortDecimal d = compact_parts(code);
  if (d.nibbles == 0) return d.negative ? -0.0 : 0.0;
  return short_decimal(d.negative, d.nibbles, d.exponent);
}

char* write_compact_e14_6(char* out, CompactValue code) noexcept {
  if ((code & 0xFFFFFF) == 0) code = compact_zero;  // zero of either sign: the digits 0 of plus zero
  return lay_out_nibbles(out, compact_words.first[code >> 24], compact_words.second[code >> 24], code & 0xFFFFFF);
}

char* write_compact_e14_6_run(char* out, const CompactValue* codes, int count) noexcept {
  for (int k = 0; k < count; ++k) out = write_compact_e14_6(out, codes[k]);
  return out;
}

}  // namespace pz
