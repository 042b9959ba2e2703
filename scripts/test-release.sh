#!/usr/bin/env bash
# Checks the Windows release that scripts/package-windows.sh makes:
# - each zip holds its five entries in order, README.txt has CR LF line ends
#   only, and the programs match SHA256SUMS;
# - the x86-64 programs unpacked from the zip pass the end-to-end run under
#   Wine (tests/windows/dialog_e2e.sh);
# - two fresh clones of the commit, in folders of different names and
#   depths, give byte-identical zips, and so does this checkout when it holds
#   no uncommitted change.
# About three minutes on the 2-core test machine, most of it the clones' builds.
# Usage: scripts/test-release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
. scripts/wine.sh

need_wine_packages
need_packages unzip git
scripts/package-windows.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows-x86_64/CMakeCache.txt)
zips=("parafold-$version-windows-x86_64.zip" "parafold-$version-windows-i686.zip")

echo "== the zips' contents"
unpacked=build/release-check
rm -rf "$unpacked"
for arch in x86_64 i686; do
    zip_file="dist/parafold-$version-windows-$arch.zip"
    entries=$(unzip -Z1 "$zip_file" | tr '\n' ' ')
    [ "$entries" = "parafold.exe parafold-cli.exe README.txt LICENSE SHA256SUMS " ] ||
        { echo "$zip_file holds: $entries" >&2; exit 1; }
    mkdir -p "$unpacked/$arch"
    unzip -q "$zip_file" -d "$unpacked/$arch"
    readme="$unpacked/$arch/README.txt"
    [ -s "$readme" ] && [ "$(grep -c '' "$readme")" = "$(grep -c $'\r$' "$readme")" ] &&
        [ "$(tail -c 2 "$readme" | od -An -c | tr -d ' ')" = '\r\n' ] ||
        { echo "$readme: not every line ends in CR LF" >&2; exit 1; }
    grep -q "parafold $version" "$readme" || { echo "$readme does not name version $version" >&2; exit 1; }
    (cd "$unpacked/$arch" && sha256sum --quiet -c SHA256SUMS)
    echo "$zip_file: entries, README.txt and sums as they should be"
done

echo "== the x86-64 programs from the zip end to end under Wine"
started=$SECONDS
(
    trap wine_session_stop EXIT
    wine_session_start build/windows-x86_64
    timeout 300 tests/windows/dialog_e2e.sh build/windows-x86_64 "$unpacked/x86_64"
)
echo "end to end: $((SECONDS - started)) s"

check_reproducible windows scripts/package-windows.sh "${zips[@]/#/dist/}"
echo "the release checks passed"
