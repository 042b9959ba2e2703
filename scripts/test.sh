#!/usr/bin/env bash
# Builds and runs every test: the native suite, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows programs
# with the dialog's tests under Wine (PARAFOLD_SKIP_WINDOWS=1 leaves those
# out).
# Usage: scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

need_build_packages

echo "== native build and tests"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DPARAFOLD_WERROR=ON >/dev/null
cmake --build build/release -j"$(jobs)"
ctest --test-dir build/release --output-on-failure -j"$(jobs)"

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DPARAFOLD_WERROR=ON \
    -DPARAFOLD_SANITIZE=ON -DPARAFOLD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j"$(jobs)"
ctest --test-dir build/sanitize --output-on-failure -j"$(jobs)"

echo "== Windows programs (x86-64, i686) and the dialog's tests under Wine"
if [ "${PARAFOLD_SKIP_WINDOWS:-0}" = 1 ]; then
    echo "skipped (PARAFOLD_SKIP_WINDOWS=1)"
else
    scripts/test-windows.sh
fi
