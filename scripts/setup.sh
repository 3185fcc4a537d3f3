#!/bin/sh
# Installs what VELKAR needs to build, run and test on Debian 12; idempotent:
# packages already present are not touched, and apt runs only when one is missing.
# Extra packages may be named on the command line (the benchmark adds its sorters).
set -eu

PACKAGES="build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-ipafont-gothic fontconfig xvfb xauth xclip xdotool
  clang libclang-rt-14-dev libfuzzer-14-dev
  desktop-file-utils file $*"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
fi
