#!/usr/bin/env bash
# Where the cores idle during one run: runs the command under
# `perf sched record` and prints, for each CPU, the stretches of at least
# 0.3 ms in which it ran nothing between the run's start and its end, with
# their total, and then each of the run's threads: its CPU time and the
# stretch from its first to its last run.
#
#   bench/idle_cores.sh <printzone> <arguments...>   (e.g. -j 2 case.out, in the case's folder)
#
# A run on N cores lasts at least its CPU time over N: what it lasts beyond
# that is the cores' idle time over N. Times are in milliseconds from the
# command's start. Needs perf and the scheduler's trace points (root, or
# kernel.perf_event_paranoid at -1); the command's standard output is
# dropped, its standard error kept in idle_cores.err. The recording itself
# runs on the same cores: a single run may be placed otherwise than a run
# without it, so look at several. Read the case's files just before (cat
# them to /dev/null): where the system pages out what has not been touched
# for a while, a run would otherwise wait for the disk, and both cores idle.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 <command> [arguments...]" >&2; exit 2; }
data=$(mktemp /tmp/idle_cores.XXXXXX)
trap 'rm -f "$data"' EXIT
perf sched record -o "$data" -- "$@" >/dev/null 2>idle_cores.err
perf sched timehist -i "$data" 2>/dev/null | python3 -c '
import re, sys
command = sys.argv[1].rsplit("/", 1)[-1][:15]  # (the kernel keeps 15 characters of a name)
stretches = []  # (start, end, cpu, task), in seconds
for line in sys.stdin:
    f = line.split()
    if len(f) < 6 or not f[1].startswith("["):
        continue
    try:
        end, run = float(f[0]), float(f[-1]) / 1e3
    except ValueError:
        continue
    stretches.append((end - run, end, int(f[1].strip("[]")), " ".join(f[2:-3])))
own = [s for s in stretches if s[3].startswith(command + "[")]
if not own:
    sys.exit("no run of " + command + " recorded")
t0, t1 = min(s[0] for s in own), max(s[1] for s in own)
ms = lambda t: (t - t0) * 1e3
print(f"{command}: {ms(t1):.1f} ms")
for cpu in sorted({s[2] for s in stretches}):
    idle = []
    for s, e, c, task in sorted(stretches):
        if c != cpu or not task.startswith("<idle>") or e <= t0 or s >= t1:
            continue
        s, e = max(s, t0), min(e, t1)
        if idle and s - idle[-1][1] < 50e-6:  # (one stretch, cut by a tick of the kernel)
            idle[-1] = (idle[-1][0], e)
        else:
            idle.append((s, e))
    total = sum(e - s for s, e in idle) * 1e3
    long = " ".join(f"{ms(s):.1f}-{ms(e):.1f}" for s, e in idle if (e - s) * 1e3 >= 0.3)
    print(f"  cpu {cpu}: idle {total:.1f} ms: {long}")
threads = {}
for s, e, cpu, task in own:
    tid = re.search(r"\[(\d+)", task).group(1)
    first, last, run = threads.get(tid, (s, e, 0.0))
    threads[tid] = (min(first, s), max(last, e), run + (e - s))
for tid, (first, last, run) in sorted(threads.items(), key=lambda t: t[1][0]):
    print(f"  thread {tid}: {run * 1e3:.1f} ms of CPU, {ms(first):.1f}-{ms(last):.1f}")
' "$1"
