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
// line stands just there, without reading between: printouts of one run
// are often alike to the byte. That guess, its line number and a guessed
// end of the file are checked in the same way.
//
// At most twice as many printouts as threads are in flight, so memory
// depends on the threads and the widest printout, not on the file's length.
//
// The scan for the first printouts begins while the mesh is read (see
// EarlyScan), so that the workers find them waiting once it is read.
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
#include "driver/progress.hpp"
#include "records/files.hpp"

namespace pz {

// At most this many printouts are in flight at once.
constexpr int printouts_in_flight(int threads) { return 2 * threads; }

// Where a printout begins: the offset of its header line, and that line's
// number.
struct PrintoutStart {
  std::uint64_t offset = 0;
  long long line = 0;
  TableHeading heading;  // its first connection-table heading, when found
};

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

 private:
  void scan(const std::string& path, int wanted);

  std::unique_ptr<LineReader> reader_;
  std::vector<PrintoutStart> found_;
  bool scanned_ = false;
  bool ended_at_guess_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Converts the printouts of the printout file that in has open on
// `threads` worker threads and commits them through writer, in order; in
// reads the file for the scan, which goes on after the printouts already
// found, and that took `found_all` to have found them all. False, with
// nothing done, when the file is no regular file or is empty: those are read
// line by line.
bool convert_in_parallel(const Conversion& conversion, PlotWriter& writer, LineReader& in, int threads,
                         std::optional<Progress>& progress, std::span<const PrintoutStart> found = {},
                         bool found_all = false);

}  // namespace pz
