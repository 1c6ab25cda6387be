// The records layer: number fields read and written, the fixed-column records, the line reader.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <random>

#include "records/field_shape.hpp"
#include "records/layouts.hpp"
#include "records/number_reading.hpp"
#include "records/number_writing.hpp"
#include "support/run.hpp"

namespace pz {
namespace {

std::string e14(double v, bool exact = false) {
  char buf[e14_width];
  EXPECT_EQ(exact ? write_e14_6_exact(buf, v) : write_e14_6(buf, v), buf + e14_width);
  return std::string(buf, e14_width);
}

// The nearest double of a plain decimal text (infinity beyond the range).
double nearest(const std::string& s) { return std::strtod(s.c_str(), nullptr); }
std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

TEST(ReadReal, DocumentedForms) {
  const struct { const char* field; int decimals; double value; } good[] = {
      // implied decimals (e10.4), a written point or an exponent overriding them
      {"12345", 4, 1.2345}, {"10", 4, 0.001}, {"    15    ", 4, 0.0015}, {"1 5", 4, 0.0015}, {"  1.5E+02 ", 4, 150},
      {"12345E2", 4, 123.45}, {"-7", 0, -7}, {"", 4, 0}, {"          ", 4, 0}, {".5", 0, 0.5}, {"5.", 0, 5},
      // exponent letters, bare-sign exponents, blanks anywhere
      {"-2.5d1", 0, -25}, {"2.5D-1", 0, 0.25}, {"2.5e1", 0, 25}, {"1.5-3", 0, 0.0015}, {"1.5+3", 0, 1500},
      {"1.5 E - 3", 0, 0.0015}, {"+ 1 . 5 e 2", 0, 150}, {"-1-1", 0, -0.1}, {"1e0000000000000000000005", 0, 1e5},
      {"                       0.10000E+06", 0, 1e5}, {"-0.98765E-02", 0, -0.0098765},
      // e10.4 as mesh files hold it, the 0 dropped from a negative value
      {"0.5000E+01", 4, 5}, {"-.9900E+02", 4, -99}, {" .9900d-02", 4, 0.0099}, {"+.1000E+01", 4, 1},
      {"9.9999E+22", 4, 9.9999e22}, {"1.0000E-26", 4, 1e-26}, {"0.5000E+1 ", 4, 5}, {"05000E+01 ", 4, 5},
      // a digit among the blanks before the printed shape joins its digits
      {"1 0.12345E+03", 0, 10123.45}, {"12345678 0.12345E+03", 0, 123456780123.45},
      {"        1 0.12345E+03", 0, 10123.45}, {"       1  0.12345E+03", 0, 10123.45},
      // zero with any exponent, many digits, underflow and the ends of the range
      {"0e99999999999999999999", 0, 0}, {"0.000000000000000000000000000000000001", 0, 1e-36},
      {"9007199254740993", 0, 9007199254740992.0}, {"9007199254740995", 0, 9007199254740996.0},
      {"1234567890123456789012345678901234567890", 0, 1234567890123456789012345678901234567890.0},
      {"1e-400", 0, 0}, {"4.9e-324", 0, 4.9e-324}, {"2.4703282292062328e-324", 0, 4.9e-324},
      {"2.4703282292062327e-324", 0, 0}, {"1.7976931348623158e308", 0, 1.7976931348623157e308},
      {"1e-320", 0, 1e-320}, {"123456789e-330", 0, 123456789e-330}};
  for (double v = -999, w = -999; const auto& c : good) {
    EXPECT_TRUE(read_real(c.field, c.decimals, v) && v == c.value) << '"' << c.field << "\" " << v;
    EXPECT_TRUE(read_real_as_written(c.field, c.decimals, w) && binary_value(w) == c.value) << '"' << c.field << '"';
  }
  double v;
  EXPECT_TRUE(read_real("-0", 0, v) && v == 0 && std::signbit(v));
  for (const char* f : {"x 0.12345E+03", "0.12345E+0x", " 0.1234xE+03", "0.50x0E+01", "1,5000E+01", "-.9900E+0x", "-.9900+E02",
                        ".-9900E+02", "+", " - ", ".", " -. ", "1.2.3", "1.5E", "1.5e+", "1.5+", "1-", "1.5E+-3", "e5", "1*", "*",
                        "NaN", "nan", "Inf", "-infinity", "1x", "\t1", "1,5", "--1", "1e309", "-1.7976931348623159e308",
                        "1e99999999999999999999999", "1.0Inf"})
    EXPECT_FALSE(read_real(f, 0, v)) << '"' << f << '"';
}

// Random fields of up to 40 digits, a blank among them, read as strtod reads the plain decimal.
TEST(ReadReal, NearestDoubleOfRandomFields) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 200000; ++i) {
    std::string plain(1 + rng() % (i % 2 ? 40 : 17), '0');
    for (char& d : plain) d = static_cast<char>('0' + rng() % 10);
    plain.insert(rng() % (plain.size() + 1), 1, '.');
    const int exp = static_cast<int>(rng() % 700) - 350;
    std::string field = plain;
    field.insert(rng() % field.size(), 1, ' ');
    field += (i % 3 ? (exp < 0 ? "E" : "E+") : (exp < 0 ? "" : "+")) + std::to_string(exp);  // E or a bare sign
    const double want = nearest(plain + 'e' + std::to_string(exp));
    double v = -1;
    const bool ok = read_real(field, 4, v);
    ASSERT_TRUE(std::isinf(want) ? !ok : ok && bits(v) == bits(want)) << field;
  }
}

