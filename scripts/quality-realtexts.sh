#!/usr/bin/env bash
# Scores the dialog's rule and --smart on the real texts with ground truth in
# ../shared/realtexts (beside the repository), when that folder is there,
# and on the same texts with their paragraphs run on (no blank line between
# them), also with their lines broken again as by hand (see
# scripts/realtexts-run-on.py).
# Usage: scripts/quality-realtexts.sh [CLI]   (default: build/release/cli/parafold-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

texts=../shared/realtexts
cli=$(realpath "${1:-build/release/cli/parafold-cli}")
if [ ! -x "$texts/score.py" ]; then
    echo "no real texts: $texts/score.py not found, so only the generated texts are scored"
    exit 0
fi
# --dehyphenate asks the system's word list where a text is silent.
need_packages python3 wamerican
for args in "-c 56" "--smart" "--smart --dehyphenate"; do
    echo "-- parafold-cli $args"
    python3 "$texts/score.py" "$cli" $args | sed -n '3,$p'
done
variants=$(mktemp -d)
trap 'rm -rf "$variants"' EXIT
python3 scripts/realtexts-run-on.py "$texts" "$variants/run-on"
python3 scripts/realtexts-run-on.py --by-hand "$texts" "$variants/by-hand"
for variant in run-on by-hand; do
    for args in "-c 56" "--smart"; do
        echo "-- parafold-cli $args, paragraphs run on$([ "$variant" = by-hand ] && echo ", lines broken by hand")"
        python3 "$texts/score.py" --data "$variants/$variant" "$cli" $args | sed -n '3,$p'
    done
done
