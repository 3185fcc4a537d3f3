#!/bin/sh
# Builds velkar, the floor and the peak launcher in build/ (only those), then runs
# the benchmark: bench/run.sh [bench/run.py options]
#   e.g. bench/run.sh --sizes 2,1000,1000000 --repeat 5 --markdown build-bench/results.md
# With --others it first installs busybox and the Rust coreutils to compare with too.
# Run it on a quiet machine: the tables record the load average and warn above 0.5.
set -eu
cd "$(dirname "$0")/.."
packages="python3"
for arg in "$@"; do
  if [ "$arg" = "--others" ]; then packages="$packages busybox rust-coreutils"; fi
done
scripts/setup.sh $packages
cmake -S . -B build -G Ninja -DVELKAR_BENCH=ON >/dev/null
nice cmake --build build --target velkar floor peak
exec python3 bench/run.py --build build "$@"
