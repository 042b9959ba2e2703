#!/usr/bin/env bash
# The main job: builds parafold-cli, unwraps the given files (or, without
# any, the sample text in samples/) and shows where the output went.
# Options before the files go to parafold-cli as they stand; see
# `scripts/run.sh --help`.
# Usage: scripts/run.sh [OPTIONS] [FILE...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"

need_packages cmake make g++

build="$root/build/run"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPARAFOLD_TESTS=OFF \
    -DPARAFOLD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(jobs)" --target parafold-cli >/dev/null
cli="$build/cli/parafold-cli"

# Any argument that is not an option (or follows "--") names a file.
has_file=no
after_dashes=no
expects_value=no
for arg in "$@"; do
    if [ "$expects_value" = yes ]; then expects_value=no; continue; fi
    case "$after_dashes:$arg" in
        no:--) after_dashes=yes ;;
        no:--columns | no:--output) expects_value=yes ;;
        no:-h | no:--help | no:--version) has_file=help ;;
        no:-[!-]*[co]) expects_value=yes ;;  # e.g. -c, -2c: the value follows
        no:-?*) ;;
        *) [ "$has_file" = no ] && has_file=yes ;;
    esac
done

if [ "$has_file" != no ]; then
    exec "$cli" "$@"
fi

# No file given: the sample, with its output in the build folder so that the
# repository stays clean.
sample="$root/samples/lighthouse.txt"
output="$build/lighthouse.ncr.txt"
echo "== parafold-cli${*:+ $*} $sample"
"$cli" "$@" -o "$output" "$sample"
echo "== the output went to $output:"
cat "$output"
