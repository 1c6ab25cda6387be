// Plot files in VTK's XML formats, which free viewers (ParaView, VisIt, VTK,
// meshio) open directly:
//
//   run.out.12.vtu    one unstructured grid per printout: the plot points as
//                     3-D points ((u, v, 0) in a plane), the cells, one
//                     point-data array per taken table column, and the
//                     Int32 point array "element": each point's element by
//                     its place in the mesh's ELEME block (from 1), the
//                     same in every printout
//   run.out.12.vtm    with a zone file: a multiblock of one block per zone,
//                     named by the zone's title alone ("lower row" from the
//                     title line 'Zone T="lower row"'), each zone in its own
//                     grid file run.out.12_1.vtu, run.out.12_2.vtu, ...
//   run.out.pvd       the collection: every printout's file with its time
//
// Values are 64-bit floats, written in binary as base64 inside the XML
// (each array a 64-bit byte count, then its bytes, encoded together).
// A cell with a repeated corner becomes the cell of its distinct corners
// (triangle, line or vertex); a plot without cells makes every point a
// vertex cell, so that viewers show the points. Three-dimensional points
// with boxes among them have the boxes as hexahedra, then a vertex cell for
// each point in no box: viewers slice and contour the volumes.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plot/plot.hpp"

namespace pz {

// The writer of the VTK files of a run: it writes the empty collection of
// the printout file at once, and lists every printout's file in it once
// that file is in place. With a zone file (zones set) a printout's file is
// a multiblock.
std::unique_ptr<PlotWriter> make_vtk_writer(const std::string& base_name, bool zones);

// Base64 of in[0..n) (RFC 4648 alphabet, '=' padding): 4 * ceil(n / 3)
// characters at out. Returns the end.
char* base64_encode(const unsigned char* in, std::size_t n, char* out) noexcept;

// Bytes streamed through base64 into a file, encoded in blocks straight
// into the file's buffer.
class Base64Writer {
 public:
  static constexpr std::size_t block = 3 * 1024;  // bytes encoded at once
  explicit Base64Writer(OutFile& out) : out_(out) {}
  void put(const void* data, std::size_t n) {
    if (n < block - used_) {  // the usual case: one value into the block
      std::memcpy(pending_ + used_, data, n);
      used_ += n;
    } else {
      put_long(data, n);
    }
  }
  void put_double(double v) { put(&v, sizeof v); }
  // Encodes what is left, with padding; the writer can then start again.
  void finish();

 private:
  void put_long(const void* data, std::size_t n);
  void encode_block();
  OutFile& out_;
  unsigned char pending_[block];
  std::size_t used_ = 0;
};

// The point-data array names of a printout: each array's whole name
// ("XAIR(L)"), or its shaped name where it has none (a connection-table
// vector, "FGAS"), and where a name repeats an earlier one or is
// element_array_name, the name with "_2", "_3", ... appended (the first
// suffix not taken yet). An empty name is "slotN", N its first slot.
inline constexpr std::string_view element_array_name = "element";
std::vector<std::string> unique_array_names(const PrintoutData& data);

// The names of a printout's values where a vector's components stand as
// values of their own (the -fe files, the history): each array's name from
// unique_array_names, a vector's as one name per component, "_" and the
// plotted coordinate's letter appended ("FGAS_y", "FGAS_z" in the YZ plane).
std::vector<std::string> value_names(const PrintoutData& data);

// VTK cell type codes.
namespace vtk_cell {
inline constexpr unsigned char vertex = 1, line = 3, triangle = 5, quad = 9, hexahedron = 12;
}

// The distinct corners of a plot cell in corner order into out; returns
// their count (1 to 4).
int distinct_corners(const std::array<int, 4>& corners, int* out) noexcept;
// The cell of that many corners (8: a box).
unsigned char cell_type(int corners) noexcept;

// Writes the unstructured grid of a zone (its points in point order, its
// cells, point numbers as in the zone format) with the printout's values
// and its time as field data.
void write_vtu(OutFile& out, const PrintoutData& data, const Mesh& mesh, const Zone& zone);

}  // namespace pz
