#!/usr/bin/env bash
# `cmake --install` of a build folder puts parafold-cli, its manual page,
# its completion, the README and the licence under the prefix given, or
# under DESTDIR and the prefix, and nothing else (no test or benchmark);
# the installed program runs and man finds the installed page.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

expected='bin/parafold-cli
share/bash-completion/completions/parafold-cli
share/doc/parafold/LICENSE
share/doc/parafold/README.md
share/man/man1/parafold-cli.1'

# Checks the files under $1 against the list above.
check_tree() {
    local found
    found=$(cd "$1" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
    if [ "$found" != "$expected" ]; then
        echo "FAIL: $2 installed:" >&2
        diff <(echo "$expected") <(echo "$found") >&2 || true
        exit 1
    fi
}

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_tree "$scratch/prefix" "cmake --install --prefix"
DESTDIR="$scratch/stage" cmake --install "$build" --prefix /opt/parafold >/dev/null
check_tree "$scratch/stage/opt/parafold" "DESTDIR=... cmake --install --prefix /opt/parafold"
[ "$(find "$scratch/stage" -mindepth 1 -maxdepth 1)" = "$scratch/stage/opt" ] ||
    { echo "FAIL: DESTDIR holds more than opt/" >&2; exit 1; }

version=$("$scratch/prefix/bin/parafold-cli" --version)
[[ $version == "parafold-cli "[0-9]* ]] || { echo "FAIL: the installed program says '$version'" >&2; exit 1; }
page=$(MANPATH="$scratch/prefix/share/man" man -w parafold-cli)
[ "$page" = "$scratch/prefix/share/man/man1/parafold-cli.1" ] ||
    { echo "FAIL: man finds '$page' for parafold-cli" >&2; exit 1; }
echo "installed as it should be, with and without DESTDIR"
