#include "driver/driver.hpp"

int main(int argc, char** argv) { return pz::main_program(argc, argv); }
