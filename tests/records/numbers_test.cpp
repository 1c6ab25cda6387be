// Number fields: reading fW.D / eW.D / iW and writing iW and (1p,e14.6).
#include "records/numbers.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

using pz::read_real;

std::string e14(double v) {
  char buf[pz::e14_width];
  EXPECT_EQ(pz::write_e14_6(buf, v), buf + pz::e14_width);
  return std::string(buf, pz::e14_width);
}

std::string e14_exact(double v) {
  char buf[pz::e14_width];
  pz::write_e14_6_exact(buf, v);
  return std::string(buf, pz::e14_width);
}

std::string iw(std::int64_t v, int w) {
  char buf[32];
  return std::string(buf, pz::write_integer(buf, v, w));
}

// The nearest double of a plain decimal text (infinity beyond the range).
double nearest(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

TEST(ReadReal, AcceptedForms) {
  struct Case {
    const char* field;
    int decimals;
    double value;
  } cases[] = {
      // implied decimals (e10.4) and a written point overriding them
      {"12345", 4, 1.2345}, {"10", 4, 0.001}, {"    15    ", 4, 0.0015}, {"1 5", 4, 0.0015},
      {"  1.5E+02 ", 4, 150}, {"12345E2", 4, 123.45}, {"-7", 0, -7}, {"1234", 0, 1234},
      // exponent letters, bare-sign exponents, blanks anywhere
      {"-2.5d1", 0, -25}, {"2.5D-1", 0, 0.25}, {"2.5e1", 0, 25}, {"1.5-3", 0, 0.0015}, {"1.5+3", 0, 1500},
      {"1.5 E - 3", 0, 0.0015}, {"+ 1 . 5 e 2", 0, 150}, {"-1-1", 0, -0.1}, {"1e0000000000000000000005", 0, 1e5},
      // points at either end, blank and right-aligned fields
      {".5", 0, 0.5}, {"5.", 0, 5}, {"", 4, 0}, {"          ", 4, 0}, {" 0.12345E+03", 0, 123.45},
      {"                       0.10000E+06", 0, 1e5}, {"-0.98765E-02", 0, -0.0098765},
      // zero with any exponent, beyond the fast path, underflow, range ends
      {"0e99999999999999999999", 0, 0}, {"0.000000000000000000000000000000000001", 0, 1e-36},
      {"9007199254740993", 0, 9007199254740992.0}, {"9007199254740995", 0, 9007199254740996.0},
      {"1234567890123456789012345678901234567890", 0, 1234567890123456789012345678901234567890.0},
      {"1e-400", 0, 0}, {"4.9e-324", 0, 4.9e-324}, {"2.4703282292062328e-324", 0, 4.9e-324},
      {"2.4703282292062327e-324", 0, 0}, {"1.7976931348623158e308", 0, 1.7976931348623157e308},
      {"1e-320", 0, 1e-320}, {"123456789e-330", 0, 123456789e-330},
  };
  for (const Case& c : cases) {
    double v = -999;
    EXPECT_TRUE(read_real(c.field, c.decimals, v)) << '"' << c.field << '"';
    EXPECT_EQ(v, c.value) << '"' << c.field << '"';
  }
  double v;
  ASSERT_TRUE(read_real("-0", 0, v));
  EXPECT_TRUE(v == 0 && std::signbit(v));
}

TEST(ReadReal, RejectedForms) {
  for (const char* f : {"+", " - ", ".", " -. ", "1.2.3", "1.5E", "1.5e+", "1.5+", "1-", "1.5E+-3", "e5", "1*", "*",
                        "NaN", "nan", "Inf", "-infinity", "1x", "\t1", "1,5", "--1", "1e309", "-1.7976931348623159e308",
                        "1e99999999999999999999999", "1.0Inf"}) {
    double v;
    EXPECT_FALSE(read_real(f, 0, v)) << '"' << f << '"';
  }
}

// Random fields of up to 40 significant digits and wide exponents, laid out
// with blanks, must read as the nearest double of the same plain decimal.
TEST(ReadReal, NearestDoubleOfRandomFields) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 200000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % (i % 2 ? 40 : 17));
    std::string d;
    for (int k = 0; k < digits; ++k) d += static_cast<char>('0' + rng() % 10);
    const int point = static_cast<int>(rng() % (digits + 1));
    const int exp = static_cast<int>(rng() % 700) - 350;
    std::string plain = d;
    plain.insert(static_cast<std::size_t>(point), 1, '.');
    std::string field = plain;  // a blank among the digits, then E or a bare sign
    field.insert(rng() % field.size(), 1, ' ');
    field += i % 3 ? (exp < 0 ? "E" : "E+") : (exp < 0 ? "" : "+");
    field += std::to_string(exp);
    plain += 'e';
    plain += std::to_string(exp);
    const double want = nearest(plain);
    double v = -1;
    if (std::isinf(want)) {
      EXPECT_FALSE(read_real(field, 4, v)) << field;
    } else {
      ASSERT_TRUE(read_real(field, 4, v)) << field;
      ASSERT_EQ(std::bit_cast<std::uint64_t>(v), std::bit_cast<std::uint64_t>(want)) << field;
    }
  }
}

