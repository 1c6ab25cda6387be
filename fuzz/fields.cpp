// Number fields of every input layout, checked against an independent
// reading of the field rules:
//  * read_real with 0 and 4 implied decimals and read_integer must accept
//    exactly the fields the rules accept, with the value strtod gives the
//    same digits (correctly rounded, ±0 kept, beyond the range rejected);
//  * every record reader (element, connection, location, option answer,
//    table cell) must agree with those field readers on its columns, and
//    fail with 64 exactly when one of its fields is not a number;
//  * write_e14_6 must agree with the exact conversion, and what it writes
//    must read back as the value rounded to 7 digits.
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "common.hpp"
#include "records/layouts.hpp"
#include "records/number_writing.hpp"

namespace {

using fuzz::fault;

// The field rules, read plainly: blanks dropped, then sign, digits with at
// most one point, and an exponent (E/D with optional sign, or a bare sign).
// Returns the text strtod should read, or nothing for a field that is not
// a number.
std::optional<std::string> canonical(std::string_view field, int decimals, bool integer) {
  std::string s;
  for (char c : field)
    if (c != ' ') s.push_back(c);
  if (s.empty()) return "0";
  std::size_t i = 0;
  std::string out;
  if (s[i] == '+' || s[i] == '-') out.push_back(s[i++]);
  bool point = false;
  std::size_t digits = 0;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      ++digits;
      out.push_back(s[i]);
    } else if (s[i] == '.' && !point && !integer) {
      point = true;
      out.push_back('.');
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (integer) {
    if (i != s.size()) return std::nullopt;
    return out;
  }
  std::string exponent = "0";
  if (i < s.size()) {
    char c = s[i++];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) c = s[i++];
      else c = '+';
    } else if (c != '+' && c != '-') {
      return std::nullopt;
    }
    if (i == s.size()) return std::nullopt;
    exponent.assign(1, c);
    for (; i < s.size(); ++i) {
      if (s[i] < '0' || s[i] > '9') return std::nullopt;
      exponent.push_back(s[i]);
    }
  }
  // Implied decimals: digits without a point lose D places.
  if (!point && decimals > 0) out += "e" + exponent + "e-" + std::to_string(decimals);
  else out += "e" + exponent;
  return out;
}

// strtod of "m e x" (and "m e x e-D" for implied decimals, folded here by
// reading the mantissa and the summed exponent separately so that huge
// exponents do not lose the D).
std::optional<double> reference_real(std::string_view field, int decimals) {
  const auto c = canonical(field, decimals, false);
  if (!c) return std::nullopt;
  std::string text = *c;
  const std::size_t e1 = text.find('e');
  if (e1 != std::string::npos) {
    // Sum the exponents with saturation far beyond the double range.
    long long sum = 0;
    std::size_t at = e1;
    while (at != std::string::npos) {
      const std::size_t next = text.find('e', at + 1);
      const std::string part = text.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
      errno = 0;
      long long v = std::strtoll(part.c_str(), nullptr, 10);
      if (v > 4000000000LL) v = 4000000000LL;
      if (v < -4000000000LL) v = -4000000000LL;
      sum += v;
      at = next;
    }
    text = text.substr(0, e1) + "e" + std::to_string(sum);
  }
  errno = 0;
  const double v = std::strtod(text.c_str(), nullptr);
  if (std::isinf(v)) return std::nullopt;
  return v;
}

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void check_real(std::string_view field, int decimals) {
  double got = 12345.0;
  const bool ok = pz::read_real(field, decimals, got);
  const auto want = reference_real(field, decimals);
  if (ok != want.has_value()) fault("read_real acceptance differs for [" + std::string(field) + "]");
  if (ok && !same(got, *want)) fault("read_real value differs for [" + std::string(field) + "]");
}

void check_integer(std::string_view field) {
  int got = 0;
  const bool ok = pz::read_integer(field, got);
  auto c = canonical(field, 0, true);
  if (c) {
    errno = 0;
    const long long v = std::strtoll(c->c_str(), nullptr, 10);
    if (errno == ERANGE || v < -2147483648LL || v > 2147483647LL) c.reset();
    else if (ok && got != v) fault("read_integer value differs");
  }
  if (ok != c.has_value()) fault("read_integer acceptance differs for [" + std::string(field) + "]");
}

// Runs a record reader; returns whether it failed with 64 (any other
// outcome is a fault).
template <typename F>
bool conversion_fails(F&& read) {
  try {
    read();
    return false;
  } catch (const pz::Failure& f) {
    if (f.number != 64 || f.unit != 2 || f.file != "rec") fault("record reader failure report");
    return true;
  }
}

