#!/usr/bin/env bash
# Builds and runs every test: the native suite, the Python module (installed
# with pip into a fresh virtual environment) and its Dask example, the native
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, the slow tests
# on huge files, the Windows programs with the dialog's tests, the Windows fault
# tests under Wine and the Windows release zips (PARAFOLD_SKIP_WINDOWS=1
# leaves those out), the Linux package, installed and removed again, and
# every fuzz target for about a minute.
# Usage: scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

need_build_packages

echo "== native build and tests"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DPARAFOLD_WERROR=ON >/dev/null
cmake --build build/release -j"$(jobs)"
ctest --test-dir build/release --output-on-failure -j"$(jobs)" -LE slow

echo "== Python module: pip install into a fresh virtual environment, pytest"
# About a minute: the install, the comparisons with the command line just
# built, and the Dask example on a local cluster.
need_python_packages
make_python_venv build/python-venv -DPARAFOLD_WERROR=ON
PARAFOLD_CLI=build/release/cli/parafold-cli \
    build/python-venv/bin/python -m pytest -q -p no:cacheprovider tests/python

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DPARAFOLD_WERROR=ON \
    -DPARAFOLD_SANITIZE=ON -DPARAFOLD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j"$(jobs)"
ctest --test-dir build/sanitize --output-on-failure -j"$(jobs)" -LE slow

echo "== slow tests: files and lines of gigabytes (native build only)"
# A minute or so, and up to 5 GiB of scratch space in the temporary folder
# (skipped with a note when there is not); PARAFOLD_SLOW_TESTS=0 skips them.
if [ "${PARAFOLD_SLOW_TESTS:-1}" != 0 ]; then
    ctest --test-dir build/release --output-on-failure -L slow
    fi

echo "== Windows programs (x86-64, i686) and the dialog's tests under Wine"
if [ "${PARAFOLD_SKIP_WINDOWS:-0}" = 1 ]; then
    echo "skipped (PARAFOLD_SKIP_WINDOWS=1)"
else
    scripts/test-windows.sh
    fi

echo "== Windows fault tests under Wine"
# Names in the ANSI code page, long paths, the read-only attribute and, with
# the slow tests, files past 2 and 4 GiB: under a minute.
if [ "${PARAFOLD_SKIP_WINDOWS:-0}" = 1 ]; then
    echo "skipped (PARAFOLD_SKIP_WINDOWS=1)"
else
    scripts/test-windows-robust.sh
    fi

echo "== Windows release: the zips, their programs end to end, reproducibility"
# About three minutes, most of it building two fresh clones.
if [ "${PARAFOLD_SKIP_WINDOWS:-0}" = 1 ]; then
    echo "skipped (PARAFOLD_SKIP_WINDOWS=1)"
else
    scripts/test-release.sh
    fi

echo "== Linux release: the .deb, lintian, apt-get install and remove, reproducibility"
# About 90 s of processor time on two cores, most of it building two fresh
# clones; it installs and removes the package parafold-cli. PARAFOLD_SKIP_RELEASE=1
# skips it.
if [ "${PARAFOLD_SKIP_RELEASE:-0}" = 1 ]; then
    echo "skipped (PARAFOLD_SKIP_RELEASE=1)"
else
    scripts/test-release-linux.sh
    fi

echo "== fuzzing: every target in fuzz/ for a bounded time"
# About a minute per target; PARAFOLD_FUZZ_SECONDS changes it (0 skips).
fuzz_seconds=${PARAFOLD_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ]; then
    scripts/fuzz.sh "$fuzz_seconds"
    fi

# Each section stops the script at its first failure: reaching here means
# every one passed.
echo "== every section passed"
