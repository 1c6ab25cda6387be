// The zone file, run in-process with the fixed small mesh and printout.
//
// Input: one byte choosing the projection, then the zone file text. The
// run must end normally or with the zone-file capacity stop, and leave
// well-formed plot files (one header, then zones of points and cells, each
// titled) and no temporary file.
#include "common.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::make_scratch("zones");
  fuzz::InScratch here;
  fuzz::write_file("MESH", fuzz::small_mesh);
  fuzz::write_file("p.out", fuzz::small_printout);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InScratch here;
  if (size == 0) return 0;
  static const char* const options[] = {"-yz", "-xz", "-xy", "-xyz"};
  fuzz::write_file("zones", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  const int status = fuzz::run({options[data[0] % 4], "-z", "zones", "p.out"});
  if (status != 0) fuzz::fault("exit status " + std::to_string(status));
  fuzz::check_plots("p.out", fuzz::Zones::file, -1);
  if (!fuzz::fs::exists("p.out.2")) fuzz::fault("a plot file is missing");
  fuzz::sweep(".", {"MESH", "p.out", "zones"});
  return 0;
}
