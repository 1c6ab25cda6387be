// The real-layout golden plots read against their printouts by a split of this test's own: a row's values
// are its trailing numbers, its index the word before, its names the words before that; a connection's
// value adds half of it along x at both ends (over the area, but for velocities).

#include <cmath>
#include <set>

#include "support/run.hpp"

namespace pz::test {
namespace {

const fs::path golden = fs::path(PRINTZONE_SOURCE_DIR) / "tests" / "run" / "golden";

std::vector<std::string> split(std::string_view text) {
  std::istringstream in{std::string(text)};
  return {std::istream_iterator<std::string>(in), {}};
}

bool read_number(const std::string& word, double& value) {
  char* end = nullptr;
  value = std::strtod(word.c_str(), &end);
  return !word.empty() && *end == '\0';
}

struct MeshNames {
  std::vector<std::vector<std::string>> words;  // of each element's name, in mesh order
  std::vector<double> x;
  std::map<std::pair<int, int>, double> areas;
  int find(const std::vector<std::string>& name) const {
    const auto at = std::find(words.begin(), words.end(), name);
    return at == words.end() ? -1 : static_cast<int>(at - words.begin());
  }
};

MeshNames read_mesh_names(const std::string& text) {
  MeshNames m;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // ELEME
  while (std::getline(in, line) && !line.empty()) {
    m.words.push_back(split(line.substr(0, 5)));
    m.x.push_back(std::stod(line.substr(50, 10)));
  }
  std::getline(in, line);  // CONNE
  while (std::getline(in, line) && line != "+++")
    m.areas[{m.find(split(line.substr(0, 5))), m.find(split(line.substr(5, 5)))}] = std::stod(line.substr(50, 10));
  return m;
}

// What the plot of each printout must hold: a value per point and column.
using Expected = std::vector<std::vector<double>>;

std::vector<Expected> expected_plots(const std::string& printout, const MeshNames& mesh,
                                     const std::vector<std::set<int>>& velocity_columns) {
  std::vector<Expected> plots;
  bool connection = false;
  std::string steps;  // of the last OUTPUT AFTER line
  std::istringstream in(printout);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> w = split(line);
    if (w.size() >= 2 && w[0] == "TOTAL" && w[1] == "TIME") plots.emplace_back();
    if (w.size() >= 3 && w[0] == "OUTPUT" && w[1] == "AFTER" && w[2] != steps) {
      steps = w[2];
      plots.emplace_back();
    }
    std::string first = w.empty() ? "" : w[0];
    std::transform(first.begin(), first.end(), first.begin(), ::tolower);
    if (first.starts_with("elem")) connection = w.size() > 1 && (w[1][0] == 'E' || w[1][0] == 'e');
    std::vector<double> values;
    double v;
    while (!w.empty() && w.back().find('.') != std::string::npos && read_number(w.back(), v)) {
      values.insert(values.begin(), v);
      w.pop_back();
    }
    if (values.empty() || w.size() < 2 || plots.empty()) continue;
    w.pop_back();  // the index
    Expected& plot = plots.back();
    const std::size_t width = values.size() * (connection ? 2 : 1);
    plot.resize(mesh.words.size(), std::vector<double>(width, 0.0));
    if (!connection) {
      if (const int e = mesh.find(w); e >= 0)
        for (std::size_t k = 0; k < values.size(); ++k) plot[static_cast<std::size_t>(e)][k] = values[k];
      continue;
    }
    for (std::size_t j = 1; j < w.size(); ++j) {
      const int a = mesh.find({w.begin(), w.begin() + static_cast<std::ptrdiff_t>(j)});
      const int b = mesh.find({w.begin() + static_cast<std::ptrdiff_t>(j), w.end()});
      if (a < 0 || b < 0) continue;
      const double area = mesh.areas.at({a, b}), sign = mesh.x[static_cast<std::size_t>(a)] > mesh.x[static_cast<std::size_t>(b)] ? 1 : -1;
      for (std::size_t k = 0; k < values.size(); ++k) {
        const bool velocity = velocity_columns[plots.size() - 1].contains(static_cast<int>(k) + 1);
        for (const int e : {a, b}) plot[static_cast<std::size_t>(e)][2 * k] += sign * values[k] / 2 / (velocity ? 1 : area);
      }
    }
  }
  return plots;
}

TEST(PrintedValues, RealLayoutsHoldThePrintedNumbers) {
  // Each case, with the velocity columns of each printout's table.
  const std::vector<std::pair<std::string, std::vector<std::set<int>>>> cases = {
      {"real_names_moved", {{2, 3}, {6}, {2, 4}, {}, {}}},
      {"real_column1", {{}, {}}},
      {"real_names_over_values", {{6, 7}, {}}},
      {"real_velocity_names", {{2, 4}, {6}}},
      {"real_letter_lines", {{}, {6}}}};
  for (const auto& [name, velocities] : cases) {
    const fs::path folder = golden / name;
    const MeshNames mesh = read_mesh_names(slurp(folder / "in" / "MESH"));
    const std::vector<Expected> plots = expected_plots(slurp(folder / "in" / "p.out"), mesh, velocities);
    ASSERT_EQ(plots.size(), velocities.size()) << name;
    for (std::size_t p = 0; p < plots.size(); ++p) {
      std::istringstream plot(slurp(folder / "out" / ("p.out." + std::to_string(p + 1))));
      std::string line;
      while (std::getline(plot, line) && !line.starts_with("Zone")) {
      }
      for (std::size_t e = 0; e < plots[p].size(); ++e) {
        ASSERT_TRUE(std::getline(plot, line)) << name << " " << p + 1;
        const std::vector<std::string> words = split(line);
        ASSERT_EQ(words.size(), plots[p][e].size() + 2) << name << " " << p + 1 << ": " << line;
        for (std::size_t k = 0; k < plots[p][e].size(); ++k) {
          const double want = plots[p][e][k];
          EXPECT_NEAR(std::stod(words[k + 2]), want, 1e-6 * std::fabs(want) + 1e-300)
              << name << ", printout " << p + 1 << ", point " << e + 1 << ", value " << k + 1;
        }
      }
    }
  }
}

}  // namespace
}  // namespace pz::test
