// The printout file, run in-process against the fixed small mesh.
//
// Input: one byte choosing the projection (its value modulo 5: -yz, -xz,
// -xy, -xyz, or none: the automatic plane) and -partial (its value divided
// by 5, when odd), then the printout text, written to p.out. A run
// must end normally, with "no connection" or with the failures a printout
// can cause (24 at its end inside a table, 64 for a cell that is not a
// number); it must leave plot files p.out.1..N without a gap, each well
// formed with one point per located element, and no temporary file.
#include "common.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::make_scratch("printout");
  fuzz::InScratch here;
  fuzz::write_file("MESH", fuzz::small_mesh);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InScratch here;
  if (size == 0) return 0;
  static const char* const options[] = {"-yz", "-xz", "-xy", "-xyz", nullptr};
  const char* option = options[data[0] % 5];
  fuzz::write_file("p.out", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  std::vector<std::string> args;
  if (option) args.push_back(option);
  if ((data[0] / 5) % 2 == 1) args.push_back("-partial");
  args.push_back("p.out");
  const int status = fuzz::run(args);
  if (status != 0 && status != 1 && status != 24 && status != 64) fuzz::fault("exit status " + std::to_string(status));
  fuzz::check_plots("p.out", fuzz::Zones::traced, fuzz::small_mesh_located);
  fuzz::sweep(".", {"MESH", "p.out"});
  return 0;
}
