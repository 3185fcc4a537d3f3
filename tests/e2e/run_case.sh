#!/bin/sh
# Runs one end-to-end case of the built program in console mode and compares what
# it did with the case's files, byte for byte:
#   NAME.args      the words, one per line (an empty line is an empty word)
#   NAME.in        standard input (none: /dev/null)
#   NAME.expected  standard output (none: empty)
#   NAME.stderr    standard error (none: empty)
#   NAME.status    exit status (none: 0)
#   NAME.env       VAR=VALUE lines (no blanks) added to the environment (none: no
#                  display at all)
#   NAME.stdout-to a path standard output goes to instead (e.g. /dev/full); the
#                  output is then not compared
#   NAME.files/    copied into the empty working folder before the run
#   NAME.result/   files that must be in the working folder afterwards, same bytes
# Usage: run_case.sh PROGRAM CASES_DIR NAME
set -u
program=$1
cases=$2
name=$3
base=$cases/$name

work=$(mktemp -d "${TMPDIR:-/tmp}/velkar-e2e.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/run"
if [ -d "$base.files" ]; then cp -R "$base.files/." "$work/run/"; fi

set --
while IFS= read -r word || [ -n "$word" ]; do
  set -- "$@" "$word"
done < "$base.args"

input=/dev/null
if [ -f "$base.in" ]; then input=$base.in; fi

# No display unless the case says otherwise; its own variables come last.
set -- env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u VELKAR_CLIPBOARD_SERVER \
  $(if [ -f "$base.env" ]; then cat "$base.env"; fi) "$program" "$@"
output=$work/stdout
if [ -f "$base.stdout-to" ]; then output=$(cat "$base.stdout-to"); fi
(cd "$work/run" && exec "$@") < "$input" > "$output" 2> "$work/stderr"
status=$?

failed=0
show() {
  echo "--- $1: expected"
  od -c "$2" | head -40
  echo "--- $1: got"
  od -c "$3" | head -40
}
expect() {
  # expect WHAT EXPECTED_FILE_OR_EMPTY GOT_FILE
  want=$2
  if [ ! -f "$want" ]; then want=$work/empty; : > "$want"; fi
  if ! cmp -s "$want" "$3"; then
    show "$1" "$want" "$3"
    failed=1
  fi
}
if [ ! -f "$base.stdout-to" ]; then expect stdout "$base.expected" "$work/stdout"; fi
expect stderr "$base.stderr" "$work/stderr"

want_status=0
if [ -f "$base.status" ]; then want_status=$(cat "$base.status"); fi
if [ "$status" != "$want_status" ]; then
  echo "--- exit status: expected $want_status, got $status"
  failed=1
fi

if [ -d "$base.result" ]; then
  for f in "$base.result"/*; do
    f_name=$(basename "$f")
    if [ ! -f "$work/run/$f_name" ]; then
      echo "--- $f_name: missing after the run"
      failed=1
    else
      expect "$f_name" "$f" "$work/run/$f_name"
    fi
  done
fi

if [ "$failed" != 0 ]; then
  echo "case $name failed"
  exit 1
fi
echo "case $name passed"
