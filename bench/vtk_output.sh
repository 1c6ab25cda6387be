#!/usr/bin/env bash
# Times the -vtk output against the zone format on the max-size case: the
# 99 999-element 2-D grid (bench/gen_mesh 2d 1) with 5 printouts of an
# element table of 12 columns and a connection table of 4 columns, in its
# own (XZ) plane with the traced cells. For each: the whole run, cat over
# the printout file and over output files of the same bytes, and the sizes.
# Then the volumes of a 3-D mesh: the 99 452-element block (bench/gen_mesh
# 3d 1, 93 150 boxes) with 3 printouts, -vtk -xyz (the boxes as hexahedra)
# against -xyz (zone-format points alone): wall time (best of three), peak
# resident memory and output size.
#
#   bench/vtk_output.sh [work-dir] [build-dir]
#       (defaults /tmp/printzone-vtk-bench and build-bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/printzone-vtk-bench}
build=${2:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPRINTZONE_BENCH=ON -DPRINTZONE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target printzone gen_mesh gen_printout >/dev/null
mkdir -p "$work"
cd "$work"
rm -f case.out.* .case.out*
[ -s MESH ] || "$build/bench/gen_mesh" 2d 1 MESH >/dev/null
[ -s case.out ] || "$build/bench/gen_printout" MESH 5 case.out
cat case.out MESH >/dev/null  # warm the page cache

now() { date +%s.%N; }
best() {  # the best of three wall times of a command
  local b=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(now); "$@" >/dev/null; t1=$(now)
    b=$(echo "$t0 $t1 $b" | awk '{t = $2 - $1; if ($3 == "" || t < $3) print t; else print $3}')
  done
  echo "$b"
}
copy_outputs() { local i=0; for f in "$@"; do cat "$f" >"copy.$i"; i=$((i + 1)); done; rm -f copy.*; }

zone=$(best "$build/printzone" -xz case.out)
zone_files=(case.out.[0-9])
zone_bytes=$(cat "${zone_files[@]}" | wc -c)
zone_cat=$(best copy_outputs case.out "${zone_files[@]}")
rm -f "${zone_files[@]}"

vtk=$(best "$build/printzone" -vtk -xz case.out)
vtk_files=(case.out.[0-9].vtu case.out.pvd)
vtk_bytes=$(cat "${vtk_files[@]}" | wc -c)
vtk_cat=$(best copy_outputs case.out "${vtk_files[@]}")
rm -f "${vtk_files[@]}"

awk -v z="$zone" -v zc="$zone_cat" -v zb="$zone_bytes" -v v="$vtk" -v vc="$vtk_cat" -v vb="$vtk_bytes" \
    -v inb="$(stat -c %s case.out)" 'BEGIN {
  printf "printout file %.1f MB, 99 999 elements, 5 printouts, -xz\n", inb / 1e6
  printf "zone format: %.3f s, cat over the same bytes %.3f s (ratio %.2f), output %.1f MB\n", z, zc, z / zc, zb / 1e6
  printf "-vtk:        %.3f s, cat over the same bytes %.3f s (ratio %.2f), output %.1f MB\n", v, vc, v / vc, vb / 1e6
  printf "-vtk / zone format: time %.2f, size %.2f\n", v / z, vb / zb
}'

# The volumes of a 3-D mesh.
mkdir -p 3d
cd 3d
rm -f case.out.* .case.out*
[ -s MESH ] || "$build/bench/gen_mesh" 3d 1 MESH >/dev/null
[ -s case.out ] || "$build/bench/gen_printout" MESH 3 case.out
cat case.out MESH >/dev/null
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }  # KiB
points=$(best "$build/printzone" -q -xyz case.out)
points_peak=$(peak "$build/printzone" -q -xyz case.out)
points_bytes=$(cat case.out.[0-9] | wc -c)
rm -f case.out.[0-9]
volumes=$(best "$build/printzone" -q -vtk -xyz case.out)
volumes_peak=$(peak "$build/printzone" -q -vtk -xyz case.out)
volumes_bytes=$(cat case.out.[0-9].vtu case.out.pvd | wc -c)
rm -f case.out.[0-9].vtu case.out.pvd
awk -v p="$points" -v pm="$points_peak" -v pb="$points_bytes" -v v="$volumes" -v vm="$volumes_peak" \
    -v vb="$volumes_bytes" -v inb="$(stat -c %s case.out)" 'BEGIN {
  printf "printout file %.1f MB, 99 452 elements (3-D block), 3 printouts\n", inb / 1e6
  printf "-xyz (points):       %.3f s, peak %.0f MB, output %.1f MB\n", p, pm / 1024, pb / 1e6
  printf "-vtk -xyz (volumes): %.3f s, peak %.0f MB, output %.1f MB\n", v, vm / 1024, vb / 1e6
  printf "-vtk -xyz / -xyz: time %.2f, peak %.2f\n", v / p, vm / pm
}'
