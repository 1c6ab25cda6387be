#include "driver/driver.hpp"

namespace pz {
int main_program(int, char**) { return 0; }
}  // namespace pz