TEST(GluedNumbers, EachNumberEndsWhereTheNextBegins) {
  const struct {
    const char* run;
    std::size_t first;  // length of the first number
  } cases[] = {
      {"0.00000E+00-0.00000E+00", 11},     // a sign after a complete exponent
      {"0.597704E+070.275300E+03", 12},    // a digit after two exponent digits
      {"-.168194E-27-.149887E-35", 12},    // no digit before the point
      {"0.5D-03+1.0", 7},                  // D exponent, a plus sign next
      {"0.1E+100-0.5E+01", 8},             // three exponent digits before a sign
      {"0.123-100-0.5", 9},                // a sign and three digits: an exponent
      {"0.123-10.5", 5},                   // a sign and two digits: the next number
      {"45.0000-12.5", 7},                 // no exponent at all
      {"834.23", 6},                       // one number alone
      {"1.0E", 3},                         // a letter without digits stays behind
      {"E+07", 0}, {"-", 0}, {".", 0}, {"x1", 0},  // no number at the start
  };
  for (const auto& k : cases) EXPECT_EQ(pz::glued_number_length(k.run), k.first) << k.run;
}

TEST(ReadInteger, Fields) {
  struct Case {
    const char* field;
    int value;
  } good[] = {{"", 0}, {"   ", 0}, {"3", 3}, {" -12", -12}, {"+ 7", 7}, {"1 2", 12},
              {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"0000000000042", 42}};
  for (const Case& c : good) {
    int v = -1;
    EXPECT_TRUE(pz::read_integer(c.field, v)) << c.field;
    EXPECT_EQ(v, c.value) << c.field;
  }
  for (const char* f : {"+", "-", "1.0", "1e2", "x", "1-", "2147483648", "-2147483649", "99999999999999999999"}) {
    int v;
    EXPECT_FALSE(pz::read_integer(f, v)) << f;
  }
}

TEST(WriteInteger, WidthsAndOverflow) {
  EXPECT_EQ(iw(0, 5), "    0");
  EXPECT_EQ(iw(-9999, 5), "-9999");
  EXPECT_EQ(iw(-10000, 5), "*****");
  EXPECT_EQ(iw(123456, 5), "*****");
  EXPECT_EQ(iw(99999, 5), "99999");
  EXPECT_EQ(iw(100000, 6), "100000");
  EXPECT_EQ(iw(10000, 4), "****");
  EXPECT_EQ(iw(42, 6), "    42");
  EXPECT_EQ(iw(INT64_MIN, 20), "-9223372036854775808");
  EXPECT_EQ(pz::integer_length(-1), 2);
}

