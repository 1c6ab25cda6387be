// A printout's plot file. It is written under a temporary name of its own
// in the same directory, created new (never through an existing file or
// link), and renamed over the plot file's name when complete, so that a run
// that ends inside a printout leaves no empty or partial plot file behind,
// a plot file finished earlier stays as written, and two runs at once in
// one folder never mix their output. A signal that ends the run (SIGINT,
// SIGTERM, SIGHUP, SIGXFSZ) removes the temporary files first.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "plot/plot.hpp"
#include "records/files.hpp"

namespace pz {

// A complete file still under its temporary name: commit() moves it into
// place; a file not committed is removed when the object goes.
class FinishedFile {
 public:
  FinishedFile(std::string temp, std::string name) : temp_(std::move(temp)), name_(std::move(name)) {}
  FinishedFile(FinishedFile&& other) noexcept;
  FinishedFile& operator=(FinishedFile&&) = delete;
  ~FinishedFile();
  void commit();

 private:
  std::string temp_, name_;
  bool pending_ = true;
};

class PlotFile {
 public:
  // Checks that the plot file may be written and creates its temporary
  // file: failure 9 when permission is denied, 30 when it cannot be created
  // (a directory of that name, for instance), both on unit 2, with the
  // path and the system's reason.
  explicit PlotFile(std::string name);
  ~PlotFile();
  PlotFile(const PlotFile&) = delete;
  PlotFile& operator=(const PlotFile&) = delete;

  OutFile& out() { return out_; }
  // Flushes, closes and moves the file into place.
  void commit();
  // Flushes and closes the file, and hands over the moving into place: for
  // the files of a printout that are moved together once all are written.
  FinishedFile finish();
  // Flushes the file and moves it into place, keeping it open: returns its
  // descriptor, for a file that is then changed in place.
  int commit_open();

 private:
  std::string name_, temp_;
  OutFile out_;
  bool committed_ = false;
};

// A printout's plot of one file, written whole by write(out, data, zones)
// and moved into place at commit (the zone format and its finite-element
// form).
template <class Write>
class OneFilePlot final : public PrintoutPlot {
 public:
  OneFilePlot(std::string file_name, Write write) : file_(std::move(file_name)), write_(std::move(write)) {}

  void write(const PrintoutData& data, const PlotZones& zones, const Mesh&) override {
    time = data.time;
    write_(file_.out(), data, zones);
    finished_.emplace(file_.finish());
  }
  void commit() override { finished_->commit(); }

 private:
  PlotFile file_;
  Write write_;
  std::optional<FinishedFile> finished_;
};

template <class Write>
std::unique_ptr<PrintoutPlot> one_file_plot(std::string file_name, Write write) {
  return std::make_unique<OneFilePlot<Write>>(std::move(file_name), std::move(write));
}

// Makes the signals that end a run remove its temporary files first, then
// end it as they would have (a signal ignored when the program started
// stays ignored): SIGINT, SIGTERM, SIGHUP and SIGXFSZ.
void remove_temporaries_on_signals();

// What the plot files are named after: the printout file name with the
// name proper (not its directory part) lower-cased, in output_folder
// instead of its own when one is given.
std::string plot_base_name(const std::string& printout_file, const std::string& output_folder = {});

// The plot file name of printout n: the base name, "." and n.
std::string plot_file_name(const std::string& base_name, long n);

// The collection file of the -vtk output: the base name and ".pvd".
std::string collection_file_name(const std::string& base_name);

// The name proper of a path: what follows its last "/".
std::string file_name_part(const std::string& path);

}  // namespace pz
