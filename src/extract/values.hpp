// The values of one printout: the value table `V`, its slot count `NVAL`,
// and the variables header `V1` that names the coordinates and every slot.
#pragma once

#include <string_view>
#include <vector>

#include "records/layouts.hpp"

namespace pz {

struct Values {
  static constexpr int slot_capacity = 120;    // value slots per element and printout
  static constexpr int header_capacity = 600;  // characters of V1

  // V[j][e]: slot j+1 of element e (elements 1-based). A slot's column is
  // allocated the first time the run uses it and kept for later printouts.
  std::vector<std::vector<double>> V;
  int NVAL = 0;
  Text<header_capacity> V1;
  int LV1 = 0;
  int NCOORD = 2;
  int elements = 0;  // located count: elements that own values

  explicit Values(int located = 0) : elements(located) { V1.assign({}); }

  // "Variables = " and the coordinate letters of the projection option, in
  // upper case when upper is set: the header a printout starts with.
  void start_header(int IOPT, bool upper);

  // Makes slots NVAL+1 .. NVAL+count zero for every element and adds them.
  void add_slots(int count);

  std::string_view header() const { return V1.view().substr(0, static_cast<std::size_t>(LV1)); }
  double* slot(int j) { return V[static_cast<std::size_t>(j - 1)].data(); }
  const double* slot(int j) const { return V[static_cast<std::size_t>(j - 1)].data(); }
};

}  // namespace pz
