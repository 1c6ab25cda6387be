// Cell tracing on structured grids of 10 000 and 100 000 elements (the
// latter near the element capacity), regular and jittered. The grids are
// built in memory with their connection lists linked as the mesh reader
// links them, in a common reading order: element by element, the connection
// to the right neighbour, then the one to the neighbour above.
//
// And on the hub shape: a square surface of 10 000 to 80 000 cells at unit
// spacing with a boundary element above its middle tied to every cell, as
// a MESH file that the mesh reader reads with the automatic plane or -xy.
//
// Box finding on blocks of 10 000 and 100 000 elements (the largest as
// gen_mesh 3d makes it), joined to their six neighbours, and the same with
// a boundary element above tied to every element of the top layer.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "cells/cells.hpp"
#include "mesh/mesh.hpp"

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

// The hub shape's MESH in a scratch folder: side x side surface cells
// "C" + four base-36 digits, each connected to its right and upper
// neighbours and to the boundary element "ATM 0" at (middle, middle, 10).
std::string write_hub_mesh(int side) {
  const auto dir = std::filesystem::temp_directory_path() / ("bench_cells_hub_" + std::to_string(side));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "MESH").string();
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return path;
  auto name = [](int k) {
    std::string n = "C0000";
    for (int i = 4; i >= 1; --i, k /= 36)
      n[static_cast<std::size_t>(i)] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[k % 36];
    return n;
  };
  auto element = [f](const std::string& n, double x, double y, double z) {
    std::fprintf(f, "%-5.5s%45s%10.4f%10.4f%10.4f\n", n.c_str(), "", x, y, z);
  };
  auto connection = [f](const std::string& a, const std::string& b) {
    std::fprintf(f, "%-5.5s%-5.5s%40s%10.4f\n", a.c_str(), b.c_str(), "", 1.0);
  };
  std::fprintf(f, "ELEME\n");
  for (int k = 0; k < side * side; ++k) element(name(k), k % side, k / side, 0.0);
  element("ATM 0", (side - 1) / 2.0, (side - 1) / 2.0, 10.0);
  std::fprintf(f, "\nCONNE\n");
  for (int k = 0; k < side * side; ++k) {
    if (k % side + 1 < side) connection(name(k), name(k + 1));
    if (k + side < side * side) connection(name(k), name(k + side));
    connection(name(k), "ATM 0");
  }
  std::fprintf(f, "+++\n");
  std::fclose(f);
  return path;
}

void BM_TraceHub(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  pz::Projection plane = state.range(1) == 0 ? pz::Projection::automatic : pz::Projection::xy;
  pz::Mesh mesh;
  const std::string path = write_hub_mesh(side);
  pz::read_mesh(mesh, plane, {}, path, path + ".locat");
  const auto& e = mesh.elements;
  const auto& c = mesh.connections;
  pz::Cells cells;
  int ncell = 0;
  for (auto _ : state) {
    ncell = pz::trace_cells(cells, {e.centres, e.first_connection, c.ends, c.next_connection, e.located});
    benchmark::DoNotOptimize(cells.corners.data());
  }
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
  state.SetItemsProcessed(state.iterations() * c.count);
  state.counters["hub_connections"] = side * side;
  state.counters["cells"] = ncell;
}

// side of the surface; 0: the automatic plane, 1: -xy
BENCHMARK(BM_TraceHub)
    ->ArgNames({"side", "xy"})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({200, 0})
    ->Args({200, 1})
    ->Args({283, 0})
    ->Args({283, 1})
    ->Unit(benchmark::kMillisecond);

struct Block {
  std::vector<std::array<double, 3>> X{{}};
  std::vector<int> EC;
  std::vector<std::array<int, 2>> E{{}}, CC{{}};
  int n;

  Block(int nx, int ny, int nz, bool hub) : EC(nx * ny * nz + 2, 0), n(nx * ny * nz + (hub ? 1 : 0)) {
    for (int i = 0; i < nx * ny * nz; ++i) X.push_back({i % nx * 20.0, i / nx % ny * 20.0, i / (nx * ny) * -5.0});
    auto link = [&](int a, int b) {
      const int k = static_cast<int>(E.size());
      E.push_back({a, b});
      CC.push_back({EC[a], EC[b]});
      EC[a] = EC[b] = k;
    };
    for (int i = 0; i < nx * ny * nz; ++i) {
      if (i % nx + 1 < nx) link(i + 1, i + 2);
      if (i / nx % ny + 1 < ny) link(i + 1, i + nx + 1);
      if (i + nx * ny < nx * ny * nz) link(i + 1, i + nx * ny + 1);
    }
    if (!hub) return;
    X.push_back({nx * 10.0, ny * 10.0, 100.0});
    for (int i = 0; i < nx * ny; ++i) link(i + 1, n);
  }
};

void BM_FindBoxes(benchmark::State& state) {
  const Block b(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                static_cast<int>(state.range(2)), state.range(3) != 0);
  std::size_t boxes = 0;
  for (auto _ : state) {
    const pz::Boxes found = pz::find_boxes({b.X, b.EC, b.E, b.CC, b.n});
    boxes = found.corners.size();
    benchmark::DoNotOptimize(found.corners.data());
  }
  const auto connections = static_cast<int64_t>(b.E.size() - 1);
  state.SetItemsProcessed(state.iterations() * connections);
  state.counters["elements"] = b.n;
  state.counters["connections"] = static_cast<double>(connections);
  state.counters["boxes"] = static_cast<double>(boxes);
}

// nx, ny, nz; 1: a boundary element tied to the top layer
BENCHMARK(BM_FindBoxes)
    ->ArgNames({"nx", "ny", "nz", "hub"})
    ->Args({22, 22, 21, 0})
    ->Args({46, 46, 47, 0})
    ->Args({46, 46, 47, 1})
    ->Args({200, 200, 2, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
