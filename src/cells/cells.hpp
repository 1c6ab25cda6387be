// Plot cells: four point numbers per cell, and the tracer that finds the
// cells of a planar mesh from its element centres and connections.
#pragma once

#include <array>
#include <span>
#include <vector>

namespace pz {

inline constexpr int cell_capacity = 140000;

struct Cells {
  std::vector<std::array<int, 4>> corners;  // cells 1..count; entry 0 unused
  int count = 0;
};

// The connection lists of a mesh as the tracer walks them (1-based, as the
// mesh holds them): centres[e][0] and [1] are element e's plotted pair; the
// list of element e starts at first_connection[e], and connection k joins
// ends[k][0] and ends[k][1] and continues their lists through
// next_connection[k][0] and [1]; 0 ends a list.
struct ConnectionGraph {
  std::span<const std::array<double, 3>> centres;
  std::span<const int> first_connection;
  std::span<const std::array<int, 2>> ends;
  std::span<const std::array<int, 2>> next_connection;
  int elements = 0;  // elements 1..elements are walked
};

// Traces the counterclockwise faces of the planar graph of the elements
// and their connections, walked by the sharpest strict left turn, into
// cells 1..count: a face of K vertices gives one cell for K = 3 or 4 (three
// vertices repeat the third) and a fan of 1 + ceil((K-4)/2) cells for K > 4.
// A walk that needs a cell beyond capacity stops the run. Returns the count.
// The next step at an element whose list is longer than long_list is found
// by the direction of its connections rather than a look at all of them
// (the cells are the same; the time stays linear in the connections).
inline constexpr int long_connection_list = 32;
int trace_cells(Cells& cells, const ConnectionGraph& graph, int capacity = cell_capacity,
                int long_list = long_connection_list);

}  // namespace pz
