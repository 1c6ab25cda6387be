// A printout's plot file. It is written under a temporary name in the same
// directory and renamed into place when complete, so that a run that ends
// inside a printout leaves no empty or partial plot file behind; a plot
// file finished earlier stays as written.
#pragma once

#include <string>

#include "records/files.hpp"

namespace pz {

class PlotFile {
 public:
  // Checks that the plot file may be written and creates its temporary
  // file: failure 9 when permission is denied, 30 when it cannot be created
  // (a directory of that name, for instance), both on unit 2.
  explicit PlotFile(std::string name);
  ~PlotFile();
  PlotFile(const PlotFile&) = delete;
  PlotFile& operator=(const PlotFile&) = delete;

  OutFile& out() { return out_; }
  // Flushes, closes and moves the file into place.
  void commit();

 private:
  std::string name_, temp_;
  OutFile out_;
  bool committed_ = false;
};

// The plot file name of printout n: the printout file name with the name
// proper (not its directory part) lower-cased, then "." and n.
std::string plot_file_name(const std::string& printout_file, long n);

}  // namespace pz