TEST(WriteE14, DocumentedForms) {
  const std::pair<double, const char*> cases[] = {
      {1, "  1.000000E+00"}, {-1234.5678, " -1.234568E+03"}, {0.00025, "  2.500000E-04"}, {-0.0, "  0.000000E+00"},
      {1e-100, "  1.000000-100"}, {1e100, "  1.000000+100"}, {-1e-100, " -1.000000-100"}, {1e99, "  1.000000E+99"},
      {40738005, "  4.073800E+07"}, {40738015, "  4.073802E+07"}, {0.00048828125, "  4.882812E-04"},  // ties to even
      {9.9999996, "  1.000000E+01"}, {9.9999994, "  9.999999E+00"}, {9.9999996e99, "  1.000000+100"},
      {4.9e-324, "  4.940656-324"}, {1.7976931348623157e308, "  1.797693+308"},
      {-2.2250738585072014e-308, " -2.225074-308"}, {123456789012345678.0, "  1.234568E+17"}};
  for (const auto& [v, text] : cases) EXPECT_TRUE(e14(v) == text && e14(v, true) == text) << v << ' ' << e14(v);
  EXPECT_TRUE(e14(std::nan("")) == "**************" && e14(-INFINITY) == "**************");
  // With the letter always, and words for what has no digits.
  const auto lettered = [](double v) {
    char buf[2 * lettered_width];
    return std::string(buf, write_e14_6_lettered_run(buf, &v, 1));
  };
  for (const auto& [v, text] : cases) {
    std::string want = text;
    if (want[10] != 'E') want.insert(10, "E");
    EXPECT_EQ(lettered(v), want);
  }
  double kept;
  ASSERT_TRUE(read_real_as_written("-1.01E-105", 0, kept));
  EXPECT_EQ(lettered(kept), " -1.010000E-105");
  EXPECT_TRUE(lettered(std::nan("")) == "           nan" && lettered(INFINITY) == "           inf" &&
              lettered(-INFINITY) == "          -inf");
}

