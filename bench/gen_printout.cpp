// Writes a printout file for the elements and connections of a MESH file,
// in the simulator's usual layout, for timing whole runs.
//
//   gen_printout <MESH> <printouts> <out-file> [elements|connections|simulator]
//
// Each printout has a header line and values line, an element table of 12
// columns over every element and a connection table of 4 columns over every
// connection, both with a page break (blank line, repeated heading and units
// line) every 56 rows, and the terminator line of at signs. A last word
// "elements" or "connections" writes that table alone.
//
// "simulator" writes the layout a simulator prints over a run, page by
// page: before each printout the iteration lines of its time steps and a
// mass balance; in it, after the header line and values line, an element
// table of 10 columns ("0.10010E+06"), a connection table of 8 columns
// ("0.822321E-02"), a second element table of 10 other columns and a
// generation table, each in pages of 50 rows that begin with a page line
// ("1", the run's title and the time), a blank line, the table's heading
// and its units line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

namespace {

// A value as the simulator's E format of `digits` digits after the point
// prints it ("0.12345E+03" for E12.5, "0.822321E-02" for E13.6),
// right-aligned in digits + 8 columns with the separating blank.
char* fortran_e(char* p, double v, int digits) {
  const int width = digits + 7;
  *p++ = ' ';
  char field[40];
  if (v == 0) {
    std::snprintf(field, sizeof field, " 0.%0*dE+00", digits, 0);
  } else {
    char tmp[32];
    std::snprintf(tmp, sizeof tmp, "%.*E", digits - 1, std::fabs(v));  // d.dddE+xx
    const int exponent = std::atoi(tmp + digits + 2) + 1;
    char mantissa[16] = {tmp[0]};
    std::memcpy(mantissa + 1, tmp + 2, static_cast<std::size_t>(digits - 1));
    mantissa[digits] = '\0';
    std::snprintf(field, sizeof field, "%s.%sE%c%02d", v < 0 ? "-0" : " 0", mantissa, exponent < 0 ? '-' : '+',
                  std::abs(exponent) % 100);
  }
  std::memcpy(p, field, static_cast<std::size_t>(width));
  return p + width;
}
char* e12_5(char* p, double v) { return fortran_e(p, v, 5); }
char* e13_6(char* p, double v) { return fortran_e(p, v, 6); }

// A heading whose k-th name ends in the column where the k-th value of the
// rows ends (first_end + step (k - 1)), as the simulator centres them.
std::string heading(const char* prefix, std::vector<const char*> names, std::size_t first_end, std::size_t step = 13) {
  std::string h = prefix;
  for (std::size_t k = 0; k < names.size(); ++k) {
    const std::size_t end = first_end + step * k;
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

// The simulator's layout (see the top of this file).
const char* const page_title =
    "1              *section*  - a vertical section of 2 600 elements                  OUTPUT DATA AFTER";
const std::string primary_heading = heading(" ELEM.  INDEX",
    {"P", "T", "SG", "SL", "XNACL", "XAIRG", "XAIRL", "PCAP", "DG", "DL"}, 26);
const std::string primary_units = heading("", {"(PA)", "(DEG-C)", "", "", "", "", "", "(PA)", "(KG/M3)", "(KG/M3)"}, 26);
const std::string secondary_heading = heading(" ELEM.  INDEX",
    {"K(GAS)", "K(LIQ.)", "H(GAS)", "H(LIQ.)", "VIS(GAS)", "VIS(LIQ)", "PCAP", "POR", "PERM", "XCO2L"}, 26);
const std::string secondary_units = heading("", {"", "", "(J/KG)", "(J/KG)", "(PA S)", "(PA S)", "(PA)", "", "(M2)", ""}, 26);
const std::string flow_heading = heading(" ELEM1 ELEM2     INDEX",
    {"FLOH", "FLOH/FLOF", "FLOF", "FLO(BRINE)", "FLO(GAS)", "FLO(LIQ.)", "VEL(GAS)", "VEL(LIQ.)"}, 36, 14);
const std::string flow_units = heading("", {"(W)", "(J/KG)", "(KG/S)", "(KG/S)", "(KG/S)", "(KG/S)", "(M/S)", "(M/S)"}, 36, 14);
const char* const generation_heading =
    " ELEMENT SOURCE INDEX      GENERATION RATE     ENTHALPY      FF(GAS)      FF(AQ.)         P(WB)";
const char* const generation_units = "                            (KG/S) OR (W)       (J/KG)                                    (PA)";

// A page line, its blank line, a heading and its units line.
void page(std::FILE* f, int step, double days, const std::string& heading, const std::string& units) {
  std::fprintf(f, "%s (%5d,  4)-2-TIME STEPS   THE TIME IS %.5E DAYS\n\n%s\n%s\n\n", page_title, step, days,
               heading.c_str(), units.c_str());
}

// The time steps that led to a printout: for each, the lines of its
// iterations and the line of the step, as the simulator logs them.
void time_steps(std::FILE* f, const std::vector<std::string>& elements, int first_step, int steps) {
  for (int s = 0; s < steps; ++s) {
    const int step = first_step + s;
    const std::string& at = elements[static_cast<std::size_t>(step * 37) % elements.size()];
    for (int i = 1; i <= 3; ++i)
      std::fprintf(f, " ...ITERATING...  AT [%5d,%3d] --- DELTEX = %.6E   MAX. RES. = %.6E  AT ELEMENT %s  EQUATION   %d\n",
                   step, i, 100.0 * step, 0.3 / (i * i * step), at.c_str(), i);
    std::fprintf(f, " %s(%5d,  4) ST = %.6E DT = %.6E DX1= %.6E DX2= %.6E T =  25.012 P =   %.0f. S = %.6E\n",
                 at.c_str(), step, 86400.0 * step, 100.0 * step, 12.5 / step, 1.5e-5 * step, 101325.0 + step, 0.0);
  }
}

void mass_balance(std::FILE* f, double days) {
  const char* rule = " *********************************************************************************************";
  std::fprintf(f, "\n%s\n *%91s*\n *                                   MASS AND ENERGY BALANCES%33s*\n *%91s*\n%s\n\n",
               rule, "", "", "", rule);
  std::fprintf(f, "          THE TIME IS %.5E DAYS\n\n", days);
  std::fprintf(f, "                                  PHASES:  GAS          LIQUID        TOTAL\n");
  std::fprintf(f, "                    VOLUME (M^3)      %.8E %.8E %.8E\n", 1.25e3, 2.6e4, 2.725e4);
  std::fprintf(f, "                    MASS (KG)         %.8E %.8E %.8E\n\n%s\n", 1.5e3 * days, 2.6e7, 2.6e7, rule);
}

void simulator_layout(std::FILE* f, const std::vector<std::string>& elements,
                      const std::vector<std::pair<std::string, std::string>>& connections, int printouts) {
  constexpr int rows_a_page = 50, steps_between = 500;
  char row[512];
  for (int n = 1; n <= printouts; ++n) {
    const int step = n * steps_between;
    const double seconds = 86400.0 * step, days = seconds / 86400;
    time_steps(f, elements, step - steps_between + 1, steps_between);
    mass_balance(f, days);
    std::fprintf(f, "%s (%5d,  4)-2-TIME STEPS   THE TIME IS %.5E DAYS\n\n", page_title, step, days);
    std::fprintf(f, " TOTAL TIME    KCYC   ITER  ITERC    KON          DX1M          DX2M          DX3M          MAX. RES.\n");
    char* p = row;
    p = e12_5(p, seconds);
    p += std::sprintf(p, " %6d %6d %6d %6d ", step, 4, step * 3, 2);
    p = e12_5(p, 1234.5 / n);
    p = e12_5(p, 0.001 * n);
    p = e12_5(p, 0.0);
    p = e12_5(p, 2.5e-6 / n);
    std::fprintf(f, "%s\n\n%s\n", row, terminator);

    for (const bool primary : {true, false}) {
      for (std::size_t e = 0; e < elements.size(); ++e) {
        if (e % rows_a_page == 0)
          page(f, step, days, primary ? primary_heading : secondary_heading, primary ? primary_units : secondary_units);
        p = row + std::sprintf(row, " %s %6zu", elements[e].c_str(), e + 1);
        const double s = static_cast<double>((e * 7 + static_cast<std::size_t>(n)) % 1013) / 1013.0;
        const double a[10] = {1.0010e5 + 2000 * s * n, 25 + 5 * s, 0.1 * s, 1 - 0.1 * s, 0.032 * s,
                              0.98 - 0.01 * s,          1.2e-5 * s, -1234.5 * s, 1.2 + s, 1021.5 - s};
        const double b[10] = {0.5 * s,  1 - 0.5 * s, 2.6e6 + 1e4 * s, 1.05e5 + 1e3 * s, 1.8e-5,
                              8.9e-4 * (1 + s), -1234.5 * s, 0.35, 1.0e-13 * (1 + s), 0.021 * s};
        for (int k = 0; k < 10; ++k) p = e12_5(p, primary ? a[k] : b[k]);
        *p++ = '\n';
        std::fwrite(row, 1, static_cast<std::size_t>(p - row), f);
      }
      std::fprintf(f, "\n%s\n", terminator);
      if (!primary) continue;
      for (std::size_t c = 0; c < connections.size(); ++c) {
        if (c % rows_a_page == 0) page(f, step, days, flow_heading, flow_units);
        p = row + std::sprintf(row, " %s %s %9zu", connections[c].first.c_str(), connections[c].second.c_str(), c + 1);
        const double s = static_cast<double>((c * 3 + static_cast<std::size_t>(n)) % 991) / 991.0 - 0.5;
        const double v[8] = {8.22321e-3 * s * n, 1.05e5 + s, 2.5e-8 * s, -4.5e-5 * s, 1.2e-6 * s,
                             -4.5e-5 * s,        3.3e-9 * s, -2.1e-8 * s};
        for (int k = 0; k < 8; ++k) p = e13_6(p, v[k]);
        *p++ = '\n';
        std::fwrite(row, 1, static_cast<std::size_t>(p - row), f);
      }
      std::fprintf(f, "\n%s\n", terminator);
    }
    page(f, step, days, generation_heading, generation_units);
    for (int g = 0; g < 4; ++g)
      std::fprintf(f, " %s  inj%2d %6d        %.5E      %.5E  %.5E  %.5E     %.5E\n",
                   elements[static_cast<std::size_t>(g) * 13].c_str(), g + 1, g + 1, g == 3 ? -0.25 : 0.1 * (g + 1),
                   1.05e5, 0.0, 1.0, 1.0133e5 + g);
    std::fprintf(f, "\n%s\n\n", terminator);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string only = argc == 5 ? argv[4] : "";
  if ((argc != 4 && argc != 5) || (argc == 5 && only != "elements" && only != "connections" && only != "simulator")) {
    std::fprintf(stderr, "usage: gen_printout <MESH> <printouts> <out-file> [elements|connections|simulator]\n");
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
  if (only == "simulator") {
    simulator_layout(f, elements, connections, printouts);
    std::fclose(f);
    return 0;
  }
  char row[512];
  // The index in 5 columns, or as many as the last one needs (a mesh past
  // 99 999 elements), so that every row of a table has its values in the
  // same columns.
  const int index_width = std::max(5, static_cast<int>(std::to_string(elements.size()).size()));
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
      p = row + std::snprintf(row, sizeof row, " %s %*zu", elements[e].c_str(), index_width, e + 1);
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
