// Plot writers on the max-size plane: 99 999 points (a 369 x 271 grid) with
// 20 value slots each (12 element columns kept as printed, 4 vectors of 2
// components) and the grid's 99 360 quadrilateral cells, written to
// /dev/null, so that only the writing is timed: the zone format against the
// VTK grid.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "plot/vtk/vtk_format.hpp"
#include "plot/zone/zone_format.hpp"
#include "records/number_writing.hpp"

namespace {

struct Case {
  static constexpr int nx = 369, nz = 271, n = nx * nz;
  pz::Mesh mesh;
  pz::PrintoutData data{n};
  pz::PlotZones zones;

  Case() {
    auto& centres = mesh.elements.centres;
    centres.assign(n + 1, {0, 0, 0});
    for (int k = 0; k < nz; ++k)
      for (int i = 0; i < nx; ++i) centres[static_cast<std::size_t>(k * nx + i + 1)] = {5.0 + 10 * i, -2.5 - 5 * k, 0};
    mesh.elements.count = mesh.elements.located = n;
    data.start(pz::Projection::xz, true);
    std::mt19937_64 rng(3);
    // An element table of 12 columns and a connection table of 4.
    for (int j = 0; j < 12; ++j) data.add_array("C", j + 1, 1);
    data.add_slots(12, true);
    for (int j = 0; j < 4; ++j) data.add_array("V", 13 + 2 * j, 2);
    data.add_slots(8);
    // Element values as the table reader keeps them, the digits printed
    // (" 0.56436E+07") as compact values; the sums of connection values in
    // binary.
    char printed[16];
    for (int b = 0; b < data.block_count; ++b) {
      auto& block = data.blocks[static_cast<std::size_t>(b)];
      for (int e = 1; e <= n; ++e)
        for (int k = 0; k < block.width; ++k) {
          const double u = static_cast<double>(rng() >> 11) / 9007199254740992.0;
          if (b == 0) {
            std::snprintf(printed, sizeof printed, "%s0.%05dE%+03d", rng() % 4 ? " " : "-",
                          static_cast<int>(10000 + rng() % 90000), static_cast<int>(rng() % 13) - 6);
            double as_written;
            pz::read_real_as_written(printed, 0, as_written);
            pz::compact_code(as_written, block.code_row(e)[k]);
          } else {
            block.row(e)[k] = std::ldexp(0.5 + u, static_cast<int>(rng() % 40) - 20);
          }
        }
    }
    pz::Cells cells;
    cells.corners.push_back({0, 0, 0, 0});
    for (int k = 0; k + 1 < nz; ++k)
      for (int i = 0; i + 1 < nx; ++i) {
        const int a = k * nx + i + 1;
        cells.corners.push_back({a, a + 1, a + nx + 1, a + nx});
      }
    cells.count = static_cast<int>(cells.corners.size()) - 1;
    zones = pz::traced_zone(mesh, std::move(cells));
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
    pz::write_zone_format(out, c.data, c.zones, c.mesh);
    out.close();
  }
  state.SetItemsProcessed(state.iterations() * Case::n);
}

void BM_vtk(benchmark::State& state) {
  Case& c = the_case();
  pz::OutFile out;
  for (auto _ : state) {
    out.create("/dev/null");
    pz::write_vtu(out, c.data, c.mesh, c.zones.zones.front());
    out.close();
  }
  state.SetItemsProcessed(state.iterations() * Case::n);
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