// The fast e14.6 writer against the exact one, field by field and in runs of 7.
TEST(WriteE14, FastAgainstExact) {
#if defined(__SANITIZE_ADDRESS__)
  constexpr long n = 100000;
#else
  constexpr long n = 1000000;
#endif
  std::mt19937_64 rng{2024};
  long mismatches = 0;
  constexpr int run_length = 7;
  double run[run_length];
  std::string one_by_one;
  int in_run = 0;
  const auto check = [&](double v) {
    if (rng() & 1) v = -v;
    const std::string field = e14(v);
    if (field != e14(v, true) && ++mismatches <= 5)
      ADD_FAILURE() << std::hexfloat << v << ": " << field << " vs " << e14(v, true);
    run[in_run++] = v;
    one_by_one += field;
    if (in_run < run_length) return;
    char fields[run_length * e14_width];
    EXPECT_EQ(write_e14_6_run(fields, run, run_length), fields + sizeof fields);
    if (std::string_view(fields, sizeof fields) != one_by_one && ++mismatches <= 5)
      ADD_FAILURE() << "a run differs: " << std::string_view(fields, sizeof fields) << " vs " << one_by_one;
    in_run = 0;
    one_by_one.clear();
  };
  const auto around = [&](double v, int ulps) {  // v and its neighbours
    check(v);
    for (double up = v, down = v; ulps-- > 0;)
      check(up = std::nextafter(up, INFINITY)), check(down = std::nextafter(down, 0.0));
  };
  const auto decimal = [](std::uint64_t d, int exp) { return nearest(std::to_string(d) + "e" + std::to_string(exp)); };
  for (long i = 0; i < 4 * n; ++i)  // random bit patterns
    if (const double v = std::bit_cast<double>(rng()); std::isfinite(v)) check(v);
  for (long i = 0; i < n / 2; ++i) check(std::bit_cast<double>(rng() & ((std::uint64_t{1} << 52) - 1)));  // subnormals
  for (long i = 0; i < n; ++i) around(decimal(1000000 + rng() % 99000000, static_cast<int>(rng() % 640) - 330), 1);
  for (int k = -323; k <= 308; ++k) around(decimal(1, k), 64), around(decimal(99999995, k - 8), 64);  // and up to 10^k
  // Exact ties at the 7th digit: (10a+5) * 10^j, or r * 2^j for j < 0.
  long ties = 0;
  for (long i = 0; i < n; ++i) {
    const int j = static_cast<int>(rng() % 19) - 11;
    const auto pow5 = static_cast<std::uint64_t>(std::pow(5.0, j < 0 ? -j : 0)), lo = (10000000 + pow5 - 1) / pow5,
               hi = 99999999 / pow5, r = lo > hi ? 0 : (lo + rng() % (hi - lo + 1)) | 1;
    const double v = j >= 0 ? static_cast<double>((1000000 + rng() % 9000000) * 10 + 5) * std::pow(10.0, j)
                            : std::ldexp(static_cast<double>(r), j);
    if (j >= 0 ? v < 9007199254740992.0 : r != 0 && r <= hi && (r * pow5) % 10 == 5) ++ties, around(v, 1);
  }
  EXPECT_GT(ties, 3 * n / 10);
  // Every 7 digits the field can hold, and a sample of them far below 1.
  for (std::uint32_t d = 1000000; d < 10000000; ++d) ASSERT_EQ(e14(d), e14(d, true));
  for (std::uint32_t d = 1000000; d < 10000000; d += 997) ASSERT_EQ(e14(-d / 1e40), e14(-d / 1e40, true));
}

// Runs of compact codes of every sign and exponent, zeros of either sign among them.
TEST(WriteE14, CompactRunsAsTheExactConversion) {
  std::mt19937_64 rng(17);
  const CompactValue minus_zero = compact_zero | 0x80000000u;
  for (int top = 0; top < 256; ++top) {
    for (int n = 0; n < 200; ++n) {
      CompactValue codes[5];
      std::string want;
      for (CompactValue& code : codes) {
        std::uint32_t digits = static_cast<std::uint32_t>(100000 + rng() % 900000), nibbles = 0;
        for (int i = 0; i < 6; ++i, digits /= 10) nibbles = nibbles << 4 | digits % 10;
        code = rng() % 4 == 0 ? (rng() % 2 ? compact_zero : minus_zero) : static_cast<CompactValue>(top) << 24 | nibbles;
        want += e14(binary_value(compact_value(code)), true);
      }
      char fields[5 * e14_width];
      ASSERT_EQ(write_compact_e14_6_run(fields, codes, 5), fields + sizeof fields);
      ASSERT_EQ(std::string_view(fields, sizeof fields), want) << std::hex << codes[0];
    }
  }
}

