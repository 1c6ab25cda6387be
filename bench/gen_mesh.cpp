// Writes a large MESH file of a regular grid, for timing the mesh reader.
//
//   gen_mesh 2d|3d|dense|section <scale> <out-file>
//
// 2d: a vertical X-Z section of 369 x 271 = 99 999 elements (the most a
//     MESH may hold) with 199 358 connections;
// 3d: a block of 46 x 46 x 47 = 99 452 elements with 291 870 connections;
// dense: a block of 50 x 46 x 42 = 96 600 elements, each connected to all 26
//     neighbours (faces, edges and corners): 1 199 636 connections, just
//     under the 1 199 999 a MESH may hold;
// section: a vertical X-Z section of 50 x 52 = 2 600 elements with 5 098
//     connections, of the size of the simulations users run most.
// The scale shortens the last grid direction, so 0.1 gives a tenth of the
// elements and connections; a scale above 1 (at most 18) lengthens it, for
// meshes past the fixed capacities (printzone -large): 3d at 10.06 gives
// 46 x 46 x 473 = 1 000 868 elements with 2 956 972 connections.
//
// Records look like a simulator's own: 80 columns, names of three
// characters and a two-digit number ("AB3 7", "AB312"), a material name,
// the volume, and coordinates in E10.4 ("0.1500E+02", "-.2500E+01").

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// E10.4 as a Fortran program writes it: 0.dddd E+xx, or -.dddd E+xx.
void e10_4(char* out, double v) {
  char tmp[32];
  if (v == 0) {
    std::memcpy(out, "0.0000E+00", 10);
    return;
  }
  std::snprintf(tmp, sizeof tmp, "%.3E", std::fabs(v));  // d.dddE+xx
  const int exponent = std::atoi(tmp + 6) + 1;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s.%c%c%c%cE%c%02d", v < 0 ? "-" : "0", tmp[0], tmp[2], tmp[3], tmp[4],
                exponent < 0 ? '-' : '+', std::abs(exponent));
  std::memcpy(out, buf, 10);
}

// Unique 5-character name of element i (0-based): three characters from
// i / 100 and the number i % 100 right-aligned in two columns. The first
// character is a capital letter up to element 935 999, a small one after.
void element_name(char* out, long i) {
  static const char alnum[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const long q = i / 100, r = i % 100;
  out[0] = letters[(q / 360) % 52];
  out[1] = alnum[(q / 10) % 36];
  out[2] = static_cast<char>('0' + q % 10);
  out[3] = r < 10 ? ' ' : static_cast<char>('0' + r / 10);
  out[4] = static_cast<char>('0' + r % 10);
}

struct Grid {
  long nx, ny, nz;
  double dx, dy, dz;
  long index(long i, long j, long k) const { return (k * ny + j) * nx + i; }
};

void element(std::FILE* f, const Grid& g, long i, long j, long k) {
  char rec[82];
  std::memset(rec, ' ', 80);
  element_name(rec, g.index(i, j, k));
  std::memcpy(rec + 15, "SAND1", 5);
  e10_4(rec + 20, g.dx * g.dy * g.dz);
  e10_4(rec + 50, (i + 0.5) * g.dx);
  e10_4(rec + 60, (j + 0.5) * g.dy);
  e10_4(rec + 70, -(k + 0.5) * g.dz);
  rec[80] = '\n';
  std::fwrite(rec, 1, 81, f);
}

// direction 1, 2, 3 = x, y, z; half-distances and the interface area.
void connection(std::FILE* f, long a, long b, int direction, double half, double area, bool vertical) {
  char rec[82];
  std::memset(rec, ' ', 80);
  element_name(rec, a);
  element_name(rec + 5, b);
  rec[29] = static_cast<char>('0' + direction);
  e10_4(rec + 30, half);
  e10_4(rec + 40, half);
  e10_4(rec + 50, area);
  e10_4(rec + 60, vertical ? 1.0 : 0.0);
  rec[80] = '\n';
  std::fwrite(rec, 1, 81, f);
}

}  // namespace

