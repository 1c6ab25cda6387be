#include "extract/printout_data.hpp"

#include <algorithm>

#include "records/layouts.hpp"

namespace pz {

std::string_view coordinate_letters(Projection projection) {
  switch (projection) {
    case Projection::yz: return "yz";
    case Projection::xz: return "xz";
    case Projection::xy: return "xy";
    default: return "xyz";
  }
}

void PrintoutData::start(Projection p, bool upper) {
  projection = p;
  upper_case_letters = upper;
  coordinate_count = static_cast<int>(coordinate_letters(p).size());
  header_length = 11 + 2 * coordinate_count;  // "Variables =" and " X" per coordinate
  array_count = 0;
  slot_count = 0;
}

bool PrintoutData::add_array(std::string_view name, int first_slot, int components, std::string_view whole) {
  if (array_count == array_capacity) return false;
  ValueArray& a = arrays[static_cast<std::size_t>(array_count++)];
  a.length = static_cast<int>(std::min(name.size(), sizeof a.name));
  std::copy_n(name.data(), a.length, a.name);
  std::size_t kept = whole.size();
  if (kept > sizeof a.whole) {
    // Not inside a character: back over the continuation bytes (10xxxxxx)
    // to the byte that begins the character cut off, three at most (a
    // UTF-8 character has four bytes at most; text that is not UTF-8 is cut
    // where it is).
    kept = sizeof a.whole;
    for (int back = 0; back < 3 && (static_cast<unsigned char>(whole[kept]) & 0xC0) == 0x80; ++back) --kept;
  }
  a.whole_length = static_cast<int>(kept);
  std::copy_n(whole.data(), kept, a.whole);
  a.first_slot = first_slot;
  a.components = components;
  return true;
}

void PrintoutData::add_slots(int count) {
  const int wanted = slot_count + count;
  const auto rows = static_cast<std::size_t>(elements) + 1;
  if (wanted > stride) {
    // Room for twice the slots (at least 8, at most the capacity): a run
    // whose printouts grow table by table moves its values a few times.
    const int wider = std::min(slot_capacity, std::max({wanted, 2 * stride, 8}));
    LargeArray<double> moved(rows * static_cast<std::size_t>(wider));
    for (std::size_t e = 0; e < rows && slot_count > 0; ++e)
      std::copy_n(values.data() + e * static_cast<std::size_t>(stride), slot_count, moved.data() + e * static_cast<std::size_t>(wider));
    values.swap(moved);
    stride = wider;
  }
  for (std::size_t e = 0; e < rows; ++e)
    std::fill_n(values.data() + e * static_cast<std::size_t>(stride) + slot_count, count, 0.0);
  slot_count = wanted;
}

double printout_time(std::string_view values_line, long number) {
  const std::size_t first = values_line.find_first_not_of(' ');
  if (first == std::string_view::npos) return static_cast<double>(number);
  std::size_t last = values_line.find(' ', first);
  if (last == std::string_view::npos) last = values_line.size();
  double t;
  if (!read_table_cell(values_line.substr(first, last - first), t)) return static_cast<double>(number);
  return t;
}

}  // namespace pz
