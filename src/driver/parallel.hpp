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
// again from where it ended.
//
// At most twice as many printouts as threads are in flight, so memory
// depends on the threads and the widest printout, not on the file's length.
#pragma once

#include <optional>

#include "driver/conversion.hpp"
#include "driver/progress.hpp"
#include "records/files.hpp"

namespace pz {

// Converts the printouts of the printout file that in has open on
// `threads` worker threads and commits them through writer, in order; in
// reads the file for the scan. False, with nothing done, when the file is
// no regular file or is empty: those are read line by line.
bool convert_in_parallel(const Conversion& conversion, PlotWriter& writer, LineReader& in, int threads,
                         std::optional<Progress>& progress);

}  // namespace pz
