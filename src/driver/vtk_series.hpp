// The -vtk output of a run: each printout as a VTK file (an unstructured
// grid, or with a zone file a multiblock of one grid per zone) and the
// collection file that lists them with their times.
//
// The collection is rewritten, under a temporary name and then moved into
// place, after every printout: it is valid at any moment and lists the
// printouts written so far, also when the run fails later.
#pragma once

#include <string>
#include <vector>

#include "cells/cells.hpp"
#include "driver/plot_file.hpp"
#include "extract/values.hpp"
#include "mesh/mesh.hpp"
#include "plot/plot.hpp"
#include "plot/vtk.hpp"

namespace pz {

class VtkSeries {
 public:
  // Writes the empty collection of the printout file.
  explicit VtkSeries(const std::string& printout_file);

  // The file a printout with plot file name plot_name is written to:
  // plot_name.vtu, or with a zone file plot_name.vtm.
  static std::string file_name(const std::string& plot_name, bool zones);

  // Writes a printout's grid into plot (opened on file_name()). With a
  // zone file, each zone with points goes to plot_name_<k>.vtu, k counting
  // those zones from 1; the zone files are moved into place once all are
  // written, before the multiblock file that lists them.
  void write(PlotFile& plot, const std::string& plot_name, double time, LineReader* zone_file, const Values& values,
             const Mesh& mesh, Points& points, Cells& cells);

  // Adds a printout's file, now in place, and rewrites the collection.
  void add(const std::string& file, double time);

 private:
  void rewrite();
  std::string name_;
  std::vector<CollectionEntry> entries_;
};

}  // namespace pz
