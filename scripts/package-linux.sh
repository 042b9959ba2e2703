#!/usr/bin/env bash
# Makes the Linux release: builds parafold-cli natively with Debian's build
# flags (hardened, build paths mapped away) and writes
#   dist/parafold-cli_VERSION-1_ARCH.deb        (ARCH: this machine's, e.g. amd64)
# holding what `cmake --install` puts under /usr (the program, stripped;
# its manual page, gzipped; the bash completion; the README, gzipped), with
# Debian's copyright file (the licence, in the machine-readable format) and
# changelog.Debian.gz in /usr/share/doc/parafold-cli/ in place of LICENSE,
# and lintian's overrides.
# Depends is computed by dpkg-shlibdeps from the libraries the program links.
# The package's fixed texts are in packaging/deb/.
#
# One commit gives the same .deb, byte for byte, wherever and whenever it is
# built: build paths are mapped away (-ffile-prefix-map), every file and
# folder gets fixed modes, root as owner and the commit's time (or
# SOURCE_DATE_EPOCH), gzip stores no name or time, and dpkg-deb sorts the
# entries and compresses in one thread. scripts/test-release-linux.sh
# checks it.
# Usage: scripts/package-linux.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

need_packages cmake make g++ dpkg-dev git
started=$SECONDS
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
        { echo "not a git checkout: set SOURCE_DATE_EPOCH to the release's time" >&2; exit 2; }
fi
export SOURCE_DATE_EPOCH
umask 022

echo "== parafold-cli with Debian's build flags"
build=build/package-linux
# Two runs at once in one checkout take turns: they share the build folder.
mkdir -p build
exec 8>>build/package-linux.lock
flock 8
# All of Debian's hardening (PIE, stack protector, fortified functions,
# read-only relocations bound at start), and -ffile-prefix-map of this
# folder, which dpkg-buildflags takes from the current one.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# No debug information: the program is stripped of it anyway, and without
# it the build takes a fifth less time.
export DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPARAFOLD_TESTS=OFF -DPARAFOLD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_DOCDIR=share/doc/parafold-cli >/dev/null
cmake --build "$build" -j"$(jobs)" --target parafold-cli
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
architecture=$(dpkg --print-architecture)
deb_version=$version-1

echo "== the package's tree"
stage=$build/stage
docs=$stage/usr/share/doc/parafold-cli
rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" >/dev/null
# As dh_strip strips a program: no symbols, no compiler notes.
strip --remove-section=.comment --remove-section=.note "$stage/usr/bin/parafold-cli"
gzip -9n "$stage/usr/share/man/man1/parafold-cli.1" "$docs/README.md"
# The licence goes into the copyright file, where Debian looks for it.
rm "$docs/LICENSE"
licence_text=$(sed '1,/^Copyright/d' LICENSE | sed '/./,$!d' | sed 's/^$/./; s/^/ /')
holder=$(sed -n 's/^Copyright (c) //p' LICENSE)
awk -v holder="$holder" -v text="$licence_text" \
    '{ gsub(/@COPYRIGHT@/, holder); if ($0 == "@LICENSE_TEXT@") print text; else print }' \
    packaging/deb/copyright.in >"$docs/copyright"
maintainer=$(sed -n 's/^Maintainer: //p' packaging/deb/control.in)
{
    echo "parafold-cli ($deb_version) unstable; urgency=medium"
    echo
    echo "  * Release $version of parafold-cli."
    echo
    echo " -- $maintainer  $(LC_ALL=C date -u -R -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9n >"$docs/changelog.Debian.gz"

# What lintian may leave unsaid, each with its reason.
install -D -m 0644 packaging/deb/lintian-overrides "$stage/usr/share/lintian/overrides/parafold-cli"

# Depends: the packages of the shared libraries the program links, at the
# versions its symbols need. dpkg-shlibdeps reads a debian/control, which
# only has to name the package.
shlibdeps=$build/shlibdeps
mkdir -p "$shlibdeps/debian"
printf 'Source: parafold\n\nPackage: parafold-cli\nArchitecture: any\n' >"$shlibdeps/debian/control"
depends=$(cd "$shlibdeps" && dpkg-shlibdeps -O "-e$OLDPWD/$stage/usr/bin/parafold-cli" 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "dpkg-shlibdeps found no libraries for parafold-cli" >&2; exit 1; }

# Fixed modes and times: folders and the program 0755, the rest 0644.
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
chmod 0755 "$stage/usr/bin/parafold-cli"
# Installed-Size as dpkg counts it: KiB per file, rounded up, and one per folder.
installed_size=$(find "$stage/usr" \( -type f -printf '%s\n' \) -o \( -type d -printf '1024\n' \) |
    awk '{ total += int(($1 + 1023) / 1024) } END { print total }')
mkdir -p "$stage/DEBIAN"
sed -e "s/@VERSION@/$deb_version/" -e "s/@ARCHITECTURE@/$architecture/" \
    -e "s/@INSTALLED_SIZE@/$installed_size/" -e "s/@DEPENDS@/$depends/" \
    packaging/deb/control.in >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f | LC_ALL=C sort | xargs md5sum >DEBIAN/md5sums)
chmod 0755 "$stage/DEBIAN"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

mkdir -p dist
deb=dist/parafold-cli_${deb_version}_$architecture.deb
rm -f "$deb"
dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$stage" "$deb" >/dev/null
sha256sum "$deb"
echo "package made in $((SECONDS - started)) s"
