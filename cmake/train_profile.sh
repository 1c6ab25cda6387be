#!/usr/bin/env bash
# The training run of the profile-guided build: the instrumented printzone
# of the training build (its folder: $1) converts generated cases in the
# folder $2, as real runs do: a planar grid with cells, one and two
# threads; a block in 3-D; VTK files.
set -euo pipefail
build=$1
work=$2
mkdir -p "$work/grid" "$work/block"
cd "$work/grid"
"$build/bench/gen_mesh" 2d 0.3 MESH >/dev/null
"$build/bench/gen_printout" MESH 3 case.out
"$build/printzone" -q -j 1 case.out >/dev/null
"$build/printzone" -q -j 2 case.out >/dev/null
"$build/printzone" -q -vtk -j 2 case.out >/dev/null
cd "$work/block"
"$build/bench/gen_mesh" 3d 0.1 MESH >/dev/null
"$build/bench/gen_printout" MESH 2 case.out
"$build/printzone" -q -xyz -j 2 case.out >/dev/null
