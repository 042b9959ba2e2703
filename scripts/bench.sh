#!/usr/bin/env bash
# Builds the benchmarks and runs them, printing throughput and peak memory.
# Usage: scripts/bench.sh [DIR [MIB]]   scratch folder (default /tmp) and corpus size
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

need_build_packages

dir=${1:-/tmp}
mib=${2:-256}

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(jobs)" --target engine_bench transforms_bench pipeline_bench \
    cli_bench parafold_quality_bench parafold-cli

echo "== line-joining filter and width estimates"
build/release/bench/engine_bench "$dir" "$mib"

echo
echo "== e-reader transforms"
build/release/bench/transforms_bench "$mib"

echo
echo "== Process File pipeline: plain road and e-reader road"
build/release/bench/pipeline_bench "$dir" "$mib"

echo
echo "== parafold-cli: standard input to standard output, and --jobs 2 on 300 files"
build/release/bench/cli_bench "$dir" "$mib" 300

echo
echo "== Python module: unwrap() and unwrap_file() against parafold-cli, Dask with 1 and 2 workers"
need_python_packages
make_python_venv build/python-venv
build/python-venv/bin/python bench/python_bench.py build/release/cli/parafold-cli "$dir" "$mib" 300

echo
echo "== reading quality: the dialog's rule against --smart, on Debian's own texts"
TMPDIR="$dir" build/release/bench/parafold_quality_bench --mb "$mib" \
    /usr/share/common-licenses /usr/share/doc

echo
echo "== reading quality on real texts with ground truth (../shared/realtexts)"
scripts/quality-realtexts.sh
