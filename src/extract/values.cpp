#include "extract/values.hpp"

#include <algorithm>

namespace pz {

void Values::start_header(int IOPT, bool upper) {
  V1.assign("Variables = x y z");
  const char base = upper ? 'X' : 'x';
  char letters[3];
  int n = 2;
  switch (IOPT) {
    case 1: letters[0] = 'y'; letters[1] = 'z'; break;
    case 2: letters[0] = 'x'; letters[1] = 'z'; break;
    case 3: letters[0] = 'x'; letters[1] = 'y'; break;
    default: letters[0] = 'x'; letters[1] = 'y'; letters[2] = 'z'; n = 3; break;
  }
  for (int i = 0; i < n; ++i) V1.c[12 + 2 * i] = static_cast<char>(base + (letters[i] - 'x'));
  LV1 = n == 3 ? 17 : 15;
  NCOORD = n;
  NARR = 0;
}

bool Values::add_array(std::string_view name, int first, int components) {
  if (NARR == array_capacity) return false;
  ValueArray& a = arrays[static_cast<std::size_t>(NARR++)];
  a.length = static_cast<int>(std::min(name.size(), sizeof a.name));
  std::copy_n(name.data(), a.length, a.name);
  a.first = first;
  a.components = components;
  return true;
}

void Values::add_slots(int count) {
  const std::size_t size = static_cast<std::size_t>(elements) + 1;
  for (int j = NVAL; j < NVAL + count; ++j) {
    if (static_cast<std::size_t>(j) >= V.size()) V.emplace_back();
    auto& column = V[static_cast<std::size_t>(j)];
    if (column.size() != size) column.assign(size, 0.0);
    else std::fill(column.begin(), column.end(), 0.0);
  }
  NVAL += count;
}

}  // namespace pz
