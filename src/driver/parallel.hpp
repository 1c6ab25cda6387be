// Printouts converted several at once.
//
// Once the mesh, the cells and the zones are read, each printout's plot
// files depend on its own lines alone. A scan reads the printout file and
// finds where printouts begin (header lines, each followed by its values
// line); worker threads convert the printouts found, each reading the file
// from its own header line on (by position, in blocks, as a run of one
// thread reads it: no mapping, whose pages cost a page-table entry each on
// first touch), with the same code as a run of one printout after
// another; the main thread then takes the results in printout order: it
// writes each printout's console output (kept by its worker), and commits
// its plot files, or ends the run with the printout's failure, after which
// nothing of the later printouts is left behind.
//
// The scan's guess of where a printout ends (the next header line) is
// checked against where its conversion ended: a table row that names an
// element is never a header line, whatever it looks like, so a conversion
// may run past the guess. The later printouts are then dropped and found
// again from where it ended. Once two printouts are found, the scan takes
// the next to follow as the last followed the one before, where a header
// line stands there or nearby, without reading between: printouts of one
// run are often alike, to the byte or nearly; with one found and much of
// it read, the second where the rest of the file would have it. Those
// guesses, their line numbers and a guessed end of the file are checked in
// the same way.
//
// At most twice as many printouts as threads are in flight, so memory
// depends on the threads and the widest printout, not on the file's length.
//
// The scan for the first printouts begins while the mesh is read (see
// EarlyScan); once the mesh's elements are read, a worker fewer than the
// threads begins on the printouts it has found, beside the reading of the
// connections, which their other tables wait for (see Conversion::mesh_read);
// a worker about to wait so hands the next printout found to another.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "driver/conversion.hpp"
#include "driver/printout_scan.hpp"
#include "driver/progress.hpp"
#include "records/cpu_sharing.hpp"
#include "records/files.hpp"

namespace pz {

// At most this many printouts are in flight at once.
constexpr int printouts_in_flight(int threads) { return 2 * threads; }

// The scan for the first printouts of the printout file, on a thread of its
// own. It reads a regular file only (another kind may block when opened or
// be read only once), and stops at the printouts wanted, at the end of the
// file, or when finish() is called.
class EarlyScan {
 public:
  EarlyScan(std::string path, int wanted);
  ~EarlyScan();
  EarlyScan(const EarlyScan&) = delete;
  EarlyScan& operator=(const EarlyScan&) = delete;

  // Stops the scan and waits for it. Returns the reader, open on the file
  // and to go on right after the values line of the last printout found, or
  // nullptr when the file was not scanned (not a regular file, not opened,
  // not read): the run then opens and reads it as usual, and a failure
  // shows there, in its turn.
  LineReader* finish();
  // The printouts found, in order (after finish()).
  std::span<const PrintoutStart> found() const { return found_; }
  // Whether the scan ended at a guess that no printout follows those found
  // (after finish()).
  bool found_all() const { return ended_at_guess_; }
  // How many printouts the scan has found so far.
  std::size_t found_count() const { return found_count_.load(std::memory_order_relaxed); }

 private:
  void scan(const std::string& path, int wanted);

  std::unique_ptr<LineReader> reader_;
  std::vector<PrintoutStart> found_;
  bool scanned_ = false;
  bool ended_at_guess_ = false;
  std::atomic<std::size_t> found_count_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Printouts converted on worker threads, committed in order.
class ParallelPrintouts {
 public:
  virtual ~ParallelPrintouts() = default;
  // Goes on with the scan where the reader begin_in_parallel was given
  // stands, converts the printouts it finds, and commits every printout's
  // plot files through writer in printout order, telling progress; the
  // first failure or stop in printout order ends the run as it would a run
  // of one printout after another.
  virtual void commit_all(PlotWriter& writer, std::optional<Progress>& progress) = 0;
};

// Starts `threads` workers on the printouts of the printout file that in has
// open, from those an earlier scan found (in order, having found them all
// when `found_all`) on: on the first `now` of them at once, on the others
// when commit_all() begins, or one each time a worker is about to wait for
// the mesh before then (which conversion then tells, until the workers are
// gone); in then reads the file for the scan. Nothing
// (and nothing done) when the file is no regular file or is empty, or when
// no thread is to be had: those are read line by line.
std::unique_ptr<ParallelPrintouts> begin_in_parallel(Conversion& conversion, LineReader& in, int threads,
                                                     std::span<const PrintoutStart> found = {},
                                                     bool found_all = false,
                                                     std::size_t now = static_cast<std::size_t>(-1));

}  // namespace pz
