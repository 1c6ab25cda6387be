// Plot cells: four point numbers per cell, and `catalog`, which traces the
// cells of a planar mesh from element centres and connections.
#pragma once

#include <array>
#include <span>
#include <vector>

namespace pz {

inline constexpr int cell_capacity = 140000;

struct Cells {
  std::vector<std::array<int, 4>> CAT;  // 1-based; entry 0 unused
  int NCELL = 0;
};

// Traces the counterclockwise faces of the planar graph of elements 1..n
// (coordinates u, v = X[e][0], X[e][1]) and their connections, walked by
// the sharpest strict left turn, into cells 1..NCELL: a face of K vertices
// gives one cell for K = 3 or 4 (three vertices repeat the third) and a fan
// of 1 + ceil((K-4)/2) cells for K > 4. EC and CC are used as marks during
// the call and hold their entry values on return. A walk that needs a cell
// beyond capacity stops the run. Returns NCELL.
int catalog(Cells& cells, std::span<const std::array<double, 3>> X, std::span<int> EC,
            std::span<const std::array<int, 2>> E, std::span<std::array<int, 2>> CC, int n,
            int capacity = cell_capacity);

}  // namespace pz
