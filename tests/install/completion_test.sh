#!/usr/bin/env bash
# The bash completion of parafold-cli, called as bash calls it (COMP_WORDS,
# COMP_CWORD) in a scratch folder of files: option names, the values of
# --columns, --jobs and --output, and *.txt files with folders.
# Usage: completion_test.sh COMPLETION
set -euo pipefail
completion=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
touch a.txt B.TXT 'my book.txt' notes.md -- -x.txt
mkdir dir d.txt
# shellcheck source=/dev/null
. "$completion"
export LC_ALL=C

processors=$(nproc)
jobs=$(printf '0'; seq 1 "$processors" | tr '\n' ' ' | sed 's/ $//; s/^/ /')
jobs=${jobs// /|}
columns='-1|56|60|64|70|72|76|78|80'
texts='-x.txt|B.TXT|a.txt|d.txt|dir|my book.txt'

# Each row: the words typed, "|" apart, the last being the one completed
# (bash makes "--jobs=" the three words "--jobs", "=" and ""), then the
# replies expected, sorted, "|" apart.
rows=(
    'parafold-cli|--col'            '--columns'
    'parafold-cli|--smart|--de'     '--dehyphenate'
    'parafold-cli|--jobs|'          "$jobs"
    'parafold-cli|--jobs|=|'        "$jobs"
    'parafold-cli|-j|0'             '0'
    'parafold-cli|--columns|'       "$columns"
    'parafold-cli|--columns|=|-'    '-1'
    'parafold-cli|-2c|5'            '56'
    'parafold-cli|-o|'              "-|$texts|notes.md"
    'parafold-cli|--output|=|n'     'notes.md'
    'parafold-cli|'                 "$texts"
    'parafold-cli|-s|m'             'my book.txt'
    'parafold-cli|a.txt|n'          ''
    'parafold-cli|--|-'             '-x.txt'
    'parafold-cli|--|-o|'           "$texts"
)

failed=0
for ((row = 0; row < ${#rows[@]}; row += 2)); do
    IFS='|' read -r -a COMP_WORDS <<<"${rows[row]}"
    # read drops an empty last word.
    [[ ${rows[row]} == *'|' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    # As bash calls it: without -e.
    set +e
    _parafold_cli
    set -e
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd'|')
    if [ "$got" != "${rows[row + 1]}" ]; then
        echo "FAIL: completing '${rows[row]}' gave '$got', not '${rows[row + 1]}'" >&2
        failed=1
    fi
done
[ "$failed" = 0 ] && echo "$((${#rows[@]} / 2)) completions as expected"
exit "$failed"
