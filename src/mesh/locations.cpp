// The location file: planar positions for a mesh written without any.
//
//   LOCAT                                   header, columns 1-5 ("LOCAT" or
//                                           "locat" exactly, rest ignored)
//   A1  1     <x, cols 11-30><y, cols 31-50> one record per element
//   (blank name)                            end; later records are not read
//
// Records use "(a5,5x,2f20.0)"; the terminator's number columns are
// converted too, so they must be blank or numeric. A name the mesh does not
// have is passed over; a name listed twice keeps its last values. The end of
// the file before the terminator stops the run.

#include "mesh/mesh.hpp"

namespace pz {

namespace {
constexpr Name locat_upper{'L', 'O', 'C', 'A', 'T'};
constexpr Name locat_lower{'l', 'o', 'c', 'a', 't'};
}  // namespace

std::string location_file_beside(const std::string& mesh_file) {
  const auto slash = mesh_file.rfind('/');
  return (slash == std::string::npos ? std::string() : mesh_file.substr(0, slash + 1)) + "locat";
}

void read_locations(Mesh& mesh, int n, const std::string& location_file) {
  LineReader in;
  constexpr Routine routine = Routine::mesh_reader;
  in.open(location_file, Source{unit::locat, location_file}, routine,
          "locat is read from the folder of the mesh file when every coordinate in the mesh is zero");
  const auto premature_end = [&] {
    stop("Premature EOF on locat", in.end_of_file_context() + "; a blank record ends the locations");
  };
  std::string_view record;
  if (!in.next(record)) premature_end();
  const Name keyword = read_keyword(record);
  if (keyword != locat_upper && keyword != locat_lower)
    stop("no locat in locat", in.where() + ": a location file begins with LOCAT");
  for (;;) {
    if (!in.next(record)) premature_end();
    LocationRecord r;
    try {
      r = read_location_record(record, in.source(), routine);
    } catch (Failure& bad_field) {
      bad_field.at_line(in.line_number());
      throw;
    }
    if (r.name == blank_name) break;
    if (const int e = find_element(mesh.name_index, r.name, n)) {
      mesh.elements.centres[e][0] = r.x;
      mesh.elements.centres[e][1] = r.y;
    }
  }
  in.close();
}

}  // namespace pz