int main(int argc, char** argv) {
  const bool dense = argc == 4 && std::strcmp(argv[1], "dense") == 0;
  const bool section = argc == 4 && std::strcmp(argv[1], "section") == 0;
  if (argc != 4 || (std::strcmp(argv[1], "2d") != 0 && std::strcmp(argv[1], "3d") != 0 && !dense && !section)) {
    std::fprintf(stderr, "usage: gen_mesh 2d|3d|dense|section <scale> <out-file>\n");
    return 2;
  }
  const double scale = std::atof(argv[2]);
  if (!(scale > 0 && scale <= 18)) {
    std::fprintf(stderr, "gen_mesh: scale must be in (0, 18]\n");
    return 2;
  }
  Grid g = std::strcmp(argv[1], "2d") == 0 ? Grid{369, 1, 271, 10.0, 1.0, 2.0}
           : section                       ? Grid{50, 1, 52, 4.0, 1.0, 2.5}
           : dense                         ? Grid{50, 46, 42, 20.0, 20.0, 5.0}
                                           : Grid{46, 46, 47, 20.0, 20.0, 5.0};
  g.nz = std::max(1L, std::lround(g.nz * scale));
  if (g.nx * g.ny * g.nz > 52L * 360 * 100) {
    std::fprintf(stderr, "gen_mesh: more elements than names (1 872 000)\n");
    return 2;
  }

  std::FILE* f = std::fopen(argv[3], "wb");
  if (!f) {
    std::perror(argv[3]);
    return 1;
  }
  static char buffer[1 << 20];
  std::setvbuf(f, buffer, _IOFBF, sizeof buffer);

  std::fputs("ELEME----1----*----2----*----3----*----4----*----5----*----6----*----7----*----8\n", f);
  for (long k = 0; k < g.nz; ++k)
    for (long j = 0; j < g.ny; ++j)
      for (long i = 0; i < g.nx; ++i) element(f, g, i, j, k);
  std::fputs("\n", f);
  std::fputs("CONNE----1----*----2----*----3----*----4----*----5----*----6----*----7----*----8\n", f);
  long connections = 0;
  for (long k = 0; k < g.nz; ++k)
    for (long j = 0; j < g.ny; ++j)
      for (long i = 0; i < g.nx; ++i) {
        const long e = g.index(i, j, k);
        if (dense) {
          // The 13 neighbours that come after e in element order.
          for (long dk = 0; dk <= 1; ++dk)
            for (long dj = -1; dj <= 1; ++dj)
              for (long di = -1; di <= 1; ++di) {
                if (dk == 0 && (dj < 0 || (dj == 0 && di <= 0))) continue;
                const long i2 = i + di, j2 = j + dj, k2 = k + dk;
                if (i2 < 0 || i2 >= g.nx || j2 < 0 || j2 >= g.ny || k2 >= g.nz) continue;
                const int direction = dk != 0 ? 3 : dj != 0 ? 2 : 1;
                connection(f, e, g.index(i2, j2, k2), direction, g.dx / 2, g.dx * g.dz, dk != 0);
                ++connections;
              }
          continue;
        }
        if (i + 1 < g.nx) connection(f, e, g.index(i + 1, j, k), 1, g.dx / 2, g.dy * g.dz, false), ++connections;
        if (j + 1 < g.ny) connection(f, e, g.index(i, j + 1, k), 2, g.dy / 2, g.dx * g.dz, false), ++connections;
        if (k + 1 < g.nz) connection(f, e, g.index(i, j, k + 1), 3, g.dz / 2, g.dx * g.dy, true), ++connections;
      }
  std::fputs("\n", f);
  if (std::fclose(f) != 0) {
    std::perror(argv[3]);
    return 1;
  }
  std::printf("%s: %ld elements, %ld connections\n", argv[3], g.nx * g.ny * g.nz, connections);
  return 0;
}
