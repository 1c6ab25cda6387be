// The command line and the console dialogue, run in-process.
//
// Input: the arguments, one a line, then a NUL byte and the console input
// (without a NUL, the console input is empty). The working directory holds
// the fixed small mesh, printouts p.out and Run.Out, a zone file, a list
// file, an empty file and a directory d holding a printout q.out. Paths
// are kept inside it: leading slashes are dropped and ".." becomes "__".
// Every run must end with a status the program documents, and leave no
// temporary plot file and well-formed plot files.
#include <string>

#include "common.hpp"

namespace {

const std::set<std::string> fixed = {"MESH", "p.out", "Run.Out", "zones", "list", "empty", "d", "d/q.out", "stdin"};

void write_fixed() {
  fuzz::write_file("MESH", fuzz::small_mesh);
  fuzz::write_file("p.out", fuzz::small_printout);
  fuzz::write_file("Run.Out", fuzz::small_printout);
  fuzz::write_file("zones", " A1  1 A1  2 A2  2 A2  1\nzone two\n A1  2 A1  3 A2  3 A2  2\n");
  fuzz::write_file("list", "p  FLO(GAS)\n");
  fuzz::write_file("empty", "");
  fuzz::fs::create_directory("d");
  fuzz::write_file("d/q.out", fuzz::small_printout);
}

std::string confine(std::string_view text) {
  std::string s(text);
  while (!s.empty() && s[0] == '/') s.erase(0, 1);
  for (std::size_t at; (at = s.find("..")) != std::string::npos;) s.replace(at, 2, "__");
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::make_scratch("cmdline");
  fuzz::InScratch here;
  write_fixed();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InScratch here;
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = in.find('\0');
  const std::string_view arg_text = in.substr(0, nul);
  std::string console = nul == std::string_view::npos ? std::string() : std::string(in.substr(nul + 1));
  // The first console line is the printout file name: confined as well.
  const std::size_t eol = console.find('\n');
  console = confine(console.substr(0, eol)) + (eol == std::string::npos ? "" : console.substr(eol));

  std::vector<std::string> args;
  for (std::size_t b = 0; b <= arg_text.size() && args.size() < 16;) {
    std::size_t e = arg_text.find('\n', b);
    if (e == std::string_view::npos) e = arg_text.size();
    if (e > b || e < arg_text.size()) args.push_back(confine(arg_text.substr(b, e - b)));
    b = e + 1;
  }

  fuzz::write_file("stdin", console);
  const int fd = ::open("stdin", O_RDONLY);
  ::dup2(fd, STDIN_FILENO);
  ::close(fd);
  const int status = fuzz::run(args);
  switch (status) {
    case 0: case 1: case 24: case 29: case 30: case 64: break;
    default: fuzz::fault("exit status " + std::to_string(status));
  }
  // Plot files of the printouts the run may have taken.
  for (const char* name : {"p.out", "run.out", "d/q.out"}) fuzz::check_plots(name, fuzz::Zones::any, -1);
  fuzz::sweep(".", fixed);
  write_fixed();
  return 0;
}
