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
  block_count = 0;
  slot_count = 0;
}

bool PrintoutData::add_array(std::string_view name, int first_slot, int components, std::string_view whole) {
  if (array_count == static_cast<int>(arrays.size())) {
    if (array_count >= capacity.arrays()) return false;
    arrays.emplace_back();
  }
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

int PrintoutData::add_slots(int count, bool compact) {
  // A table without slots shares the last block: at most one block a slot,
  // and one more.
  if (count == 0 && block_count > 0) return block_count - 1;
  if (block_count == static_cast<int>(blocks.size())) blocks.emplace_back();
  SlotBlock& b = blocks[static_cast<std::size_t>(block_count)];
  b.first_slot = slot_count;
  b.width = count;
  // Fresh memory only when the block outgrows what it held before: nothing
  // is copied, and each value is written once here.
  const std::size_t slots = (static_cast<std::size_t>(elements) + 1) * static_cast<std::size_t>(count);
  b.compact = compact && !b.widened;
  if (b.compact) b.codes.assign(slots, compact_zero);
  else b.values.assign(slots, 0.0);
  slot_count += count;
  return block_count++;
}

void PrintoutData::SlotBlock::widen() {
  values.clear();
  values.reserve(codes.size());
  for (const CompactValue code : codes) values.push_back(compact_value(code));
  std::vector<CompactValue>().swap(codes);  // (its memory goes)
  compact = false;
  widened = true;
}

void PrintoutData::drop_slots_after(int kept) {
  while (block_count > 0 && blocks[static_cast<std::size_t>(block_count) - 1].first_slot >= kept) --block_count;
  slot_count = kept;
}

const PrintoutData::SlotBlock& PrintoutData::block_of(int j) const {
  int b = block_count - 1;
  while (b > 0 && blocks[static_cast<std::size_t>(b)].first_slot >= j) --b;
  return blocks[static_cast<std::size_t>(b)];
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
