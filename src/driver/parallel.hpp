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
// Where memory or descriptors run short (a printout's conversion fails for
// want of them: an allocation, or an open with too many files open), half
// the workers end, fewer printouts are in flight, and that printout is
// converted again with those after it, down to no worker at all: this
// thread then converts one printout after another, and a printout that
// fails so fails as in a run of one thread. The same files, console output
// and status come out whatever the number of threads; limits are found
// from the calls that fail.
#pragma once

#include <memory>
#include <optional>

#include "driver/conversion.hpp"
#include "driver/progress.hpp"
#include "records/files.hpp"

namespace pz {

// At most this many printouts are in flight at once.
constexpr std::size_t printouts_in_flight(int threads) { return threads > 0 ? 2 * static_cast<std::size_t>(threads) : 1; }

// Printouts converted on worker threads, committed in order.
class ParallelPrintouts {
 public:
  virtual ~ParallelPrintouts() = default;
  // Scans the file that the reader begin_in_parallel was given has open,
  // converts the printouts it finds, and commits every printout's
  // plot files through writer in printout order, telling progress; the
  // first failure or stop in printout order ends the run as it would a run
  // of one printout after another.
  // Returns how many printouts were committed.
  virtual long commit_all(PlotWriter& writer, std::optional<Progress>& progress) = 0;
};

// Starts `threads` workers (or as many as the system grants, at least
// one) on the printouts of the printout file that `in` has open, not yet
// read; `in` then reads the file for the scan. Nothing (and nothing done)
// when the file is no regular file or is empty, or when no thread is to be
// had: those are read line by line.
std::unique_ptr<ParallelPrintouts> begin_in_parallel(Conversion& conversion, LineReader& in, int threads);

}  // namespace pz