TEST(WriteE14, DocumentedForms) {
  const std::pair<double, const char*> cases[] = {
      {1, "  1.000000E+00"},          {-1234.5678, " -1.234568E+03"},  {0.00025, "  2.500000E-04"},
      {-0.5, " -5.000000E-01"},       {0.0, "  0.000000E+00"},         {-0.0, "  0.000000E+00"},
      {1e-100, "  1.000000-100"},     {1e100, "  1.000000+100"},       {-1e-100, " -1.000000-100"},
      {40738005, "  4.073800E+07"},   {40738015, "  4.073802E+07"},    {0.00048828125, "  4.882812E-04"},
      {9.9999996, "  1.000000E+01"},  {9.9999994, "  9.999999E+00"},   {4.9e-324, "  4.940656-324"},
      {1.7976931348623157e308, "  1.797693+308"}, {-2.2250738585072014e-308, " -2.225074-308"},
      {1e99, "  1.000000E+99"},       {9.9999996e99, "  1.000000+100"}, {123456789012345678.0, "  1.234568E+17"},
  };
  for (const auto& [v, text] : cases) {
    EXPECT_EQ(e14(v), text) << v;
    EXPECT_EQ(e14_exact(v), text) << v;
  }
  EXPECT_EQ(e14(std::nan("")), "**************");
}

// The fast writer against the exact one. Counts are per family; the whole
// sweep is about 10 million values (a tenth under AddressSanitizer).
#if defined(__SANITIZE_ADDRESS__)
constexpr long sweep_scale = 10;
#else
constexpr long sweep_scale = 1;
#endif

class E14Sweep : public ::testing::Test {
 protected:
  std::mt19937_64 rng{2024};
  long mismatches = 0, checked = 0;
  void TearDown() override { RecordProperty("values", std::to_string(checked)); }
  void check(double v) {
    ++checked;
    if (rng() & 1) v = -v;
    const std::string fast = e14(v), exact = e14_exact(v);
    if (fast != exact && ++mismatches <= 5) ADD_FAILURE() << std::hexfloat << v << ": " << fast << " vs " << exact;
  }
  void check_around(double v, int ulps) {
    double up = v, down = v;
    check(v);
    for (int k = 0; k < ulps; ++k) {
      check(up = std::nextafter(up, INFINITY));
      check(down = std::nextafter(down, 0.0));
    }
  }
  // The nearest double of digits * 10^exp.
  double decimal(std::uint64_t digits, int exp) { return nearest(std::to_string(digits) + "e" + std::to_string(exp)); }
};

TEST_F(E14Sweep, RandomBitPatterns) {
  for (long i = 0; i < 4000000 / sweep_scale; ++i) {
    const double v = std::bit_cast<double>(rng());
    if (std::isfinite(v)) check(v);
  }
  for (long i = 0; i < 500000 / sweep_scale; ++i)  // subnormals
    check(std::bit_cast<double>(rng() & ((std::uint64_t{1} << 52) - 1)));
}

TEST_F(E14Sweep, ShortDecimalsAndNeighbours) {
  for (long i = 0; i < 1000000 / sweep_scale; ++i) {
    const std::uint64_t digits = 1000000 + rng() % 99000000;  // 7 or 8 significant digits
    check_around(decimal(digits, static_cast<int>(rng() % 640) - 330), 1);
  }
  for (int k = -323; k <= 308; ++k) {  // powers of ten, and values that round up to them
    check_around(decimal(1, k), 64);
    check_around(decimal(99999995, k - 8), 64);
  }
}

// Exact ties at the 7th digit: 8 significant digits ending in 5, held
// exactly: (10a+5) * 10^j for j >= 0, or r * 2^j with 5^(-j) * r such an
// 8-digit number for j < 0 (2^-11 = 0.00048828125 is one).
TEST_F(E14Sweep, ExactTies) {
  long ties = 0;
  for (long i = 0; i < 1000000 / sweep_scale; ++i) {
    double v;
    const int j = static_cast<int>(rng() % 19) - 11;
    if (j >= 0) {
      v = static_cast<double>((1000000 + rng() % 9000000) * 10 + 5) * std::pow(10.0, j);
      if (v >= 9007199254740992.0) continue;
    } else {
      const std::uint64_t pow5 = static_cast<std::uint64_t>(std::pow(5.0, -j));
      const std::uint64_t lo = (10000000 + pow5 - 1) / pow5, hi = 99999999 / pow5;
      if (lo > hi) continue;
      const std::uint64_t r = (lo + rng() % (hi - lo + 1)) | 1;
      if (r > hi || (r * pow5) % 10 != 5) continue;
      v = std::ldexp(static_cast<double>(r), j);
    }
    ++ties;
    check_around(v, 1);
  }
  EXPECT_GT(ties, 300000 / sweep_scale);
}

}  // namespace
