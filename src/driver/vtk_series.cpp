#include "driver/vtk_series.hpp"

namespace pz {

VtkSeries::VtkSeries(const std::string& printout_file) : name_(collection_file_name(printout_file)) { rewrite(); }

std::string VtkSeries::file_name(const std::string& plot_name, bool zones) {
  return plot_name + (zones ? ".vtm" : ".vtu");
}

void VtkSeries::write(PlotFile& plot, const std::string& plot_name, double time, LineReader* zone_file,
                      const Values& values, const Mesh& mesh, Points& points, Cells& cells) {
  if (zone_file == nullptr) {
    write_vtu(plot.out(), values, mesh, points, cells, time);
    return;
  }
  std::vector<Block> blocks;
  std::vector<FinishedFile> finished;
  for_each_zone(*zone_file, mesh, points, cells, [&](std::string_view title) {
    const std::string name = plot_name + "_" + std::to_string(blocks.size() + 1) + ".vtu";
    PlotFile zone(name);
    write_vtu(zone.out(), values, mesh, points, cells, time);
    finished.push_back(zone.finish());
    blocks.push_back(Block{std::string(title), file_name_part(name)});
  });
  write_vtm(plot.out(), blocks);
  for (FinishedFile& f : finished) f.commit();
}

void VtkSeries::add(const std::string& file, double time) {
  entries_.push_back(CollectionEntry{file_name_part(file), time});
  rewrite();
}

void VtkSeries::rewrite() {
  PlotFile pvd(name_);
  write_pvd(pvd.out(), entries_);
  pvd.commit();
}

}  // namespace pz
