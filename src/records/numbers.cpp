#include "records/numbers.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace pz {

bool read_real(std::string_view field, int decimals, double& value) noexcept {
  // Gather the significant characters into "[-]digits[.digits]e[-]exp" and
  // let from_chars round the result correctly.
  char buf[128];
  std::size_t n = 0;
  bool negative = false, seen_sign = false, seen_point = false, seen_digit = false;
  std::size_t i = 0;
  const std::size_t len = field.size();
  // Mantissa.
  for (; i < len; ++i) {
    char c = field[i];
    if (c == ' ') continue;
    if ((c == '+' || c == '-') && !seen_sign && !seen_digit && !seen_point) {
      seen_sign = true;
      negative = c == '-';
      continue;
    }
    if (c >= '0' && c <= '9') {
      seen_digit = true;
      if (n < sizeof buf - 40) buf[n++] = c;
      else if (!seen_point) { /* too many integer digits */ return false; }
      continue;
    }
    if (c == '.' && !seen_point) {
      seen_point = true;
      if (n < sizeof buf - 40) buf[n++] = c;
      continue;
    }
    break;
  }
  if (i == len && !seen_digit && !seen_point && !seen_sign) {
    value = 0.0;
    return true;  // blank field
  }
  if (!seen_digit) return false;
  // Exponent.
  long long exponent = 0;
  if (i < len) {
    char c = field[i];
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') ++i;
    else if (c != '+' && c != '-') return false;
    bool exp_negative = false, exp_sign = false, exp_digit = false;
    for (; i < len; ++i) {
      char d = field[i];
      if (d == ' ') continue;
      if ((d == '+' || d == '-') && !exp_sign && !exp_digit) {
        exp_sign = true;
        exp_negative = d == '-';
        continue;
      }
      if (d >= '0' && d <= '9') {
        exp_digit = true;
        if (exponent < 100000000) exponent = exponent * 10 + (d - '0');
        continue;
      }
      return false;
    }
    if (!exp_digit) return false;
    if (exp_negative) exponent = -exponent;
  }
  if (!seen_point) exponent -= decimals;
  buf[n++] = 'e';
  auto [p, ec] = std::to_chars(buf + n, buf + sizeof buf, exponent);
  (void)ec;
  n = static_cast<std::size_t>(p - buf);
  double v = 0.0;
  const char* begin = buf;
  if (buf[0] == '.' ) { /* from_chars accepts ".5" */ }
  auto r = std::from_chars(begin, buf + n, v, std::chars_format::scientific);
  if (r.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a number.
    if (exponent < 0) v = 0.0;
    else return false;
  } else if (r.ec != std::errc() || r.ptr != buf + n) {
    return false;
  }
  if (std::isinf(v)) return false;
  value = negative ? -v : v;
  return true;
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
  if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min()) return false;
  value = static_cast<int>(v);
  return true;
}

int integer_length(std::int64_t value) noexcept {
  std::uint64_t u = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  int n = value < 0 ? 2 : 1;
  while (u >= 10) {
    u /= 10;
    ++n;
  }
  return n;
}

char* write_integer(char* out, std::int64_t value, int width) noexcept {
  const int len = integer_length(value);
  if (len > width) {
    std::memset(out, '*', static_cast<std::size_t>(width));
    return out + width;
  }
  char* end = out + width;
  std::uint64_t u = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char* p = end;
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (value < 0) *--p = '-';
  while (p > out) *--p = ' ';
  return end;
}

char* write_e14_6_exact(char* out, double value) noexcept {
  if (!std::isfinite(value)) {
    std::memset(out, '*', e14_width);
    return out + e14_width;
  }
  if (value == 0.0) value = 0.0;  // negative zero is written as zero
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 6);
  // buf holds [-]d.dddddde[+-]dd[d]
  const char* e = static_cast<const char*>(std::memchr(buf, 'e', static_cast<std::size_t>(r.ptr - buf)));
  const std::size_t mant = static_cast<std::size_t>(e - buf);
  const char sign = e[1];
  const std::size_t expdigits = static_cast<std::size_t>(r.ptr - (e + 2));
  char field[32];
  std::size_t n = 0;
  std::memcpy(field, buf, mant);
  n = mant;
  if (expdigits <= 2) {
    field[n++] = 'E';
    field[n++] = sign;
    if (expdigits == 1) field[n++] = '0';
    std::memcpy(field + n, e + 2, expdigits);
    n += expdigits;
  } else {
    field[n++] = sign;
    std::memcpy(field + n, e + 2, expdigits);
    n += expdigits;
  }
  std::memset(out, ' ', e14_width);
  std::memcpy(out + e14_width - n, field, n);
  return out + e14_width;
}

char* write_e14_6(char* out, double value) noexcept { return write_e14_6_exact(out, value); }

}  // namespace pz
