#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time. Fails when a
# target crashes, hangs, runs out of memory or finds a difference against
# its reference; the input that did it is kept under build/fuzz/artifacts/.
#
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
#   SECONDS  how long each target runs (default 60)
#   TARGET   only these targets (the part after "fuzz_", e.g. join)
# Run longer for a deeper search, e.g. an hour each: scripts/fuzz.sh 3600
# What a run finds new is kept in build/fuzz/corpus/ and reused next time.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
root=$PWD  # absolute paths throughout: a target may change its directory

seconds=${1:-60}
shift || true

need_packages cmake make clang libclang-rt-14-dev
cxx=$(command -v clang++-14 || command -v clang++)

echo "== fuzz targets: build"
CXX=$cxx cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARAFOLD_FUZZ=ON \
    -DPARAFOLD_TESTS=OFF -DPARAFOLD_BENCH=OFF -DPARAFOLD_WERROR=ON >/dev/null
cmake --build build/fuzz -j"$(jobs)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for binary in build/fuzz/fuzz/fuzz_*; do
        [ -x "$binary" ] && targets+=("${binary##*/fuzz_}")
    done
fi

# Scratch files of the targets go here, not into the system's /tmp.
scratch=build/fuzz/tmp
mkdir -p build/fuzz/artifacts
summary=()
failed=0
for name in "${targets[@]}"; do
    echo "== fuzz_$name for ${seconds}s"
    corpus=$root/build/fuzz/corpus/$name
    mkdir -p "$corpus" "fuzz/corpus/$name"
    rm -rf "$scratch" && mkdir -p "$scratch"
    log=build/fuzz/fuzz_$name.log
    status=0
    TMPDIR=$root/$scratch build/fuzz/fuzz/fuzz_"$name" "$corpus" "$root/fuzz/corpus/$name" \
        -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$root/build/fuzz/artifacts/$name-" \
        >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
    if [ $status -ne 0 ]; then
        failed=1
        tail -n 40 "$log"
        summary+=("fuzz_$name: FAILED (status $status) after ${runs:-?} runs; see $log")
    else
        summary+=("fuzz_$name: ${runs:-?} runs in ${seconds}s, ${cov:-cov: ?}, no crash or difference")
    fi
done
rm -rf "$scratch"

echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
exit $failed
