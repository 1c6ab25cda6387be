// Plot files of several formats from one run (-fe and -vtk together): one
// writer that begins, writes and commits each printout in every format, in
// the order given.
#pragma once

#include <memory>
#include <vector>

#include "plot/plot.hpp"

namespace pz {

// The writer of all the formats given; the one writer itself where only
// one is given.
std::unique_ptr<PlotWriter> make_writer_list(std::vector<std::unique_ptr<PlotWriter>> writers);

}  // namespace pz
