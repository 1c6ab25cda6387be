#!/usr/bin/env bash
# Models past the fixed capacities (-large): peak memory against the mesh,
# and a 3-D grid of a million elements against one of 100 000.
#
#   bench/large.sh [work-dir] [fit]   (default /tmp/printzone-large)
#
# The benchmark: a block of 46 x 46 x 473 = 1 000 868 elements with
# 2 956 972 connections and one of 46 x 46 x 47 = 99 452 elements with
# 291 870 connections, each with one printout of an element table of 12
# columns and a connection table of 4 (about 400 MB and 40 MB), converted
# with -large -xyz and with -large -vtk -xyz: wall time (best of 3), peak
# resident memory, and both per element and per table row.
#
# With "fit" as second argument instead: the peak memory of -large -xyz
# -j 1 on 2-D sections, 3-D blocks and blocks whose elements each join all
# 26 neighbours, at several sizes (connections per element 2, 3 and 12),
# and the least-squares line peak = a + b elements + c connections.
#
# Needs about 1.2 GB of disk in work-dir; the cases are removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/printzone-large}
build=$root/build-gen
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPRINTZONE_GENERATORS=ON -DPRINTZONE_TESTS=OFF \
  -DPRINTZONE_PGO=OFF >/dev/null
cmake --build "$build" -j2 --target printzone gen_mesh gen_printout >/dev/null
mkdir -p "$work"
cd "$work"

# Makes MESH and case.out: mesh kind, scale; sets elements and connections.
make_case() {
  read -r elements connections < <("$build/bench/gen_mesh" "$1" "$2" MESH |
    sed 's/.*: \([0-9]*\) elements, \([0-9]*\) connections/\1 \2/')
  "$build/bench/gen_printout" MESH 1 case.out
}

# Peak resident memory in KiB and wall time in seconds of one run: "kib s".
one_run() {
  rm -rf out && mkdir out
  cat case.out MESH >/dev/null  # warm the page cache
  /usr/bin/time -f "%M %e" -o run.txt "$build/printzone" -q -o out "$@" case.out
  cat run.txt
}

if [[ ${2:-} == fit ]]; then
  : >fit.txt
  for kc in "2d 1" "2d 3" "2d 6" "3d 1" "3d 3" "3d 6" "dense 1" "dense 2" "dense 3"; do
    make_case $kc
    one_run -large -xyz -j 1 >/dev/null
    read -r kib _ <run.txt
    echo "$kc: $elements elements, $connections connections, peak $((kib / 1024)) MiB"
    echo "$elements $connections $kib" >>fit.txt
  done
  python3 - <<'PY'
rows = [tuple(map(float, l.split())) for l in open("fit.txt")]
# Normal equations of peak = a + b e + c k (bytes).
import itertools
X = [(1.0, e, k) for e, k, _ in rows]
y = [m * 1024 for _, _, m in rows]
A = [[sum(x[i] * x[j] for x in X) for j in range(3)] for i in range(3)]
v = [sum(x[i] * t for x, t in zip(X, y)) for i in range(3)]
def solve(A, v):
    n = len(v)
    M = [row[:] + [v[i]] for i, row in enumerate(A)]
    for c in range(n):
        p = max(range(c, n), key=lambda r: abs(M[r][c]))
        M[c], M[p] = M[p], M[c]
        for r in range(n):
            if r != c:
                f = M[r][c] / M[c][c]
                M[r] = [a - f * b for a, b in zip(M[r], M[c])]
    return [M[i][n] / M[i][i] for i in range(n)]
a, b, c = solve(A, v)
worst = max(abs(a + b * x[1] + c * x[2] - t) / t for x, t in zip(X, y))
print(f"peak = {a / 2**20:.1f} MiB + {b:.0f} B per element + {c:.0f} B per connection "
      f"(largest deviation {100 * worst:.1f} %)")
PY
  rm -rf MESH case.out out run.txt fit.txt
  exit 0
fi

for kc in "3d 1" "3d 10.06"; do
  make_case $kc
  rows=$(grep -c '^ [^ ]' case.out || true)
  for options in "-large -xyz" "-large -vtk -xyz"; do
    best=
    for round in 1 2 3; do
      one_run $options >/dev/null
      read -r kib s <run.txt
      if [[ -z $best ]] || python3 -c "import sys; sys.exit(not $s < $best)"; then best=$s; fi
    done
    python3 - "$elements" "$connections" "$rows" "$kib" "$best" "$options" <<'PY'
import sys
e, k, rows, kib, s = map(float, sys.argv[1:6])
print(f"{int(e)} elements, {int(k)} connections, {sys.argv[6]}: {s:.2f} s, peak {kib / 1024:.0f} MiB; "
      f"per element {s / e * 1e6:.2f} us, {kib * 1024 / e:.0f} B; {s / rows * 1e9:.0f} ns per table row")
PY
  done
done
rm -rf MESH case.out out run.txt fit.txt
