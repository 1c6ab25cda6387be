#!/usr/bin/env bash
# Times whole runs of printzone on generated max-size cases, against cat
# reading the same input files (printout file and MESH) and writing files of
# the same total size as the plot files, in the same run.
#
#   bench/whole_run.sh [work-dir] [GiB]   (default /tmp/printzone-bench, 4)
#
# First, how fast this machine touches fresh memory and what several threads
# can gain on it at all (see machine_scaling.cpp). Then, for the largest grid (99 999 elements, 199 358
# connections) with 3 printouts of an element table of 12 columns and a
# connection table of 4 (about 100 MB), and for a printout file of GiB
# gibibytes of the same printouts: a table of the wall time at -j 1, -j 2
# and one thread per core (best and median of rounds that alternate with
# cat), the time of cat over the input plus one cat copying the plot files'
# bytes into one file (no start-up of a cat a plot file counts),
# the ratios, the CPU time (user and system) and the peak resident memory;
# and the wall and CPU time per table line at a tenth of the grid and at the
# full grid. GiB 0 leaves the big file out.
#
# Then the history of 10 elements (-history) from the largest grid and,
# unless GiB is 0, from the printout file of GiB gibibytes, against the
# plain conversion of the same file: best and median wall time of rounds
# that alternate the two, CPU time and peak memory.
#
# Then a listing in the layout simulators print (2 600 elements, 40
# printouts of paged tables between iteration lines, about 71 MB) at the
# same thread counts. Then the older cases: the 99 999-element 2-D grid with 5
# printouts (element table of 12
# columns, connection table of 4 columns, page breaks); the dense 3-D block
# with 1 199 636 connections as 3-D points, 2 printouts of both tables, and 2
# printouts of its connection table alone for the time per connection row;
# then the adversarial shapes (below).
#
# printzone is built as a Release build builds it (see README.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/printzone-bench}
gib=${2:-4}
build=$root/build-bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPRINTZONE_BENCH=ON -DPRINTZONE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target printzone gen_mesh gen_printout gen_adversarial machine_scaling >/dev/null
mkdir -p "$work"
cd "$work"

# Times come from the shell's own clock, $EPOCHREALTIME: a program started
# to read the clock would add its start-up to every time measured.

run_case() {  # name mesh-kind printouts option [only]
  local name=$1 kind=$2 printouts=$3 option=$4 only=${5:-}
  rm -rf "$name" && mkdir "$name" && cd "$name"
  "$build/bench/gen_mesh" "$kind" 1 MESH >/dev/null
  "$build/bench/gen_printout" MESH "$printouts" case.out $only
  cat case.out MESH >/dev/null  # warm the page cache
  local t0 t1 t2
  t0=$EPOCHREALTIME
  /usr/bin/time -f "%M" -o rss.txt "$build/printzone" $option case.out >/dev/null
  t1=$EPOCHREALTIME
  cat case.out MESH >/dev/null
  cat case.out.[0-9]* >copy
  t2=$EPOCHREALTIME
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
  rm -f copy case.out.[0-9]*
  cd ..
}

# One run of printzone with the given arguments, its plot files made anew
# (as a first run makes them) after the files written before have gone to
# disk: "wall user system", in seconds. printzone is started as cat is, by
# the shell itself (/usr/bin/time would add its own start, over a
# millisecond); its CPU time is what the shell's children used meanwhile,
# to the millisecond, as the builtin times tells it ("XmY.YYYs XmY.YYYs" on
# its second line). The split into user and system time is the kernel's, by
# the timer ticks that fell in each: it tells little of a few ticks.
timed_run() {
  rm -f case.out.[0-9]* case.out.history.csv
  sync  # no writing back of earlier files during the run
  times >cpu.before
  local t0=$EPOCHREALTIME
  "$build/printzone" "$@" >/dev/null
  local t1=$EPOCHREALTIME
  times >cpu.after
  awk -v t0="$t0" -v t1="$t1" '
    function seconds(t, parts) { split(t, parts, "m"); return parts[1] * 60 + parts[2] }
    FNR == 2 { user[NR > FNR] = seconds($1); kernel[NR > FNR] = seconds($2) }
    END { printf "%.6f %.6f %.6f\n", t1 - t0, user[1] - user[0], kernel[1] - kernel[0] }
  ' cpu.before cpu.after
}

