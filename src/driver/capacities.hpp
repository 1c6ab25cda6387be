// How large the tables of a run may grow. By default every table has its
// fixed size, and input past it stops the run ("too many elements in
// MESH", "too many cells") or leaves a table out; with -large each table
// grows with its input, and the zone format writes counts and point
// numbers that do not fit their fields in the columns they need.
#pragma once

#include <limits>

#include "cells/cells.hpp"
#include "extract/printout_data.hpp"
#include "mesh/mesh.hpp"
#include "plot/zone/zone_records.hpp"

namespace pz {

struct Capacities {
  MeshCapacity mesh;          // elements, connections, name-index buckets
  int cells = cell_capacity;  // traced, or per zone of a zone file
  ExtractCapacity printout;   // value slots, header characters, columns per heading
  NumberFields zone_fields = NumberFields::fixed;

  // Tables as large as their input (the name index keeps its buckets).
  static constexpr Capacities unbounded() {
    constexpr int most = std::numeric_limits<int>::max();
    return {{most, most, MeshCapacity{}.buckets}, most, ExtractCapacity::unbounded(), NumberFields::widened};
  }
};

}  // namespace pz