// Whether value has a compact code exactly when it should, one that gives it back.
bool compact_as_written(double value) {
  const std::string field = e14(value);
  const int exponent = std::stoi(field.substr(field[10] == 'E' ? 11 : 10));
  const bool expected =
      value == 0 || (is_short_decimal(value) && field[9] == '0' && exponent >= -64 && exponent <= 63);
  CompactValue code;
  if (!compact_code(value, code)) return !expected;
  char laid_out[e14_width];
  return expected && bits(compact_value(code)) == bits(value) &&
         std::string(laid_out, write_compact_e14_6(laid_out, code)) == field;
}

// Short decimals in every form keep their digits: e14.6 as the exact writer, binary_value as strtod.
TEST(ShortDecimals, LaidOutAsTheExactConversionWritesThem) {
  std::mt19937_64 rng(14);
  const auto kept = [](const std::string& field, int decimals) {
    double as_written, binary;
    return read_real_as_written(field, decimals, as_written) && read_real(field, decimals, binary) &&
           e14(as_written) == e14(binary, true) && bits(binary_value(as_written)) == bits(binary) &&
           compact_as_written(as_written);
  };
  const char* letters[] = {"E", "D", "e", "d", "", "E "};
  for (int n = 0; n < 3'000'000; ++n) {
    const int length = 1 + static_cast<int>(rng() % 7);
    std::string digits = std::to_string(rng() % 9'000'000 + 1'000'000).substr(0, static_cast<std::size_t>(length));
    if (rng() % 4 == 0) digits.insert(0, std::string(rng() % 3, '0'));  // leading zeros
    const std::size_t point = rng() % (digits.size() + 2);               // past the end: no point
    if (point <= digits.size()) digits.insert(point, ".");
    std::string field = std::string(rng() % 6, ' ') + (rng() % 3 == 0 ? "-" : rng() % 5 == 0 ? "+" : "") + digits;
    if (rng() % 4 != 0) {
      const int exponent = static_cast<int>(rng() % 611) - 310;  // within the range of a double
      const char* letter = letters[rng() % 6];
      field += letter;
      field += exponent < 0 ? "-" : (*letter == '\0' || rng() % 2) ? "+" : "";
      field += std::to_string(std::abs(exponent));
    }
    ASSERT_TRUE(kept(field, rng() % 2 ? 4 : 0)) << field;
  }
  // The shape tables print (" -0.56169E-02", up to 18 digits), as the nearest double.
  for (int n = 0; n < 400'000; ++n) {
    std::string digits(1 + rng() % 18, '0');
    for (char& d : digits) d = static_cast<char>('0' + rng() % 10);
    if (rng() % 3 == 0) digits[0] = '0';
    const std::string text = (rng() % 3 ? "" : rng() % 2 ? "-" : "+") + digits.insert(1, "."),
                      exponent = (rng() % 2 ? "+" : "-") + std::to_string(rng() % 100 + 100).substr(1);
    const std::string field = std::string(rng() % 3, ' ') + text + "EeDd"[rng() % 4] + exponent;
    double v;
    ASSERT_TRUE(read_real(field, 4, v) && bits(v) == bits(nearest(text + "e" + exponent))) << field;
    ASSERT_TRUE(kept(field, 0)) << field;
  }
}

