#!/bin/sh
# Installs what VELKAR needs on Debian 12; idempotent: packages already present
# are not touched, and apt runs only when one is missing.
#   scripts/setup.sh [--program] [--test] [--package] [PACKAGE...]
# --program: building and running the program; --test: that plus the tests, the
# format check, the sanitizer and fuzz builds and the X11 checks; --package: that plus building and
# checking the Debian package. With no list named, --test. Other words are extra
# packages (the benchmark adds its sorters).
set -eu

PROGRAM="build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-ipafont-gothic fontconfig"
TEST="libgtest-dev libbenchmark-dev
  xvfb xauth xclip xdotool
  clang libclang-rt-14-dev libfuzzer-14-dev clang-format
  desktop-file-utils appstream file"
PACKAGE="dpkg-dev debhelper file lintian appstream desktop-file-utils xz-utils"

lists=""
extra=""
for word in "$@"; do
  case $word in
    --program) lists="$lists PROGRAM" ;;
    --test) lists="$lists PROGRAM TEST" ;;
    --package) lists="$lists PROGRAM PACKAGE" ;;
    -*) echo "setup: unknown option $word" >&2; exit 2 ;;
    *) extra="$extra $word" ;;
  esac
done
[ -n "$lists" ] || lists="PROGRAM TEST"

wanted=$extra
for list in $lists; do
  eval "wanted=\"\$wanted \$$list\""
done

missing=""
for p in $wanted; do
  case " $missing " in *" $p "*) continue ;; esac
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -n "$missing" ]; then
  echo "setup: installing$missing" >&2
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  # apt's progress goes to standard error, so that a caller's standard output
  # (scripts/run.sh as a filter) carries only what the program writes.
  $SUDO apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing >&2
fi
