#!/bin/sh
# Sets up the machine, builds VELKAR and starts it; arguments go to the program.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
if [ -x build/ui/velkar ]; then
  exec build/ui/velkar "$@"
fi
echo "run: built the engine and its tests; the program itself is not built yet."