# Wall time at -j 1, -j 2 and one thread per core, beside cat over the
# input and a copy of the plot files' bytes.
threads_table() {  # name printouts rounds [machine] [mesh-kind layout option]
  local name=$1 printouts=$2 rounds=$3 kind=${5:-2d} layout=${6:-} option=${7:-} cores
  cores=$(nproc)
  rm -rf "$name" && mkdir "$name" && cd "$name"
  "$build/bench/gen_mesh" "$kind" 1 MESH >/dev/null
  "$build/bench/gen_printout" MESH "$printouts" case.out $layout
  cat case.out MESH >/dev/null  # warm the page cache
  # Fresh memory, and what threads can gain on this machine, over this file.
  [ -z "${4:-}" ] || "$build/bench/machine_scaling" case.out
  # Rounds of a run at each thread count (see timed_run) and a run of cat,
  # one after the other, so that a change in the machine's speed (this
  # one's swings by half within minutes) weighs on both sides of a ratio
  # alike; the best time of each counts. The peak memory is that of one
  # more run at each thread count, under /usr/bin/time.
  local rows=() cats=() peaks=() j k t0 t1
  local threads
  threads=$(printf '%s\n' 1 2 "$cores" | awk '!seen[$0]++')
  for k in $(seq "$rounds"); do
    for j in $threads; do
      rows+=("$j $(timed_run -j "$j" $option case.out)")
    done
    rm -f copy
    sync
    t0=$EPOCHREALTIME
    cat case.out MESH >/dev/null
    cat case.out.[0-9]* >copy  # one cat: no start-up of one a plot file counts
    t1=$EPOCHREALTIME
    cats+=("$t0 $t1")
  done
  for j in $threads; do
    rm -f case.out.[0-9]*
    /usr/bin/time -f "%M" -o rss.txt "$build/printzone" -j "$j" $option case.out >/dev/null
    peaks+=("$j $(cat rss.txt)")
  done
  python3 - "$name" "$cores" "$rounds" "$(cat case.out MESH | wc -c)" "$(cat case.out.[0-9]* | wc -c)" "${cats[@]}" -- "${rows[@]}" -- "${peaks[@]}" <<'PY'
import sys
args = sys.argv[1:]
name, cores, rounds, inb, outb = args[0], args[1], args[2], float(args[3]), float(args[4])
split = args.index("--")
split2 = args.index("--", split + 1)
cats = sorted(float(c.split()[1]) - float(c.split()[0]) for c in args[5:split])
cat, cat_median = cats[0], cats[len(cats) // 2]
runs, cpus, peaks = {}, {}, {}
for row in args[split + 1:split2]:
    j, wall, user, system = row.split()
    runs.setdefault(j, []).append(float(wall))
    cpus.setdefault(j, []).append(float(user) + float(system))
for row in args[split2 + 1:]:
    j, rss = row.split()
    peaks[j] = int(rss)
print(f"{name}: in {inb / 1e6:.0f} MB, out {outb / 1e6:.0f} MB, {cores} cores; cat + copy {cat:.3f} s best, "
      f"{cat_median:.3f} s median of {rounds}")
print("  threads   best s   / cat   median s   / cat median   CPU s   peak RSS MiB")
for j, times in runs.items():
    times.sort()
    median = times[len(times) // 2]
    print(f"  {j:>7} {times[0]:8.3f} {times[0] / cat:7.2f} {median:10.3f} {median / cat_median:14.2f} "
          f"{min(cpus[j]):7.3f} {peaks[j] / 1024:14.1f}")
PY
  rm -f copy case.out.[0-9]* case.out
  cd ..
  rm -rf "$name"
}

# The history of 10 elements spread over the mesh against the plain
# conversion, both at one thread per core.
history_table() {  # name printouts rounds
  local name=$1 printouts=$2 rounds=$3 k rows=() peaks=() option
  rm -rf "$name" && mkdir "$name" && cd "$name"
  "$build/bench/gen_mesh" 2d 1 MESH >/dev/null
  "$build/bench/gen_printout" MESH "$printouts" case.out
  awk '/^$/ { exit } NR > 1 && substr($0, 1, 5) != "     " { print substr($0, 1, 5) }' MESH |
    awk '{ names[NR] = $0 } END { for (k = 0; k < 10; k++) print names[int(1 + k * (NR - 1) / 9)] }' >wells
  cat case.out MESH >/dev/null  # warm the page cache
  for k in $(seq "$rounds"); do
    rows+=("plain $(timed_run case.out)")
    rows+=("history $(timed_run -history wells case.out)")
  done
  for option in "" "-history wells"; do
    rm -f case.out.[0-9]* case.out.history.csv
    /usr/bin/time -f "%M" -o rss.txt "$build/printzone" $option case.out >/dev/null
    peaks+=("$([ -n "$option" ] && echo history || echo plain) $(cat rss.txt)")
  done
  python3 - "$name" "$(stat -c %s case.out)" "$(wc -c <case.out.history.csv)" "${rows[@]}" -- "${peaks[@]}" <<'PY'
import sys
args = sys.argv[1:]
name, inb, csvb = args[0], float(args[1]), float(args[2])
split = args.index("--")
runs, cpus, peaks = {}, {}, dict((r.split()[0], int(r.split()[1])) for r in args[split + 1:])
for row in args[3:split]:
    what, wall, user, system = row.split()
    runs.setdefault(what, []).append(float(wall))
    cpus.setdefault(what, []).append(float(user) + float(system))
print(f"{name}: in {inb / 1e6:.0f} MB, history of 10 elements {csvb / 1e3:.1f} kB")
print("  run        best s   median s   CPU s   peak RSS MiB")
for what, times in runs.items():
    times.sort()
    print(f"  {what:<8} {times[0]:8.3f} {times[len(times) // 2]:10.3f} {min(cpus[what]):7.3f} {peaks[what] / 1024:14.1f}")
PY
  cd ..
  rm -rf "$name"
}

threads_table largest-grid 3 5 machine
history_table history-largest-grid 3 5
[ "$gib" = 0 ] || history_table "history-${gib}GiB" "$(python3 -c "import math; print(math.ceil($gib * 2**30 / 32.53e6))")" 3
# A listing in the layout simulators print, of the size of the runs users
# have: 2 600 elements, 5 098 connections, 40 printouts of 71 MB in pages
# of 50 rows (see gen_printout.cpp), as 3-D points (69 MB out).
threads_table simulator-layout 40 5 "" section simulator -xyz
[ "$gib" = 0 ] || threads_table "printout-of-${gib}GiB" "$(python3 -c "import math; print(math.ceil($gib * 2**30 / 32.53e6))")" 3

# Time per table line at a tenth of the grid and at the full grid, at -j 1:
# the time of 20 printouts less that of 2, over the lines of the 18 more (so
# that reading the mesh and tracing the cells, once a run, do not count);
# wall and CPU time of the best of 3 runs (see timed_run: a run at a tenth
# of the grid lasts a few of the hundredths /usr/bin/time would print), and
# cat over the same bytes.
per_line() {  # scale
  rm -rf per-line && mkdir per-line && cd per-line
  "$build/bench/gen_mesh" 2d "$1" MESH >/dev/null
  local n k t0 t1 run times=() user=() system=() cats=() rows=()
  for n in 2 20; do
    "$build/bench/gen_printout" MESH "$n" case.out
    cat case.out MESH >/dev/null
    read -r -a run <<<"$(for k in 1 2 3; do timed_run -j 1 case.out; done | sort -n | head -n 1)"
    times+=("${run[0]}")
    user+=("${run[1]}")
    system+=("${run[2]}")
    rows+=("$(grep -c '^ [^ ]' case.out || true)")
    # cat over the same bytes: the writing back of many files costs the
    # kernel more per byte, whoever writes them.
    sync
    t0=$EPOCHREALTIME
    cat case.out MESH >/dev/null
    cat case.out.[0-9]* >copy  # one cat, so that no start-up of one a file counts
    t1=$EPOCHREALTIME
    cats+=("$(python3 -c "print($t1 - $t0)")")
    rm -f copy
  done
  python3 -c "import sys; t2, t20, u2, u20, s2, s20, k2, k20, r2, r20 = map(float, sys.argv[2:]); r = (r20 - r2) / 1e9; print(f'grid at scale {sys.argv[1]}: -j 1 {(t20 - t2) / r:.0f} ns wall, {(u20 + s20 - u2 - s2) / r:.0f} ns CPU ({max(u20 - u2, 0) / r:.0f} user, {max(s20 - s2, 0) / r:.0f} system) per table line; cat + copy {(k20 - k2) / r:.0f} ns')" \
    "$1" "${times[@]}" "${user[@]}" "${system[@]}" "${cats[@]}" "${rows[@]}"
  cd .. && rm -rf per-line
}
per_line 0.1
per_line 1

# The 2-D grid in its own plane, cells traced; the dense block as 3-D points
# (seen in a plane its connections cross, and they would make more cells
# than the cell table holds).
run_case grid2d 2d 5 -xz
run_case dense dense 2 -xyz
run_case dense-connections dense 2 -xyz connections

# Shapes that once cost quadratic time: names crafted to share the name
# index's slots, an element at the first end of 80 000 connections, a
# boundary element tied to every surface cell of a grid of 40 000 and of
# 80 000 (the hub: its cells traced in the automatic plane and with -xy;
# the grid of 80 000 makes more cells than a plot holds, and the run ends
# with that stop once the cells are traced), and 16 000 printouts written
# with -vtk (the collection file).
adversarial() {  # shape option [cells]
  local shape=$1 option=$2 cells=${3:-}
  rm -rf "adversarial-$shape" && mkdir "adversarial-$shape" && cd "adversarial-$shape"
  "$build/bench/gen_adversarial" "$shape" . $cells
  cat case.out MESH >/dev/null
  local t0 t1 status=0
  t0=$EPOCHREALTIME
  /usr/bin/time -f "%M" -o rss.txt "$build/printzone" $option case.out >/dev/null 2>stderr.txt || status=$?
  t1=$EPOCHREALTIME
  python3 -c "import sys; print(f'adversarial {sys.argv[1]}{sys.argv[2]} ({sys.argv[3] or \"automatic plane\"}): printzone {float(sys.argv[5]) - float(sys.argv[4]):.3f} s, peak RSS {int(sys.argv[6]) / 1024:.1f} MiB, status {sys.argv[7]}')" \
    "$shape" "${cells:+ $cells}" "$option" "$t0" "$t1" "$(tail -n 1 rss.txt)" "$status"
  cd ..
  rm -rf "adversarial-$shape"
}
adversarial names -xy
adversarial star -xyz
for cells in 40000 80000; do
  adversarial hub "" "$cells"
  adversarial hub -xy "$cells"
done
adversarial printouts "-vtk -xy"
