#include "extract/values.hpp"

#include <algorithm>

namespace pz {

std::string_view coordinate_letters(int IOPT) {
  switch (IOPT) {
    case 1: return "yz";
    case 2: return "xz";
    case 3: return "xy";
    default: return "xyz";
  }
}

// "Variables = " and the letters separated by blanks, from column 13.
void Values::start_header(int IOPT, bool upper) {
  const std::string_view letters = coordinate_letters(IOPT);
  V1.assign("Variables = ");
  for (std::size_t i = 0; i < letters.size(); ++i)
    V1.c[12 + 2 * i] = static_cast<char>(upper ? letters[i] - 'a' + 'A' : letters[i]);
  NCOORD = static_cast<int>(letters.size());
  LV1 = 11 + 2 * NCOORD;
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
