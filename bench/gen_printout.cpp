// Writes a printout file for the elements and connections of a MESH file,
// in the simulator's usual layout, for timing whole runs.
//
//   gen_printout <MESH> <printouts> <out-file> [elements|connections]
//
// Each printout has a header line and values line, an element table of 12
// columns over every element and a connection table of 4 columns over every
// connection, both with a page break (blank line, repeated heading and units
// line) every 56 rows, and the terminator line of at signs. A last word
// "elements" or "connections" writes that table alone.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

namespace {

// "0.12345E+03" as E12.5 prints it, right-aligned in 13 columns with the
// separating blank.
char* e12_5(char* p, double v) {
  *p++ = ' ';
  if (v == 0) {
    std::memcpy(p, " 0.00000E+00", 12);
    return p + 12;
  }
  char tmp[32];
  std::snprintf(tmp, sizeof tmp, "%.4E", std::fabs(v));  // d.ddddE+xx
  const int exponent = std::atoi(tmp + 7) + 1;
  char field[32];
  std::snprintf(field, sizeof field, "%s.%c%c%c%c%cE%c%02d", v < 0 ? "-0" : " 0", tmp[0], tmp[2], tmp[3], tmp[4],
                tmp[5], exponent < 0 ? '-' : '+', std::abs(exponent) % 100);
  std::memcpy(p, field, 12);
  return p + 12;
}

// A heading whose k-th name ends in the column where the k-th value of the
// rows ends (first_end + 13 (k - 1)), as the simulator centres them.
std::string heading(const char* prefix, std::vector<const char*> names, std::size_t first_end) {
  std::string h = prefix;
  for (std::size_t k = 0; k < names.size(); ++k) {
    const std::size_t end = first_end + 13 * k;
    h.resize(end - std::strlen(names[k]), ' ');
    h += names[k];
  }
  return h;
}

const std::string element_heading =
    heading(" ELEM.  INDEX", {"P", "T", "SG", "SL", "XAIR(L)", "XAIR(G)", "PCAP", "DG", "DL", "X(WAT1)", "PER.MOD.", "K(REL)"}, 25);
const std::string element_units = heading("", {"(PA)", "(DEG-C)", "", "", "", "", "(PA)", "(KG/M3)", "(KG/M3)"}, 25);
const std::string connection_heading = heading(" ELEM1 ELEM2  INDEX", {"FLOH", "FLO(GAS)", "FLO(AQ.)", "VEL(GAS)"}, 33);
const std::string connection_units = heading("", {"(W)", "(KG/S)", "(KG/S)", "(M/S)"}, 33);
const char* terminator =
    " @@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@";

void page_break(std::FILE* f, const std::string& heading, const std::string& units) {
  std::fprintf(f, "\n1\n%s\n%s\n\n", heading.c_str(), units.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string only = argc == 5 ? argv[4] : "";
  if ((argc != 4 && argc != 5) || (argc == 5 && only != "elements" && only != "connections")) {
    std::fprintf(stderr, "usage: gen_printout <MESH> <printouts> <out-file> [elements|connections]\n");
    return 2;
  }
  std::FILE* mesh = std::fopen(argv[1], "r");
  if (!mesh) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<std::string> elements;
  std::vector<std::pair<std::string, std::string>> connections;
  char line[512];
  int block = 0;  // 1 elements, 2 connections
  while (std::fgets(line, sizeof line, mesh)) {
    std::string rec(line);
    while (!rec.empty() && (rec.back() == '\n' || rec.back() == '\r')) rec.pop_back();
    rec.resize(std::max<std::size_t>(rec.size(), 10), ' ');
    const std::string name = rec.substr(0, 5);
    if (block == 0 && (name == "ELEME" || name == "eleme")) block = 1;
    else if (block == 1 && name == "     ") block = 3;
    else if (block == 1) elements.push_back(name);
    else if (block == 3 && (name == "CONNE" || name == "conne")) block = 2;
    else if (block == 2 && (name == "     " || name == "+++  ")) break;
    else if (block == 2) connections.emplace_back(name, rec.substr(5, 5));
  }
  std::fclose(mesh);

  const int printouts = std::atoi(argv[2]);
  std::FILE* f = std::fopen(argv[3], "w");
  if (!f) {
    std::perror(argv[3]);
    return 1;
  }
  static char buf[1 << 20];
  std::setvbuf(f, buf, _IOFBF, sizeof buf);
  char row[512];
  for (int n = 1; n <= printouts; ++n) {
    const double time = 86400.0 * n * n;
    std::fprintf(f, "\n\n OUTPUT DATA AFTER (%5d,  3)-2-TIME STEPS                                    THE TIME IS %.5E DAYS\n\n",
                 n * 17, time / 86400);
    std::fprintf(f, " TOTAL TIME     KCYC   ITER  ITERC    KON          DX1M         DX2M         DX3M\n");
    char* p = row;
    p = e12_5(p, time);
    p += std::sprintf(p, " %6d %6d %6d %6d ", n * 17, 3, n * 51, 2);
    p = e12_5(p, 1234.5 / n);
    p = e12_5(p, 0.001 * n);
    p = e12_5(p, 0.0);
    std::fprintf(f, "%s\n\n%s\n", row, terminator);

    if (only != "connections") page_break(f, element_heading, element_units);
    for (std::size_t e = 0; only != "connections" && e < elements.size(); ++e) {
      if (e > 0 && e % 56 == 0) page_break(f, element_heading, element_units);
      p = row + std::sprintf(row, " %s %5zu", elements[e].c_str(), e + 1);
      const double s = static_cast<double>(e % 997) / 997.0;
      const double values[13] = {1.0e5 + 1000 * s * n, 20 + 5 * s, 0.1 * s, 1 - 0.1 * s, 1.5e-5 * s, 0.99 - s * 0.01,
                                 -1234.5 * s,         0.8 + s, 998.2 - s, 0.01 * s,    1.0,          0.5 * s, 0};
      for (int k = 0; k < 12; ++k) p = e12_5(p, values[k]);
      *p++ = '\n';
      std::fwrite(row, 1, static_cast<std::size_t>(p - row), f);
    }
    if (only != "connections") std::fprintf(f, "%s\n", terminator);

    if (only == "elements") continue;
    page_break(f, connection_heading, connection_units);
    for (std::size_t c = 0; c < connections.size(); ++c) {
      if (c > 0 && c % 56 == 0) page_break(f, connection_heading, connection_units);
      p = row + std::sprintf(row, " %s %s %7zu", connections[c].first.c_str(), connections[c].second.c_str(), c + 1);
      const double s = static_cast<double>(c % 991) / 991.0 - 0.5;
      const double values[4] = {12.5 * s * n, 1.0e-4 * s, -2.0e-3 * s, 3.0e-6 * s};
      for (int k = 0; k < 4; ++k) p = e12_5(p, values[k]);
      *p++ = '\n';
      std::fwrite(row, 1, static_cast<std::size_t>(p - row), f);
    }
    std::fprintf(f, "%s\n", terminator);
  }
  std::fclose(f);
  return 0;
}
