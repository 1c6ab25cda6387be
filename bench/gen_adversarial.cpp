// Writes MESH and a printout file case.out of a shape that once cost
// quadratic time, for timing whole runs on them:
//
//   gen_adversarial names|star|hub|printouts <dir> [cells]
//
// names      99 999 element names whose slots in the name index's old
//            table (a fixed multiplicative hash, 2^18 slots) all fall in its
//            first 512 slots, and one printout with an element table over
//            them;
// star       an element at the first end of 80 000 connections (to
//            elements around it on a circle), and one printout with a
//            connection table over them;
// hub        a square grid of surface cells (40 000, or the number given,
//            rounded down to a square) at unit spacing in x and y, z = 0,
//            each connected to its right and upper neighbours, and a
//            boundary element above the middle of the surface (z = 10)
//            connected to every one of them; one printout with an element
//            table over them all;
// printouts  a 2 x 2 grid and 16 000 printouts of one small element
//            table each (for the -vtk collection file).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

FILE* open_file(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  return f;
}

// An element name: the letter and k in four base-36 digits.
void base36_name(char letter, int k, char* buf) {
  const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  buf[0] = letter;
  for (int i = 4; i >= 1; --i, k /= 36) buf[i] = digits[k % 36];
  buf[5] = '\0';
}

void element(FILE* f, const char* name, double x, double y) {
  std::fprintf(f, "%-5.5s%45s%10.4f%10.4f%10.4f\n", name, "", x, y, 0.0);
}

void connection(FILE* f, const char* a, const char* b) { std::fprintf(f, "%-5.5s%-5.5s%40s%10.4f\n", a, b, "", 1.0); }

// The name index's former slot function: a multiply and a shift.
std::uint64_t old_slot(const char* name) {
  std::uint64_t key = 0;
  for (int i = 4; i >= 0; --i) key = key << 8 | static_cast<unsigned char>(name[i]);
  key *= 0x9E3779B97F4A7C15ull;
  return (key ^ (key >> 29)) & ((1u << 18) - 1);
}

void names(const std::string& dir) {
  constexpr int count = 99999;
  FILE* mesh = open_file(dir + "/MESH");
  FILE* out = open_file(dir + "/case.out");
  std::fprintf(mesh, "ELEME\n");
  std::fprintf(out, " TOTAL TIME\n 1.0\n ELEM.  INDEX  P\n");
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz123456789";
  const int n = static_cast<int>(std::strlen(alphabet));
  char name[6] = {};
  int found = 0;
  for (long i = 0; found < count; ++i) {
    long v = i;
    for (int c = 0; c < 5; ++c, v /= n) name[c] = alphabet[v % n];
    if (old_slot(name) >= 512) continue;
    ++found;
    element(mesh, name, found % 317, found / 317);
    std::fprintf(out, " %s %5d  %d.5\n", name, found, found % 10);
  }
  std::fprintf(mesh, "\nCONNE\n+++\n");
  std::fprintf(out, " @@@@@@@@@@@@@@@@@@@@\n");
  std::fclose(mesh);
  std::fclose(out);
}

void star(const std::string& dir) {
  constexpr int count = 80000;
  FILE* mesh = open_file(dir + "/MESH");
  FILE* out = open_file(dir + "/case.out");
  const auto name = [](int k, char* buf) { base36_name('S', k, buf); };
  char a[8], b[8];
  std::fprintf(mesh, "ELEME\n");
  name(0, a);
  element(mesh, a, 0, 0);
  for (int k = 1; k <= count; ++k) {
    name(k, b);
    const double t = 2 * M_PI * k / count;
    element(mesh, b, 1000 * std::cos(t), 1000 * std::sin(t));
  }
  std::fprintf(mesh, "\nCONNE\n");
  std::fprintf(out, " TOTAL TIME\n 1.0\n ELEM1 ELEM2 INDEX  FLOH\n");
  for (int k = 1; k <= count; ++k) {
    name(k, b);
    connection(mesh, a, b);
    std::fprintf(out, " %s %s %5d  %d.25\n", a, b, k, k % 7);
  }
  std::fprintf(mesh, "+++\n");
  std::fprintf(out, " @@@@@@@@@@@@@@@@@@@@\n");
  std::fclose(mesh);
  std::fclose(out);
}

void hub(const std::string& dir, int cells) {
  int side = 1;
  while ((side + 1) * (side + 1) <= cells) ++side;
  FILE* mesh = open_file(dir + "/MESH");
  FILE* out = open_file(dir + "/case.out");
  const auto name = [](int k, char* buf) { base36_name('C', k, buf); };
  char a[8], b[8];
  std::fprintf(mesh, "ELEME\n");
  std::fprintf(out, " TOTAL TIME\n 1.0\n ELEM.  INDEX  P\n");
  for (int k = 0; k < side * side; ++k) {
    name(k, a);
    element(mesh, a, k % side, k / side);
    std::fprintf(out, " %s %5d  %d.5\n", a, k + 1, k % 10);
  }
  std::fprintf(mesh, "%-5.5s%45s%10.4f%10.4f%10.4f\n", "ATM 0", "", (side - 1) / 2.0, (side - 1) / 2.0, 10.0);
  std::fprintf(mesh, "\nCONNE\n");
  for (int k = 0; k < side * side; ++k) {
    name(k, a);
    if (k % side + 1 < side) name(k + 1, b), connection(mesh, a, b);
    if (k + side < side * side) name(k + side, b), connection(mesh, a, b);
    connection(mesh, a, "ATM 0");
  }
  std::fprintf(mesh, "+++\n");
  std::fprintf(out, " @@@@@@@@@@@@@@@@@@@@\n");
  std::fclose(mesh);
  std::fclose(out);
}

void printouts(const std::string& dir) {
  FILE* mesh = open_file(dir + "/MESH");
  std::fprintf(mesh, "ELEME\n");
  element(mesh, "A1  1", 0, 0);
  element(mesh, "A1  2", 1, 0);
  element(mesh, "A2  1", 0, 1);
  element(mesh, "A2  2", 1, 1);
  std::fprintf(mesh, "\nCONNE\n");
  connection(mesh, "A1  1", "A1  2");
  connection(mesh, "A1  1", "A2  1");
  connection(mesh, "A1  2", "A2  2");
  connection(mesh, "A2  1", "A2  2");
  std::fprintf(mesh, "+++\n");
  std::fclose(mesh);
  FILE* out = open_file(dir + "/case.out");
  for (int p = 1; p <= 16000; ++p)
    std::fprintf(out, " TOTAL TIME\n %d.0\n ELEM.  INDEX  P\n A1  1     1  %d.5\n @@@@@@@@@@@@@@@@@@@@\n", p, p % 100);
  std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: gen_adversarial names|star|hub|printouts <dir> [cells]\n");
    return 2;
  }
  const std::string shape = argv[1], dir = argv[2];
  if (shape == "names") names(dir);
  else if (shape == "star") star(dir);
  else if (shape == "hub") hub(dir, argc == 4 ? std::atoi(argv[3]) : 40000);
  else if (shape == "printouts") printouts(dir);
  else return 2;
  return 0;
}