// Fields in 12 or 13 columns (the fast paths) as the general reader and strtod read them, bit for bit.
TEST(ReadReal, PrintedShapesAsTheGeneralReader) {
  std::mt19937_64 rng(16);
  const auto same = [](const std::string& field) {
    double shaped, general, as_written;
    const std::string text = field.substr(field.find_first_not_of(' '));
    return read_real(field, 0, shaped) && read_real(field + ' ', 0, general) && bits(shaped) == bits(general) &&
           bits(shaped) == bits(nearest(text.substr(0, text.size() - 4) + 'e' + text.substr(text.size() - 3))) &&
           read_real_as_written(field, 0, as_written) && bits(binary_value(as_written)) == bits(shaped);
  };
  const std::uint32_t edge_digits[] = {0, 1, 5, 9, 99999, 100000, 499999, 500000, 500001, 999999};
  for (int exponent = -99; exponent <= 99; ++exponent)
    for (const int digits : {5, 6})
      for (int n = 0; n < 400; ++n) {
        const std::uint32_t limit = digits == 5 ? 100000 : 1000000;
        const std::uint32_t fraction = n < 10 ? edge_digits[n] % limit : static_cast<std::uint32_t>(rng() % limit);
        char field[24];
        std::snprintf(field, sizeof field, "%*s%c%u.%0*u%c%c%02d", static_cast<int>(rng() % 3), "", " -+"[rng() % 3],
                      static_cast<unsigned>(n < 20 ? n % 10 : rng() % 10), digits, fraction, "EeDd"[rng() % 4],
                      exponent < 0 ? '-' : '+', std::abs(exponent));
        ASSERT_TRUE(same(field)) << field;
      }
  double zero;
  EXPECT_TRUE(read_real("-0.000000E+05", 0, zero) && zero == 0 && std::signbit(zero));
}

