#!/bin/sh
# Installs the build into a scratch prefix and checks what landed there: the
# program and the man page only, the program runs from there, and the man
# page renders without warnings and carries the project's version.
# Usage: install_test.sh <cmake> <build dir> <project version> <examples dir>
# Exit status 77 (a skip) where there is no man to render the page with.
set -eu
cmake=$1 build=$2 version=$3 examples=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$tmp/prefix" >/dev/null
files=$(cd "$tmp/prefix" && find . -type f | sort | tr '\n' ' ')
[ "$files" = "./bin/printzone ./share/man/man1/printzone.1 " ] || fail "installed: $files"

[ "$("$tmp/prefix/bin/printzone" --version)" = "printzone $version" ] || fail "--version"
mkdir "$tmp/run" && cp "$examples/MESH" "$examples/example.out" "$tmp/run"
(cd "$tmp/run" && "$tmp/prefix/bin/printzone" -xy example.out >/dev/null) || fail "example run"
[ -s "$tmp/run/example.out.1" ] || fail "no example.out.1"

command -v man >/dev/null 2>&1 || { echo "install test: no man, page not rendered"; exit 77; }
MANWIDTH=80 MANPAGER=cat PAGER=cat man --warnings -l "$tmp/prefix/share/man/man1/printzone.1" \
  >"$tmp/page" 2>"$tmp/warnings" || fail "man failed"
[ ! -s "$tmp/warnings" ] || fail "man page: $(cat "$tmp/warnings")"
grep -q "printzone $version" "$tmp/page" || fail "man page does not say printzone $version"
