// Plot cells: four point numbers per cell, and the tracer that finds the
// cells of a planar mesh from its element centres and connections; boxes,
// eight element numbers each, found in a three-dimensional mesh.
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
// mesh holds them): centres[e][0] and [1] are element e's plotted pair (and
// [2] its third coordinate, which the box finder uses too); the
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

// Boxes: hexahedra whose corners are element centres. Two rings of four
// elements, each element of a ring joined to the next by a connection, form
// the bottom and the top of a box when four more connections pair their
// corners one to one. Corners are ordered as VTK's hexahedron has them:
// the bottom ring 0-1-2-3, then the top ring 4-5-6-7 with corner 4 joined
// to 0, 5 to 1 and so on, turned so that (1 - 0) x (3 - 0) points towards
// 4: a positive volume.
//
// Against false boxes, a box's eight corners are distinct and the
// connections among them are exactly the box's twelve edges: no face has a
// connected diagonal (a triangle fan, a fault's connections to two
// neighbours) and no body diagonal is connected. At every corner, its three
// edges in the order above span a positive volume, so that a box is neither
// flat nor folded over itself, and no other element joined to the corner
// lies in the box or on its faces (as the corner's edges span it). An
// element joined to more than most_box_neighbours other elements (a
// boundary element tied to a surface, an element joined to all 26 around
// it) is no corner: a block of a hexahedral grid has six neighbours, a few
// more along a fault.
struct Boxes {
  std::vector<std::array<int, 8>> corners;  // element numbers, by their least corner, ascending
  std::vector<int> outside;                 // the elements in no box, ascending
};

inline constexpr int most_box_neighbours = 12;
// Finds every box of elements 1..graph.elements once. Time linear in the
// connections (each element's neighbours are sorted once), memory two
// element numbers per connection.
Boxes find_boxes(const ConnectionGraph& graph, int most_neighbours = most_box_neighbours);

}  // namespace pz
