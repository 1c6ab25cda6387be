// The wanted-column list, run in-process with the fixed small mesh and a
// printout whose headings hold many kinds of column words: shortened names,
// velocity columns, a name ending in column 240, twenty names and one more.
//
// Input: the list file text. Each input is run with -xy and with -xyz. The
// run must end normally and leave well-formed plot files, with no
// temporary file.
#include <string>

#include "common.hpp"

namespace {

std::string printout() {
  std::string s = " TOTAL TIME\n 1.0\n";
  s += " ELEM.  INDEX  P  T  SG  X(WAT1)  PER.MOD.  PCAP  P(L)\n";
  s += " A1  1     1  1  2  3  4  5  6  7\n";
  s += " A2  2     2  1.5  2.5  3.5  4.5  5.5  6.5  7.5\n";
  s += " @@@@@@@@@@@@@@@@@@@@\n";
  s += " ELEM1 ELEM2 INDEX  FLOH  FLO(GAS)  VEL(LIQ.)  FLOF  vel  FLO(AQ.)\n";
  s += " A1  1 A1  2     1  8.  8.  8.  8.  8.  8.\n";
  s += " A1  1 A2  2     2  1.  2.  3.  4.  5.  6.\n";
  s += " @@@@@@@@@@@@@@@@@@@@\n";
  // A name ending in column 240: the list probe reaches past the line.
  s += " ELEM.  INDEX  Q" + std::string(219, ' ') + " LAST\n";
  s += " A2  3     3  9" + std::string(220, ' ') + "10\n";
  s += " @@@@@@@@@@@@@@@@@@@@\n";
  s += " total time\n 2.0\n";
  std::string twenty = " ELEM.  INDEX", twenty_one;
  for (int k = 1; k <= 20; ++k) twenty += " C" + std::to_string(k);
  twenty_one = twenty + " C21";
  s += twenty + "\n A1  3    1  1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n @@@@@@@@@@@@@@@@@@@@\n";
  s += " ELEM1 ELEM2 INDEX" + twenty.substr(13) + "\n A1  1 A1  2     1  1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n";
  s += " @@@@@@@@@@@@@@@@@@@@\n";
  s += twenty_one + "\n A1  3    1  1\n @@@@@@@@@@@@@@@@@@@@\n";
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::make_scratch("wanted");
  fuzz::InScratch here;
  fuzz::write_file("MESH", fuzz::small_mesh);
  fuzz::write_file("p.out", printout());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InScratch here;
  fuzz::write_file("list", std::string_view(reinterpret_cast<const char*>(data), size));
  for (const char* option : {"-xy", "-xyz"}) {
    const int status = fuzz::run({"-w", "list", option, "p.out"});
    // An empty list file has no first line: end-of-file on its read.
    if (status != (size == 0 ? 24 : 0)) fuzz::fault("exit status " + std::to_string(status));
    fuzz::check_plots("p.out", fuzz::Zones::traced, fuzz::small_mesh_located);
    if (size != 0 && !fuzz::fs::exists("p.out.2")) fuzz::fault("a plot file is missing");
    fuzz::sweep(".", {"MESH", "p.out", "list"});
  }
  return 0;
}