// A row's fields taken together (12-column row) as each read alone.
TEST(ShortDecimals, RowOfFieldsAsEachFieldAlone) {
  using field_shape::TwelveColumnRow;
  std::mt19937_64 rng(15);
  const std::string odd = " -+.0123456789EeDdx,)/:*\x1f\x7f\xab";
  auto row_shape = std::make_unique<TwelveColumnRow>();
  for (int n = 0; n < 200'000; ++n) {
    std::string text(8, ' '), other(8, ' ');  // names and index before the values
    std::vector<std::pair<std::size_t, std::size_t>> windows;
    const int fields = 1 + static_cast<int>(rng() % 12);
    const int shapes = static_cast<int>(rng() % 3);  // fields of 5 digits (1), of 6 (2) or of either (0)
    for (int i = 0; i < fields; ++i) {
      const auto printed = [&](int digits) {
        char field[20];
        const int lead = rng() % 3 == 0 ? 0 : static_cast<int>(rng() % 10);
        std::snprintf(field, sizeof field, "%c%d.%0*d%c%c%02d", " -+"[rng() % 3], lead, digits,
                      static_cast<int>(rng() % (digits == 5 ? 100000 : 1000000)), "EeDd"[rng() % 4], "+-"[rng() % 2],
                      static_cast<int>(rng() % 100));
        return std::string(field);
      };
      const int digits = shapes != 0 ? 4 + shapes : 5 + static_cast<int>(rng() % 2);
      const std::size_t first = text.size() + 1, blanks = rng() % 4;
      text += std::string(blanks, ' ') + printed(digits);
      const int other_digits = digits == 6 || blanks == 0 ? 5 : 6;  // ending in the same column
      other += std::string(blanks + digits - other_digits, ' ') + printed(other_digits);
      windows.emplace_back(first, text.size());
    }
    for (int k = static_cast<int>(rng() % 3); k > 0; --k) text[rng() % text.size()] = odd[rng() % odd.size()];
    text.resize(text.size() + 80, ' ');
    other.resize(text.size(), ' ');
    const bool planned_here = rng() % 4 != 0;
    row_shape->start(text.size());
    for (const auto& [first, last] : windows) row_shape->add(first, last);
    ASSERT_TRUE(row_shape->finish(planned_here ? text.data() : other.data()));
    const bool matches = row_shape->matches(text.data());
    bool each_has_shape = true, all_taken = matches, all_short = matches, all_compact = matches, all_binary = matches;
    double shorts[TwelveColumnRow::max_fields], binaries[TwelveColumnRow::max_fields];
    CompactValue codes[TwelveColumnRow::max_fields];
    for (int i = 0; i < fields; ++i) {
      const std::string_view field(text.data() + windows[i].first - 1, windows[i].second - windows[i].first + 1);
      field_shape::TwelveColumns alone, together;
      const bool shaped = field_shape::take_twelve_columns(field, alone);
      each_has_shape = each_has_shape && shaped;
      if (!matches) {
        all_taken = all_short = all_compact = false;
        continue;
      }
      row_shape->take(text.data(), i, together);
      ASSERT_TRUE(shaped) << text;
      double short_value, binary_value, as_written, nearest_value;
      const bool is_short = twelve_columns_short(together, short_value);
      ASSERT_TRUE(read_real_as_written(field, 0, as_written) && read_real(field, 0, nearest_value)) << field;
      CompactValue code{}, expected_code{};
      const bool is_compact = field_shape::twelve_columns_compact(together, code);
      if (is_short) {
        ASSERT_EQ(bits(short_value), bits(as_written)) << field;
        shorts[i] = short_value;
        ASSERT_EQ(is_compact, compact_code(short_value, expected_code)) << field;
        ASSERT_TRUE(!is_compact || code == expected_code) << field;
        codes[i] = code;
      }
      all_short = all_short && is_short;
      all_compact = all_compact && is_short && is_compact;
      const bool is_binary = twelve_columns_binary(together, binary_value);
      ASSERT_TRUE(!is_binary || bits(binary_value) == bits(nearest_value)) << field;
      if (is_binary) binaries[i] = binary_value;
      all_binary = all_binary && is_binary;
    }
    ASSERT_TRUE(!planned_here || shapes == 0 || all_taken == each_has_shape) << text;
    // The whole row at once: taken exactly when every field is a short decimal (a compact value, a
    // double the exact powers of ten scale), with the same values.
    if (double together[TwelveColumnRow::max_fields]; matches) {
      ASSERT_EQ(row_shape->take_all_short(text.data(), together), all_short) << text;
      for (int i = 0; all_short && i < fields; ++i) ASSERT_EQ(bits(together[i]), bits(shorts[i])) << text;
    }
    if (double together[TwelveColumnRow::max_fields]; matches) {
      ASSERT_EQ(row_shape->take_all_binary(text.data(), together), all_binary) << text;
      for (int i = 0; all_binary && i < fields; ++i) ASSERT_EQ(bits(together[i]), bits(binaries[i])) << text;
    }
    if (CompactValue together[TwelveColumnRow::max_fields]; matches) {
      ASSERT_EQ(row_shape->take_all_compact(text.data(), together), all_compact) << text;
      for (int i = 0; all_compact && i < fields; ++i) ASSERT_EQ(together[i], codes[i]) << text;
    }
  }
  // Windows it cannot plan: narrower than 12 columns, too wide, beyond the buffer.
  const auto plans = [&](std::size_t first, std::size_t last, std::size_t capacity) {
    row_shape->start(capacity);
    row_shape->add(first, last);
    return row_shape->finish(std::string(capacity, ' ').data());
  };
  EXPECT_TRUE(plans(10, 21, 100) && !plans(10, 20, 100) && !plans(10, 50, 100) && !plans(90, 101, 100));
}

std::string brief(const Failure& f) {
  return "failure " + std::to_string(f.number) + " unit " + std::to_string(f.unit) + " file " + f.file;
}
std::string text(const Name& n) { return std::string(n.data(), 5) + '|'; }
std::string text(double v) {
  char b[32];
  return std::string(b, std::to_chars(b, b + sizeof b, v).ptr) + '|';  // the shortest exact form
}
std::string text(const ElementRecord& r) { return text(r.name) + text(r.x[0]) + text(r.x[1]) + text(r.x[2]); }
std::string text(const ConnectionRecord& r) { return text(r.first) + text(r.second) + text(r.value); }
std::string text(const LocationRecord& r) { return text(r.name) + text(r.x) + text(r.y); }

