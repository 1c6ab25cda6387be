// One printout's data, as its tables fill it: the value slots of every
// element, the arrays that group the slots by table column and name them,
// and the printout's number and time. The plot writers read it. An
// element-table value of at most 7 significant digits stays in its slot as
// written (a short decimal or a compact value, see records/short_decimals.hpp):
// writers of binary values take binary_value() of a slot's value().
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <string_view>
#include <vector>

#include "mesh/mesh.hpp"
#include "records/short_decimals.hpp"

namespace pz {

// One taken table column: an element-table column owns one slot (a scalar),
// a connection-table column one slot per plotted coordinate (a vector, its
// components). The name is the shaped column name, at most 5 characters,
// as the zone format's header holds it; the whole name is the column's name
// as its heading prints it ("XAIR(L)", "Heat Flow"), at most
// whole_name_capacity bytes, where the VTK files name the array by it.
struct ValueArray {
  static constexpr int whole_name_capacity = 64;
  char name[8];
  char whole[whole_name_capacity];
  int length = 0;        // characters of name
  int whole_length = 0;  // bytes of whole; 0: the array has no whole name
  int first_slot = 0;    // slots first_slot .. first_slot + components - 1
  int components = 1;
  std::string_view view() const { return std::string_view(name, static_cast<std::size_t>(length)); }
  std::string_view whole_name() const { return std::string_view(whole, static_cast<std::size_t>(whole_length)); }
  bool is_vector() const { return components > 1; }
};

// The plotted coordinates of a projection, in lower case: "yz", "xz", "xy",
// or "xyz" (also for the automatic projection, which the mesh reader
// settles before any table is read).
std::string_view coordinate_letters(Projection projection);

// How far a printout's tables may fill it: a table that would go further
// is left out, with the rest of its printout. The fixed sizes by default;
// unbounded() lets every table grow with its input.
struct ExtractCapacity {
  int slots = 120;    // value slots per element and printout
  // The zone format's header line, "Variables = X Y P T ...", holds at most
  // 600 characters: a table whose names would take it further is dropped.
  int header = 600;
  int columns = 20;   // column names per table heading
  static constexpr ExtractCapacity unbounded() {
    constexpr int most = std::numeric_limits<int>::max();
    return {most, most, most};
  }
  // Arrays listed at once: those of the slots, and those of a heading's
  // columns that are added before the table turns out not to fit.
  constexpr int arrays() const { return slots > std::numeric_limits<int>::max() - 24 ? slots : slots + 24; }
};

struct PrintoutData {
  // The arrays and blocks the fixed capacity needs are made at once; past
  // it, they grow as tables add them.
  static constexpr int fixed_arrays = ExtractCapacity{}.arrays();

  long number = 0;   // printouts count from 1
  double time = 0;   // the first number of the printout's values line
  Projection projection = Projection::xy;
  int coordinate_count = 2;
  bool upper_case_letters = true;  // coordinate letters X Y Z, or x y z
  int header_length = 0;           // characters of the header line the arrays make

  // The value slots, a block per table: a table's slots follow those of
  // the tables before it, and block b holds slots first_slot+1 ..
  // first_slot+width of every element, an element's side by side, so that a
  // table row touches one place in memory. A table adds a block of its own
  // and never moves the values of the tables before it; the blocks' memory
  // is kept for later printouts.
  //
  // An element table's block holds compact values (see records/short_decimals.hpp),
  // in half the memory, as long as every value has a code: the first that
  // has none turns the block into doubles, the values so far with it, for
  // this and every later printout.
  struct SlotBlock {
    int first_slot = 0;  // slots before the block's
    int width = 0;
    bool compact = false;  // its values are codes
    bool widened = false;  // it was turned into doubles
    std::vector<double> values;  // values[e * width + k]: slot first_slot+k+1 of element e (from 1)
    std::vector<CompactValue> codes;  // the same as codes, while compact
    double* row(int e) { return values.data() + static_cast<std::ptrdiff_t>(e) * width; }
    const double* row(int e) const { return values.data() + static_cast<std::ptrdiff_t>(e) * width; }
    CompactValue* code_row(int e) { return codes.data() + static_cast<std::ptrdiff_t>(e) * width; }
    const CompactValue* code_row(int e) const { return codes.data() + static_cast<std::ptrdiff_t>(e) * width; }
    // Slot first_slot+k+1 of element e, as written (a short decimal where
    // it was one).
    double value(int e, int k) const { return compact ? compact_value(code_row(e)[k]) : row(e)[k]; }
    // Turns the codes into doubles, for good.
    void widen();
  };
  std::vector<SlotBlock> blocks;  // blocks 0..block_count-1 in use, in slot order
  int block_count = 0;
  int slot_count = 0;  // slots in use
  std::vector<ValueArray> arrays;  // arrays 0..array_count-1, in slot order
  int array_count = 0;
  int elements = 0;  // the located count: elements that own values
  ExtractCapacity capacity;

  explicit PrintoutData(int located = 0, const ExtractCapacity& limits = {})
      : arrays(static_cast<std::size_t>(std::min(limits.arrays(), fixed_arrays))), elements(located), capacity(limits) {
    blocks.reserve(static_cast<std::size_t>(std::min(limits.slots, ExtractCapacity{}.slots)) + 1);
  }

  // Starts the printout's arrays afresh: no array and no slot yet,
  // coordinate letters of the projection in upper case when upper is set.
  void start(Projection p, bool upper);

  // Appends an array of `components` slots from `first_slot`, named by the
  // first 8 characters of name and, when given, the whole name, cut to its
  // capacity at a UTF-8 character boundary; false when the list is full.
  bool add_array(std::string_view name, int first_slot, int components, std::string_view whole = {});

  // Adds slots slot_count+1 .. slot_count+count, zero for every element, as
  // a block of their own, of compact values when asked and the block was
  // never widened: returns its number (for no slot, the last block's).
  int add_slots(int count, bool compact = false);
  // Gives up the slots after the first `kept`, with the blocks that hold them
  // (kept is where a block begins).
  void drop_slots_after(int kept);

  // The block that holds slot j (from 1).
  const SlotBlock& block_of(int j) const;
};

// The time of a printout: the first word of its values line read as a
// table cell, or the printout number where that word is not a number.
double printout_time(std::string_view values_line, long number);

}  // namespace pz
