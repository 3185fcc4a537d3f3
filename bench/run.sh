#!/bin/sh
# Installs the sorters to compare with, builds velkar, then runs the benchmark:
#   bench/run.sh [bench/run.py options]    e.g. --sizes 100000,1000000 --repeat 3
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh busybox rust-coreutils time python3
scripts/build.sh build
exec python3 bench/run.py "$@"
