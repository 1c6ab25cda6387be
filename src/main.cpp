#include <csignal>

#include "driver/driver.hpp"

int main(int argc, char** argv) {
  // A console pipe closed by its reader is a failed write, reported as such
  // (and a plot file in progress removed), not a signal that ends the
  // program on the spot.
  std::signal(SIGPIPE, SIG_IGN);
  return pz::main_program(argc, argv);
}
