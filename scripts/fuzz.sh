#!/bin/sh
# Builds the libFuzzer targets with clang (ASan and UBSan on) in build-fuzz and runs
# each for a bounded time from its seed corpus in fuzz/corpus/; fails on any crash,
# leak, hang or broken rule. FUZZ_SECONDS sets the time per target (default 60).
# A failing input is left in build-fuzz/artifacts/ to replay: build-fuzz/fuzz/TARGET FILE
set -eu
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
dir=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DVELKAR_FUZZ=ON -DVELKAR_BENCH=OFF \
  -Wno-dev >/dev/null
known=$(cmake --build "$dir" --target help)
targets=""
for t in engine_fuzzer command_line_fuzzer; do
  case $known in *"$t:"*) targets="$targets $t" ;; esac
done
if [ -z "$targets" ]; then
  echo "fuzz: no fuzz target to build" >&2
  exit 1
fi
cmake --build "$dir" -j 2 --target $targets

export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
mkdir -p "$dir/artifacts"
for t in $targets; do
  seeds=fuzz/corpus/${t%_fuzzer}
  work=$dir/corpus/${t%_fuzzer}
  mkdir -p "$work"
  echo "fuzz: $t for ${seconds}s"
  # The work corpus grows between runs on one machine; the seeds stay as committed.
  if ! timeout $((seconds + 120)) "$dir/fuzz/$t" -max_total_time="$seconds" -timeout=20 \
      -rss_limit_mb=4096 -max_len=8192 -print_final_stats=1 \
      -artifact_prefix="$dir/artifacts/$t-" "$work" "$seeds" >"$dir/$t.log" 2>&1; then
    tail -n 60 "$dir/$t.log" >&2
    echo "fuzz: $t FAILED; the input is in $dir/artifacts/" >&2
    exit 1
  fi
  grep -E "^(Done|stat::number_of_executed_units)" "$dir/$t.log" || true
done
echo "fuzz: every target ran clean"
