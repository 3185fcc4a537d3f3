#!/bin/sh
# Sets up the machine with what building and running VELKAR needs, builds the
# program alone (build/bin/velkar and the desktop module it loads from beside it,
# build/bin/velkar-desktop.so; no tests, no benchmarks) and starts it; arguments
# go to the program. Everything but the program's own output goes to standard
# error, so that "scripts/run.sh -a+ < in > out" (a filter: the console run, no
# window) leaves only the sorted text in out.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh --program >&2
scripts/build.sh build -DVELKAR_TESTS=OFF -DVELKAR_BENCH=OFF >&2
exec build/bin/velkar "$@"
