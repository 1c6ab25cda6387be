// Number field conversion: ns per field for reading realistic fields and
// writing realistic values in (1p,e14.6).
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "records/number_reading.hpp"
#include "records/number_writing.hpp"

namespace {

// Table cells as printouts show them (right-aligned in the 40-column f40.0
// field) and e10.4 coordinate fields of a mesh file.
struct Field {
  std::string text;
  int decimals;
};

std::vector<Field> realistic_fields() {
  std::mt19937_64 rng(5);
  std::vector<Field> f;
  char buf[64];
  for (int i = 0; i < 4096; ++i) {
    const double mant = 0.1 + 0.9 * static_cast<double>(rng() % 100000) / 100000.0;
    const int exp = static_cast<int>(rng() % 17) - 8;
    const char* sign = rng() % 4 == 0 ? "-" : "";
    switch (i % 4) {
      case 0:  // table cell, as printed with a 5-digit mantissa
      case 1:
        std::snprintf(buf, sizeof buf, "%s%.5fE%+03d", sign, mant, exp);
        f.push_back({std::string(40 - std::strlen(buf), ' ') + buf, 0});
        break;
      case 2:  // mesh coordinate, e10.4 with a point
        std::snprintf(buf, sizeof buf, "%10.4e", mant * std::pow(10.0, exp % 4));
        f.push_back({std::string(buf).substr(0, 10), 4});
        break;
      default:  // short forms: "-2.5d1", "1.5-3", implied decimals
        static const char* const shortf[] = {"-2.5d1", "1.5-3", "    12345 ", "  1.5E+02 ", "0.", "-1234.5678"};
        f.push_back({shortf[rng() % 6], 4});
    }
  }
  return f;
}

std::vector<double> realistic_values() {
  std::mt19937_64 rng(9);
  std::vector<double> v;
  for (int i = 0; i < 4096; ++i) {
    const double u = static_cast<double>(rng() >> 11) / 9007199254740992.0;
    switch (i % 4) {
      case 0: v.push_back(std::ldexp(u, static_cast<int>(rng() % 80) - 40)); break;      // pressures, fluxes
      case 1: v.push_back(-1000.0 + 2000.0 * u); break;                                 // coordinates
      case 2: v.push_back(std::round(u * 1e6) / 1e3); break;                            // printed values
      default: v.push_back((rng() % 8 == 0) ? 0.0 : 1e5 * (0.5 + u)); break;            // zeros, 1e5-ish
    }
  }
  return v;
}

void BM_read_real(benchmark::State& state) {
  const auto fields = realistic_fields();
  std::size_t i = 0;
  for (auto _ : state) {
    double v;
    const Field& f = fields[i++ & 4095];
    benchmark::DoNotOptimize(pz::read_real(f.text, f.decimals, v));
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}

// Element-table cells as the simulators print them, in the 13-column
// windows of their tables: "  0.10006E+06", " -0.56169E-02".
void BM_read_table_value(benchmark::State& state) {
  std::mt19937_64 rng(11);
  std::vector<std::string> cells;
  char buf[32];
  for (int i = 0; i < 4096; ++i) {
    const int exponent = static_cast<int>(rng() % 13) - 6;
    std::snprintf(buf, sizeof buf, "%s0.%05dE%+03d", rng() % 4 == 0 ? "-" : "", static_cast<int>(rng() % 100000),
                  exponent);
    cells.push_back(std::string(13 - std::strlen(buf), ' ') + buf);
  }
  std::size_t i = 0;
  for (auto _ : state) {
    double v;
    benchmark::DoNotOptimize(pz::read_real_as_written(cells[i++ & 4095], 0, v));
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_read_table_value);

void BM_from_chars_reference(benchmark::State& state) {  // std::from_chars of the trimmed text
  std::vector<std::string> texts;
  for (const Field& f : realistic_fields()) {
    std::string t;
    for (char c : f.text)
      if (c != ' ') t += (c == 'd' || c == 'D') ? 'e' : c;
    texts.push_back(t);
  }
  std::size_t i = 0;
  for (auto _ : state) {
    double v;
    const std::string& t = texts[i++ & 4095];
    benchmark::DoNotOptimize(std::from_chars(t.data(), t.data() + t.size(), v));
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}

template <char* (*Write)(char*, double) noexcept>
void BM_write(benchmark::State& state) {
  const auto values = realistic_values();
  char out[pz::e14_width];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Write(out, values[i++ & 4095]));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_write_e14_6_random_bits(benchmark::State& state) {
  std::mt19937_64 rng(3);
  std::vector<double> values;
  while (values.size() < 4096) {
    const double v = std::bit_cast<double>(rng());
    if (std::isfinite(v)) values.push_back(v);
  }
  char out[pz::e14_width];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(pz::write_e14_6(out, values[i++ & 4095]));
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_read_real);
BENCHMARK(BM_from_chars_reference);
BENCHMARK(BM_write<pz::write_e14_6>)->Name("BM_write_e14_6");
BENCHMARK(BM_write<pz::write_e14_6_exact>)->Name("BM_write_e14_6_exact_to_chars");
BENCHMARK(BM_write_e14_6_random_bits);

BENCHMARK_MAIN();
