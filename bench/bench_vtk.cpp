// Plot writers on the max-size plane: 99 999 points (a 369 x 271 grid) with
// 20 value slots each (12 element columns, 4 vectors of 2 components) and
// the grid's 99 360 quadrilateral cells, written to /dev/null, so that only
// the writing is timed: the zone format against the VTK grid.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "plot/plot.hpp"
#include "plot/vtk.hpp"

namespace {

struct Case {
  pz::Mesh mesh;
  pz::Values values;
  pz::Points points;
  pz::Cells cells;

  Case() {
    constexpr int nx = 369, nz = 271, n = nx * nz;
    mesh.X.assign(n + 1, {0, 0, 0});
    for (int k = 0; k < nz; ++k)
      for (int i = 0; i < nx; ++i) mesh.X[static_cast<std::size_t>(k * nx + i + 1)] = {5.0 + 10 * i, -2.5 - 5 * k, 0};
    points.identity(n);
    values = pz::Values(n);
    values.start_header(2, true);
    std::mt19937_64 rng(3);
    for (int j = 0; j < 12; ++j) values.add_array("C", values.NVAL + 1, 1), values.add_slots(1);
    for (int j = 0; j < 4; ++j) values.add_array("V", values.NVAL + 1, 2), values.add_slots(2);
    for (int j = 1; j <= values.NVAL; ++j) {
      for (int e = 1; e <= n; ++e) {
        const double u = static_cast<double>(rng() >> 11) / 9007199254740992.0;
        values.slot(j)[e] = std::ldexp(0.5 + u, static_cast<int>(rng() % 40) - 20);
      }
    }
    cells.CAT.push_back({0, 0, 0, 0});
    for (int k = 0; k + 1 < nz; ++k)
      for (int i = 0; i + 1 < nx; ++i) {
        const int a = k * nx + i + 1;
        cells.CAT.push_back({a, a + 1, a + nx + 1, a + nx});
      }
    cells.NCELL = static_cast<int>(cells.CAT.size()) - 1;
  }
};

Case& the_case() {
  static Case c;
  return c;
}

void BM_zone_format(benchmark::State& state) {
  Case& c = the_case();
  pz::OutFile out;
  for (auto _ : state) {
    out.create("/dev/null");
    pz::write_plot(out, c.values, c.mesh, c.points, c.cells);
    out.close();
  }
  state.SetItemsProcessed(state.iterations() * c.points.NPTS);
}

void BM_vtk(benchmark::State& state) {
  Case& c = the_case();
  pz::OutFile out;
  for (auto _ : state) {
    out.create("/dev/null");
    pz::write_vtu(out, c.values, c.mesh, c.points, c.cells, 1.0);
    out.close();
  }
  state.SetItemsProcessed(state.iterations() * c.points.NPTS);
}

void BM_base64(benchmark::State& state) {
  std::vector<unsigned char> in(3 << 20);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
  std::vector<char> out(in.size() / 3 * 4);
  for (auto _ : state) {
    benchmark::DoNotOptimize(pz::base64_encode(in.data(), in.size(), out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(in.size()));
}

}  // namespace

BENCHMARK(BM_zone_format)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_vtk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_base64)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