// A record read by one of the input layouts as "field|field|...", or its failure.
std::string read_as(char layout, const std::string& record) {
  const Source mesh{unit::mesh, "MESH"}, locat{unit::locat, "locat"};
  const Routine in = Routine::mesh_reader;
  try {
    switch (layout) {
      case 'e': return text(read_element_record(record, mesh, in));
      case 'c': return text(read_connection_record(record, mesh, in));
      case 'l': return text(read_location_record(record, locat, in));
    }
    double v;
    return read_table_cell(record, v) ? text(v) : "not a number";
  } catch (const Failure& f) {
    return brief(f);
  }
}

TEST(InputLayouts, FieldsColumnsAndFailures) {
  const std::string to51(50, ' ');
  const struct { char layout; std::string record, read; } cases[] = {
      {'e', "A1  1" + to51.substr(5) + "  1.5E+02     15       1 5", "A1  1|150|0.0015|0.0015|"},  // e10.4
      {'e', "B  2", "B  2 |0|0|0|"},  // a record ending before column 51, or inside a field
      {'e', "B  2" + to51.substr(4) + "12345     -2", "B  2 |1.2345|-2e-04|0|"},
      {'e', to51 + "          1.0*", "failure 64 unit 1 file MESH"},
      {'c', "A1  1B1  2" + to51.substr(10) + "        12", "A1  1|B1  2|12|"},  // f10.0: no implied decimals
      {'c', to51 + "  1.0E", "failure 64 unit 1 file MESH"},
      {'l', "A1  1xxxxx               1.5-3              -2.5d1", "A1  1|0.0015|-25|"},
      {'l', "A1  1     1.5.5", "failure 64 unit 2 file locat"},
      {'t', "    0.12345E+03", "123.45|"}, {'t', std::string(38, ' ') + "12345", "12|"},  // 40 columns count
      {'t', "  0.1E+0x", "not a number"}};
  for (const auto& c : cases) EXPECT_EQ(read_as(c.layout, c.record), c.read) << c.layout << " \"" << c.record << '"';
}

// Lines across blocks, both line ends, long lines cut, a last line without its end; twice, after a rewind.
TEST(LineReader, RecordsAndLineNumbers) {
  test::ScratchDir dir;
  const std::string cut(LineReader::max_record, 'y'), path = (dir.path() / "f").string();
  std::string file = "abc\r\nde\n\n" + cut + "yyy\r\n" + std::string(300000, 'z') + "\n";  // longer than a block
  std::vector<std::string> lines{"abc", "de", "", cut, std::string(LineReader::max_record, 'z')};
  for (int i = 0; i < 60000; ++i) {
    lines.push_back(std::string(i * 7919 % 23, static_cast<char>('a' + i % 26)) + std::to_string(i));
    file += lines.back() + (i % 3 ? "\n" : "\r\n");
  }
  file += cut + std::string(2000, 'x') + "\nafter\r\r\nlast\r";
  dir.write("f", file);
  lines.insert(lines.end(), {cut, "after\r", "last"});
  LineReader in;
  in.open(path, {unit::zone, "f"}, Routine::main_program);
  for (int pass = 0; pass < 2; ++pass, in.rewind()) {
    std::string_view r;
    for (std::size_t k = 0; k < lines.size(); ++k)
      ASSERT_TRUE(in.next(r) && r == lines[k] && in.line_number() == static_cast<long long>(k + 1)) << k;
    EXPECT_FALSE(in.next(r));
    EXPECT_EQ(in.line_number(), static_cast<long long>(lines.size()));
  }
}

}  // namespace
}  // namespace pz
