#!/bin/sh
# Builds the Debian package build-deb/velkar_VERSION-REVISION_ARCH.deb, on a fresh
# machine too (it installs what it needs first), with Debian's build flags, then
# checks it: lintian with no error or warning and no hardening or unneeded-section
# tag, the AppStream metainfo, the desktop entry, and the dependencies
# dpkg-shlibdeps computed.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh --package
dir=build-deb

# Debian's build flags, passed to CMake as debhelper does: -O2 with
# _FORTIFY_SOURCE=2, the strong stack protector, relro and bind-now, PIE.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$dir" -G Ninja -Wno-dev \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELKAR_TESTS=OFF -DVELKAR_BENCH=OFF -DVELKAR_SANITIZE=OFF \
  -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$dir" -j "$(nproc)"
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)

version=$(dpkg-parsechangelog -l resources/debian/changelog -S Version)
# The changelog names the version the program says it is (project(VERSION)).
upstream=$(sed -n 's/^project(velkar VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ "${version%-*}" != "$upstream" ]; then
  echo "package: the changelog's version $version is not the program's $upstream" >&2
  exit 1
fi
deb=$dir/velkar_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
  echo "package: cpack made no $deb" >&2
  exit 1
fi

failed=""
fail() {
  echo "package: $*" >&2
  failed=yes
}

# lintian: no E or W tag, and none of the info tags that tell missing hardening
# or unstripped sections, which Debian's own packages never show.
report=$(lintian --display-info --fail-on none "$deb" 2>&1 | grep -v "running with root" || true)
[ -z "$report" ] || printf '%s\n' "$report"
if printf '%s\n' "$report" | grep -Eq '^[EW]: |hardening-no-|binary-has-unneeded-section'; then
  fail "lintian reports the tags above"
fi

# The files as installed: the metainfo, with no issue at all, pedantic hints
# included (no network: the check must not depend on the project's web site
# being reachable), and the desktop entry.
root=$dir/deb-root
rm -rf "$root"
dpkg-deb -x "$deb" "$root"
for f in "$root"/usr/share/metainfo/*.metainfo.xml; do
  appstreamcli validate --no-net --pedantic --strict "$f" || fail "$f does not validate"
done
desktop-file-validate "$root/usr/share/applications/velkar.desktop" || fail "the desktop entry does not validate"

# dpkg-shlibdeps ran (the C library is among the dependencies) and the fonts are
# alternatives.
depends=$(dpkg-deb -f "$deb" Depends)
case $depends in *libc6*) ;; *) fail "Depends has no shared library: $depends" ;; esac
case $depends in *"fonts-ipafont-gothic | "*) ;; *) fail "Depends has no font alternative: $depends" ;; esac

if [ -n "$failed" ]; then
  exit 1
fi
echo "package: $deb built and checked"
