#!/usr/bin/env bash
# Times whole runs of printzone on generated max-size cases, against cat
# reading the same printout file and writing files of the same total size
# as the plot files, in the same run.
#
#   bench/whole_run.sh [work-dir]        (default /tmp/printzone-bench)
#
# Cases: the 99 999-element 2-D grid with 5 printouts (element table of 12
# columns, connection table of 4 columns, page breaks); the dense 3-D block
# with 1 199 636 connections as 3-D points, 2 printouts of both tables, and 2
# printouts of its connection table alone for the time per connection row;
# then three adversarial shapes (below).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/printzone-bench}
build=$root/build-bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPRINTZONE_BENCH=ON -DPRINTZONE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target printzone gen_mesh gen_printout gen_adversarial >/dev/null
mkdir -p "$work"
cd "$work"

seconds() { python3 -c 'import sys,time; print(f"{time.time():.6f}")'; }

run_case() {  # name mesh-kind printouts option [only]
  local name=$1 kind=$2 printouts=$3 option=$4 only=${5:-}
  rm -rf "$name" && mkdir "$name" && cd "$name"
  "$build/bench/gen_mesh" "$kind" 1 MESH >/dev/null
  "$build/bench/gen_printout" MESH "$printouts" case.out $only
  cat case.out MESH >/dev/null  # warm the page cache
  local t0 t1 t2
  t0=$(seconds)
  /usr/bin/time -f "%M" -o rss.txt "$build/printzone" $option case.out >/dev/null
  t1=$(seconds)
  cat case.out >/dev/null
  local i=0
  for f in case.out.[0-9]*; do cat "$f" >"copy.$i"; i=$((i + 1)); done
  t2=$(seconds)
  local rows
  rows=$(grep -c '^ [^ ]' case.out || true)
  python3 - "$name" "$t0" "$t1" "$t2" "$(cat rss.txt)" "$(stat -c %s case.out)" \
    "$(cat case.out.[0-9]* | wc -c)" "$rows" <<'PY'
import sys
name, t0, t1, t2, rss, inb, outb, rows = sys.argv[1], *map(float, sys.argv[2:])
run, cat = t1 - t0, t2 - t1
print(f"{name}: printzone {run:.3f} s, cat {cat:.3f} s, ratio {run / cat:.2f}, "
      f"in {inb / 1e6:.1f} MB, out {outb / 1e6:.1f} MB, peak RSS {rss / 1024:.1f} MiB, "
      f"{run / rows * 1e9:.0f} ns per table line")
PY
  rm -f copy.* case.out.[0-9]*
  cd ..
}

# The 2-D grid in its own plane, cells traced; the dense block as 3-D points
# (seen in a plane its connections cross, and they would make more cells
# than the cell table holds).
run_case grid2d 2d 5 -xz
run_case dense dense 2 -xyz
run_case dense-connections dense 2 -xyz connections

# Shapes that once cost quadratic time: names crafted to share the name
# index's slots, an element at the first end of 80 000 connections, and
# 16 000 printouts written with -vtk (the collection file).
adversarial() {  # shape option
  local shape=$1 option=$2
  rm -rf "adversarial-$shape" && mkdir "adversarial-$shape" && cd "adversarial-$shape"
  "$build/bench/gen_adversarial" "$shape" .
  cat case.out MESH >/dev/null
  local t0 t1
  t0=$(seconds)
  /usr/bin/time -f "%M" -o rss.txt "$build/printzone" $option case.out >/dev/null
  t1=$(seconds)
  python3 -c "import sys; print(f'adversarial {sys.argv[1]} ({sys.argv[2]}): printzone {float(sys.argv[4]) - float(sys.argv[3]):.3f} s, peak RSS {int(sys.argv[5]) / 1024:.1f} MiB')" \
    "$shape" "$option" "$t0" "$t1" "$(cat rss.txt)"
  cd ..
  rm -rf "adversarial-$shape"
}
adversarial names -xy
adversarial star -xyz
adversarial printouts "-vtk -xy"
