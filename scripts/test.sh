#!/bin/sh
# Sets up the machine, checks the layout of the sources, builds VELKAR (every
# warning an error) and runs every test: the normal build, then the same suite
# built with AddressSanitizer and UndefinedBehaviorSanitizer, then the Debian
# package built and checked, then the fuzz targets for a bounded time each.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh --test --package

# The sources as .clang-format lays them out, before any build.
scripts/check_format.sh

export QT_QPA_PLATFORM=offscreen
export LC_ALL=C.UTF-8

# The tests and benchmarks named on, since scripts/run.sh builds the same folder
# without them.
scripts/build.sh build -DVELKAR_TESTS=ON -DVELKAR_BENCH=ON
ctest --test-dir build --output-on-failure -j 2

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# print_suppressions=0: a matched suppression must not add lines to standard error,
# which some cases expect empty.
export LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp":print_suppressions=0
scripts/build.sh build-sanitize -DVELKAR_SANITIZE=ON -DVELKAR_BENCH=OFF
ctest --test-dir build-sanitize --output-on-failure -j 2

# The Debian package: lintian, the AppStream metainfo, the desktop entry.
scripts/package.sh

# The fuzz targets, a bounded time each (FUZZ_SECONDS, default 60).
scripts/fuzz.sh

echo "test: all suites passed"
