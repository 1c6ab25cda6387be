// The values of one printout: the value table `V`, its slot count `NVAL`,
// the variables header `V1` that names the coordinates and every slot, and
// the list of arrays that groups the slots by table column.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "records/layouts.hpp"

namespace pz {

// One taken table column: an element-table column owns one slot, a
// connection-table column one slot per plotted coordinate (its vector
// components). The name is the one the header shows, without the
// coordinate letter of a component.
struct ValueArray {
  char name[8];
  int length = 0;      // characters of name
  int first = 0;       // first slot
  int components = 1;  // consecutive slots from first
  std::string_view view() const { return std::string_view(name, static_cast<std::size_t>(length)); }
};

// The plotted coordinates of a projection option, in lower case: "yz" (1),
// "xz" (2), "xy" (3), "xyz" (4 and above).
std::string_view coordinate_letters(int IOPT);

struct Values {
  static constexpr int slot_capacity = 120;    // value slots per element and printout
  static constexpr int header_capacity = 600;  // characters of V1
  // Arrays listed at once: those of the slots, and those of a heading's
  // columns that are added before the table turns out not to fit.
  static constexpr int array_capacity = slot_capacity + 24;

  // V[j][e]: slot j+1 of element e (elements 1-based). A slot's column is
  // allocated the first time the run uses it and kept for later printouts.
  std::vector<std::vector<double>> V;
  int NVAL = 0;
  Text<header_capacity> V1;
  int LV1 = 0;
  int NCOORD = 2;
  int elements = 0;  // located count: elements that own values
  // The columns behind slots 1..NVAL, in slot order: arrays 0..NARR-1.
  std::array<ValueArray, array_capacity> arrays;
  int NARR = 0;

  explicit Values(int located = 0) : elements(located) { V1.assign({}); }

  // "Variables = " and the coordinate letters of the projection option, in
  // upper case when upper is set: the header a printout starts with. The
  // list of arrays starts empty with it.
  void start_header(int IOPT, bool upper);

  // Appends an array of `components` slots from `first`, named by the
  // first 8 characters of name; false when the list is full.
  bool add_array(std::string_view name, int first, int components);

  // Makes slots NVAL+1 .. NVAL+count zero for every element and adds them.
  void add_slots(int count);

  std::string_view header() const { return V1.view().substr(0, static_cast<std::size_t>(LV1)); }
  double* slot(int j) { return V[static_cast<std::size_t>(j - 1)].data(); }
  const double* slot(int j) const { return V[static_cast<std::size_t>(j - 1)].data(); }
};

}  // namespace pz
