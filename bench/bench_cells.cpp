// Cell tracing on structured grids of 10 000 and 100 000 elements (the
// latter near the element capacity), regular and jittered. The grids are
// built in memory with their connection lists linked as the mesh reader
// links them, in a common reading order: element by element, the connection
// to the right neighbour, then the one to the neighbour above.

#include <benchmark/benchmark.h>

#include <random>

#include "cells/cells.hpp"

namespace {

struct Grid {
  std::vector<std::array<double, 3>> X{{}};
  std::vector<int> EC;
  std::vector<std::array<int, 2>> E{{}}, CC{{}};
  int n;

  Grid(int w, int h, double jitter) : EC(w * h + 1, 0), n(w * h) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> j(-jitter, jitter);
    for (int i = 0; i < n; ++i) X.push_back({i % w + j(rng), i / w + j(rng), 0.0});
    auto link = [&](int a, int b) {
      const int k = static_cast<int>(E.size());
      E.push_back({a, b});
      CC.push_back({EC[a], EC[b]});
      EC[a] = EC[b] = k;
    };
    for (int i = 0; i < n; ++i) {
      if (i % w + 1 < w) link(i + 1, i + 2);
      if (i + w < n) link(i + 1, i + w + 1);
    }
  }
};

void BM_TraceCells(benchmark::State& state) {
  Grid g(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
         static_cast<double>(state.range(2)) / 100.0);
  pz::Cells cells;
  int ncell = 0;
  for (auto _ : state) {
    ncell = pz::trace_cells(cells, {g.X, g.EC, g.E, g.CC, g.n});
    benchmark::DoNotOptimize(cells.corners.data());
  }
  const auto connections = static_cast<int64_t>(g.E.size() - 1);
  state.SetItemsProcessed(state.iterations() * connections);
  state.counters["elements"] = g.n;
  state.counters["connections"] = static_cast<double>(connections);
  state.counters["cells"] = ncell;
}

// width, height, jitter in hundredths of the spacing
BENCHMARK(BM_TraceCells)
    ->ArgNames({"w", "h", "jitter%"})
    ->Args({105, 95, 0})
    ->Args({105, 95, 20})
    ->Args({333, 300, 0})
    ->Args({333, 300, 20})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
