#!/bin/sh
# Builds the Debian packages with debhelper (debian/), on a fresh machine too (it
# installs what it needs first), into build-deb/: the source package (.dsc, the
# orig tarball made from this tree, the debian tarball) and velkar and
# velkar-dbgsym (build-deb/velkar_VERSION-REVISION_ARCH.deb). It builds twice, in
# two folders of different names at different times, the second time from the
# source package, and fails unless both builds give byte-identical .deb files.
# Then it checks them: lintian (-I --pedantic) silent, the AppStream metainfo and
# the desktop entry as installed, the dependencies dpkg-shlibdeps computed.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh --package
out=build-deb

fail() {
  echo "package: $*" >&2
  exit 1
}

version=$(dpkg-parsechangelog -S Version)
upstream=${version%-*}
arch=$(dpkg --print-architecture)
project=$(sed -n 's/^project(velkar VERSION \([^ )]*\).*/\1/p' CMakeLists.txt)
[ "$upstream" = "$project" ] || fail "debian/changelog is at $upstream, CMakeLists.txt at $project"

# The time of the changelog's first entry: dpkg-buildpackage exports it as
# SOURCE_DATE_EPOCH for the build (file times in the packages, the embedded
# icons); the orig tarball's files get it too.
epoch=$(dpkg-parsechangelog -S Timestamp)
export DEB_BUILD_OPTIONS="parallel=2"
unset SOURCE_DATE_EPOCH

rm -rf "$out"
mkdir -p "$out"

# The orig tarball from the tree as it is, without what .gitignore leaves out,
# the Debian folder and the version control: sorted, owned by root, the
# changelog's time on every file, so that the same tree gives the same tarball.
orig=$out/velkar_$upstream.orig.tar.xz
tar -c --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
  --exclude=./.git --exclude=./debian --exclude='./build*' --exclude='./obj-*' \
  --exclude=./bench/out --exclude='*.swp' \
  --transform="s,^\.,velkar-$upstream," -f - . | xz -6 -T1 > "$orig"

# First build: the tree unpacked afresh (file times now, not the changelog's)
# with the Debian folder, built as source and binary packages.
one=$out/one
mkdir -p "$one"
cp "$orig" "$one/"
tar -x --touch -C "$one" -f "$orig"
tar -c --exclude='./debian/.debhelper' --exclude='./debian/velkar' \
  --exclude='./debian/files' --exclude='./debian/*.substvars' --exclude='./debian/*debhelper*' \
  -f - debian | tar -x --touch -C "$one/velkar-$upstream" -f -
echo "package: first build in $one" >&2
(cd "$one/velkar-$upstream" && dpkg-buildpackage -us -uc) >"$out/build-one.log" 2>&1 ||
  { tail -n 40 "$out/build-one.log" >&2; fail "the first build failed (log: $out/build-one.log)"; }

# Second build: the source package unpacked by dpkg-source into a folder of
# another name (file times from the tarballs), built as binary packages.
two=$out/second-build
mkdir -p "$two"
dpkg-source -x "$one/velkar_$version.dsc" "$two/velkar-$upstream" >"$out/unpack-two.log" 2>&1 ||
  { cat "$out/unpack-two.log" >&2; fail "dpkg-source cannot unpack the source package"; }
echo "package: second build in $two" >&2
(cd "$two/velkar-$upstream" && dpkg-buildpackage -b -us -uc) >"$out/build-two.log" 2>&1 ||
  { tail -n 40 "$out/build-two.log" >&2; fail "the second build failed (log: $out/build-two.log)"; }

differ=""
for pkg in velkar velkar-dbgsym; do
  deb=${pkg}_${version}_$arch.deb
  [ -f "$one/$deb" ] || fail "the first build made no $deb"
  [ -f "$two/$deb" ] || fail "the second build made no $deb"
  if ! cmp "$one/$deb" "$two/$deb"; then
    differ="$differ $deb"
    if command -v diffoscope >/dev/null 2>&1; then
      diffoscope --text - "$one/$deb" "$two/$deb" | head -n 200 >&2 || true
    fi
  fi
done
[ -z "$differ" ] || fail "two builds of the same tree differ:$differ (not reproducible)"

# The first build's files are the result.
for f in "$one"/velkar_* "$one"/velkar-dbgsym_*; do
  cp "$f" "$out/"
done
deb=$out/velkar_${version}_$arch.deb
changes=$out/velkar_${version}_$arch.changes

# lintian over the source and both binary packages, info and pedantic tags
# included: no tag at all but those overridden (with their reasons) in debian/.
report=$(lintian -I --pedantic "$changes" 2>&1 | grep -v "running with root" || true)
if [ -n "$report" ]; then
  printf '%s\n' "$report" >&2
  fail "lintian reports the tags above"
fi

# The files as installed: the metainfo, with no issue at all, pedantic hints
# included (no network: the check must not depend on the project's web site
# being reachable), and the desktop entry.
root=$out/deb-root
dpkg-deb -x "$deb" "$root"
for f in "$root"/usr/share/metainfo/*.metainfo.xml; do
  appstreamcli validate --no-net --pedantic --strict "$f" >/dev/null ||
    fail "$f does not validate"
done
desktop-file-validate "$root/usr/share/applications/velkar.desktop" ||
  fail "the desktop entry does not validate"

# dpkg-shlibdeps ran (the C library is among the dependencies) and the fonts are
# alternatives.
depends=$(dpkg-deb -f "$deb" Depends)
case $depends in *libc6*) ;; *) fail "Depends has no shared library: $depends" ;; esac
case $depends in *"fonts-ipafont-gothic | "*) ;; *) fail "Depends has no font alternative: $depends" ;; esac

echo "package: $deb and velkar-dbgsym built twice, identical, and checked"
