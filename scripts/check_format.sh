#!/bin/sh
# Checks that every C++ file of the tree is laid out as .clang-format says:
# clang-format --dry-run -Werror over each *.cpp and *.h of the source folders,
# which names every line that drifts and fails when any does. Reformat a file
# with: clang-format -i FILE
set -eu
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null 2>&1; then
  echo "check_format: clang-format is missing (scripts/setup.sh --test installs it)" >&2
  exit 1
fi
files=$(find cli settings ui platform tests fuzz bench engine -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
# One call over all files, so that every drift is listed before the failure.
# shellcheck disable=SC2086 # the names hold no blanks
if ! clang-format --dry-run -Werror $files; then
  echo "check_format: the files above drift from .clang-format" >&2
  exit 1
fi
echo "check_format: $(printf '%s\n' "$files" | wc -l) files as .clang-format says"
