#!/usr/bin/env bash
# Makes the Windows release: builds the two programs for both architectures
# (scripts/build-windows.sh, Release) and writes
#   dist/parafold-VERSION-windows-x86_64.zip
#   dist/parafold-VERSION-windows-i686.zip
# each holding parafold.exe, parafold-cli.exe, README.txt (CR LF line ends),
# LICENSE and SHA256SUMS (of the two programs).
#
# One commit gives the same zips, byte for byte, wherever and whenever it is
# built: the programs carry no time or build path (see the top
# CMakeLists.txt), and the entries are stored in a fixed order with fixed
# permissions, the commit's time (or SOURCE_DATE_EPOCH) in UTC, and no extra
# fields (owners, access times). scripts/test-release.sh checks it.
# Usage: scripts/package-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

need_packages zip git
PARAFOLD_WINDOWS_TARGETS="parafold parafold-cli" scripts/build-windows.sh x86_64 i686

started=$SECONDS
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
        { echo "not a git checkout: set SOURCE_DATE_EPOCH to the release's time" >&2; exit 2; }
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows-x86_64/CMakeCache.txt)
[ -n "$version" ] || { echo "no project version in build/windows-x86_64/CMakeCache.txt" >&2; exit 1; }
mkdir -p dist

echo "== release zips"
for arch in x86_64 i686; do
    build=build/windows-$arch
    stage=build/package/$arch
    zip_file="$PWD/dist/parafold-$version-windows-$arch.zip"
    rm -rf "$stage" "$zip_file"
    mkdir -p "$stage"
    install -m 0755 "$build/parafold.exe" "$build/parafold-cli.exe" "$stage/"
    install -m 0644 "$build/README.txt" LICENSE "$stage/"
    (cd "$stage" && sha256sum parafold.exe parafold-cli.exe >SHA256SUMS && chmod 0644 SHA256SUMS)
    touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
    (cd "$stage" && TZ=UTC zip -X -D -q "$zip_file" parafold.exe parafold-cli.exe README.txt LICENSE SHA256SUMS)
done
(cd dist && sha256sum "parafold-$version-windows-x86_64.zip" "parafold-$version-windows-i686.zip")
echo "zips made in $((SECONDS - started)) s"