double field_value(std::string_view record, std::size_t first, std::size_t width, int decimals, bool& bad) {
  double v = 0;
  if (!pz::read_real(pz::columns(record, first, width), decimals, v)) bad = true;
  return v;
}

void check_records(std::string_view record) {
  const pz::Source src{2, "rec"};
  {
    bool bad = false;
    const double x = field_value(record, 51, 10, 4, bad), y = field_value(record, 61, 10, 4, bad),
                 z = field_value(record, 71, 10, 4, bad);
    pz::ElementRecord r{};
    if (conversion_fails([&] { r = pz::read_element_record(record, src, pz::Routine::main_program); }) != bad)
      fault("element record acceptance");
    if (!bad && (!same(r.x[0], x) || !same(r.x[1], y) || !same(r.x[2], z) || r.name != pz::make_name(record)))
      fault("element record fields");
  }
  {
    bool bad = false;
    const double a = field_value(record, 51, 10, 0, bad);
    pz::ConnectionRecord r{};
    if (conversion_fails([&] { r = pz::read_connection_record(record, src, pz::Routine::main_program); }) != bad)
      fault("connection record acceptance");
    if (!bad && (!same(r.value, a) || r.first != pz::make_name(pz::columns(record, 1, 5)) ||
                 r.second != pz::make_name(pz::columns(record, 6, 5))))
      fault("connection record fields");
  }
  {
    bool bad = false;
    const double x = field_value(record, 11, 20, 0, bad), y = field_value(record, 31, 20, 0, bad);
    pz::LocationRecord r{};
    if (conversion_fails([&] { r = pz::read_location_record(record, src, pz::Routine::main_program); }) != bad)
      fault("location record acceptance");
    if (!bad && (!same(r.x, x) || !same(r.y, y))) fault("location record fields");
  }
  {
    int want = 0;
    const bool bad = !pz::read_integer(pz::columns(record, 1, 1), want);
    int got = -1;
    if (conversion_fails([&] { got = pz::read_option_answer(record, src, pz::Routine::main_program); }) != bad)
      fault("option answer acceptance");
    if (!bad && (got != want || got < 0 || got > 9)) fault("option answer value");
  }
  {
    bool bad = false;
    const double v = field_value(record.substr(0, 40), 1, 40, 0, bad);
    double got = 0;
    if (!pz::read_table_cell(record, got) != bad) fault("table cell acceptance");
    if (!bad && !same(got, v)) fault("table cell value");
  }
}

void check_e14(double v) {
  char fast[pz::e14_width], exact[pz::e14_width];
  pz::write_e14_6(fast, v);
  pz::write_e14_6_exact(exact, v);
  const std::string_view f(fast, sizeof fast), x(exact, sizeof exact);
  if (f != x) fault("write_e14_6 differs from the exact conversion: [" + std::string(f) + "] [" + std::string(x) + "]");
  if (!fuzz::e14_field(f)) fault("write_e14_6 field shape [" + std::string(f) + "]");
  if (!std::isfinite(v)) return;
  // The field reads back as the value rounded to 7 significant digits.
  char text[64];
  std::snprintf(text, sizeof text, "%.6e", v == 0 ? 0.0 : v);
  const double rounded = std::strtod(text, nullptr);
  double back = 0;
  if (std::isinf(rounded)) {
    if (pz::read_real(f, 0, back)) fault("an e14.6 field beyond the range read back");
    return;
  }
  if (!pz::read_real(f, 0, back) || !same(back, rounded)) fault("e14.6 field does not read back: [" + std::string(f) + "]");
}

void check_integer_output(std::int64_t v) {
  for (int width : {1, 4, 5, 6, 12}) {
    char out[32];
    std::memset(out, '#', sizeof out);
    char* end = pz::write_integer(out, v, width);
    if (end != out + width || out[width] != '#') fault("write_integer width");
    char want[32];
    const int n = std::snprintf(want, sizeof want, "%*lld", width, static_cast<long long>(v));
    const std::string expect = n > width ? std::string(static_cast<std::size_t>(width), '*') : std::string(want, n);
    if (std::string(out, static_cast<std::size_t>(width)) != expect) fault("write_integer text");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  // Field texts: the whole input (any width), and every 10- and 20-column
  // window the layouts use on it.
  const std::string_view field = in.substr(0, 100);
  for (int d : {0, 4}) check_real(field, d);
  check_integer(field.substr(0, 20));
  check_records(in.substr(0, 300));
  if (size >= 8) {
    double v;
    std::memcpy(&v, data, sizeof v);
    check_e14(v);
    std::int64_t i;
    std::memcpy(&i, data, sizeof i);
    check_integer_output(i);
  }
  double parsed;
  if (pz::read_real(field, 0, parsed)) check_e14(parsed);
  return 0;
}
