#include <csignal>

#include "driver/driver.hpp"
#include "driver/heap.hpp"

int main(int argc, char** argv) {
  pz::prepare_heap();  // before any large block, and before threads
  // A console pipe closed by its reader is a failed write, reported as such
  // (and a plot file in progress removed), not a signal that ends the
  // program on the spot.
  std::signal(SIGPIPE, SIG_IGN);
  return pz::main_program(argc, argv);
}
