#!/usr/bin/env bash
# Builds and runs every test: the native suite, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer.
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

echo "== fuzzing: every target in fuzz/ for a bounded time"
# About a minute per target; PARAFOLD_FUZZ_SECONDS changes it (0 skips).
fuzz_seconds=${PARAFOLD_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ]; then
    scripts/fuzz.sh "$fuzz_seconds"
fi
