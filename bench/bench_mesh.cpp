// Timings of the mesh reader on grids at the element capacity.
//
//   bench_mesh [work-dir]
//
// Generates (with gen_mesh, found beside this program) a 2-D and a 3-D MESH
// at full size and at a tenth, unless work-dir already holds them, then
// reports for each: read_mesh's time, the time of `cat MESH > /dev/null` and
// of a plain block read of the same bytes, the two index builds, and the
// lookup rate of find_element. Times are medians of repeated runs on a warm
// page cache (the read_mesh line also gives the fastest run, a better
// figure on a busy machine); each read_mesh fills a fresh Mesh, as a run does.
// `cat` includes starting the shell and cat (about 1-2 ms); the block read
// is the same bytes read in 256 KiB blocks inside this process.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <numeric>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "extract/printout_data.hpp"
#include "mesh/mesh.hpp"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double fastest = 0;  // of the last median_seconds

template <typename F>
double median_seconds(int reps, F&& f) {
  std::vector<double> t;
  for (int r = 0; r < reps; ++r) {
    const auto start = Clock::now();
    f();
    t.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::sort(t.begin(), t.end());
  fastest = t.front();
  return t[t.size() / 2];
}

double raw_read_seconds(const std::string& path) {
  static std::vector<char> buf(1 << 18);
  return median_seconds(7, [&] {
    int fd = ::open(path.c_str(), O_RDONLY);
    while (::read(fd, buf.data(), buf.size()) > 0) {
    }
    ::close(fd);
  });
}

double cat_seconds(const std::string& path) {
  const std::string cmd = "cat '" + path + "' > /dev/null";
  return median_seconds(7, [&] {
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "cat failed\n");
  });
}

// The records alone: every MESH record read and converted by its layout,
// nothing stored. The part of rmesh that the field conversion takes.
double parse_only_seconds(const std::string& path) {
  return median_seconds(11, [&] {
    pz::LineReader in;
    in.open(path, {pz::unit::mesh, path}, pz::Routine::mesh_reader);
    std::string_view r;
    double sum = 0;
    in.next(r);
    while (in.next(r)) {
      const pz::ElementRecord e = pz::read_element_record(r, in.source(), pz::Routine::mesh_reader);
      if (e.name == pz::blank_name) break;
      sum += e.x[0];
    }
    in.next(r);
    while (in.next(r)) {
      const pz::ConnectionRecord c = pz::read_connection_record(r, in.source(), pz::Routine::mesh_reader);
      if (c.first == pz::blank_name) break;
      sum += c.value;
    }
    if (sum == 0.5) std::printf(" ");
  });
}

struct Figures {
  double read, cat, raw;
};

Figures time_file(const std::string& label, const std::string& path, pz::Mesh& mesh) {
  pz::Projection plane = pz::Projection::automatic;
  pz::read_mesh(mesh, plane, {}, path, path + ".locat");  // warm the cache
  Figures f;
  f.read = median_seconds(11, [&] {  // a fresh mesh each time, as in a run
    pz::Mesh fresh;
    pz::Projection p = pz::Projection::automatic;
    pz::read_mesh(fresh, p, {}, path, path + ".locat");
  });
  const double best = fastest;
  const double parse = parse_only_seconds(path);
  f.cat = cat_seconds(path);
  f.raw = raw_read_seconds(path);
  const double mb = static_cast<double>(fs::file_size(path)) / 1e6;
  std::printf("%-10s %6d elements %7d connections  %5.1f MB  plane %s\n", label.c_str(), mesh.elements.count,
              mesh.connections.count, mb, std::string(pz::coordinate_letters(plane)).c_str());
  std::printf("           read_mesh %7.2f ms (fastest %6.2f, %4.0f MB/s)   cat %6.2f ms   block read %6.2f ms"
              "   read_mesh/cat %.1f   read_mesh/block read %.1f\n",
              f.read * 1e3, best * 1e3, mb / f.read, f.cat * 1e3, f.raw * 1e3, f.read / f.cat, f.read / f.raw);
  std::printf("           of which reading and converting the records alone: %6.2f ms\n", parse * 1e3);
  return f;
}

// The bucket passes exactly as written: every pass scans the whole
// unfilled tail for the members of its bucket.
void plain_bucket_passes(std::vector<pz::Name>& names, std::vector<int>& order, int n, int buckets) {
  std::vector<int> bucket(n + 1);
  for (int i = 1; i <= n; ++i) bucket[i] = pz::bucket_of(names[i] = pz::normalise(names[i]), buckets);
  int c = 0;
  for (int b = 1; b <= buckets; ++b)
    for (int p = c + 1; p <= n; ++p)
      if (bucket[order[p]] == b) std::swap(order[p], order[++c]);
}

void time_index(const std::string& label, const pz::Mesh& mesh) {
  const int n = mesh.elements.count;
  std::vector<pz::Name> names = mesh.elements.names;
  pz::NameIndex index;
  const double first = median_seconds(7, [&] {
    index.elements_by_bucket.resize(n + 1);
    std::iota(index.elements_by_bucket.begin(), index.elements_by_bucket.end(), 0);
    pz::build_name_index(names, index, n, 256);
  });
  pz::NameIndex again = index;
  const double second = median_seconds(7, [&] {
    again.elements_by_bucket = index.elements_by_bucket;
    pz::build_name_index(names, again, n, 256);
  });
  std::vector<int> order(n + 1);
  const double plain = median_seconds(3, [&] {
    std::iota(order.begin(), order.end(), 0);
    plain_bucket_passes(names, order, n, 256);
  });
  std::printf("%-10s index: first build %6.2f ms, second %6.2f ms (the plain bucket passes: %6.2f ms)%s\n",
              label.c_str(), first * 1e3, second * 1e3, plain * 1e3,
              index.bucket_end.empty()           ? "  (names distinct: no bucket passes)"
              : order == index.elements_by_bucket ? ""
                                                  : "  ORDER DIFFERS");

  std::vector<std::string_view> probes;
  for (int i = 1; i <= n; ++i) probes.emplace_back(names[i].data(), 5);
  std::shuffle(probes.begin(), probes.end(), std::mt19937(7));
  long sink = 0;
  const double fast = median_seconds(5, [&] {
    for (auto p : probes) sink += pz::find_element(index, p, n);
  });
  std::printf("           lookups: find_element %6.1f M names/s%s\n", probes.size() / fast / 1e6, sink ? "" : " ");
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "printzone-bench-mesh";
  fs::create_directories(dir);
  const fs::path gen = fs::read_symlink("/proc/self/exe").parent_path() / "gen_mesh";
  struct Case { const char* label; const char* kind; const char* scale; };
  const Case cases[] = {{"2-D", "2d", "1"}, {"3-D", "3d", "1"}, {"2-D /10", "2d", "0.1"}, {"3-D /10", "3d", "0.1"}};
  Figures figures[4];
  for (int c = 0; c < 4; ++c) {
    const std::string path = (dir / (std::string("MESH.") + cases[c].kind + "." + cases[c].scale)).string();
    if (!fs::exists(path)) {
      const std::string cmd = gen.string() + " " + cases[c].kind + " " + cases[c].scale + " '" + path + "' > /dev/null";
      if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "cannot run %s\n", cmd.c_str());
        return 1;
      }
    }
    pz::Mesh mesh;
    figures[c] = time_file(cases[c].label, path, mesh);
    if (c < 2) time_index(cases[c].label, mesh);
  }
  std::printf("growth, full / tenth: 2-D x%.1f, 3-D x%.1f (records x10)\n", figures[0].read / figures[2].read,
              figures[1].read / figures[3].read);
  return 0;
}
