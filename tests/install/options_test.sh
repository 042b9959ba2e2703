#!/usr/bin/env bash
# The options of parafold-cli --help, the manual page's OPTIONS and the bash
# completion's options are the same: each option --help lists is in the
# page with the same value name and is offered by the completion, and
# neither has one that --help does not list. The page renders without a
# warning.
# Usage: options_test.sh PARAFOLD_CLI MANUAL_PAGE COMPLETION
set -euo pipefail
cli=$1 page=$2 completion=$3

# "NAME VALUE" (or "NAME") for each option of a listing whose option lines
# start with a few spaces and a dash, the description after two spaces or
# more: "  -c, --columns TEXT   the wrap column" gives "-c TEXT" and
# "--columns TEXT".
options_of() {
    grep -E '^ {1,8}-' | awk '{
        column = $0
        sub(/^ +/, "", column)
        sub(/  .*/, "", column)
        n = split(column, names, /, /)
        value = ""
        if (split(names[n], words, /[ =]/) == 2) { names[n] = words[1]; value = " " words[2] }
        for (i = 1; i <= n; i++) print names[i] value
    }' | sort -u
}

help_options=$("$cli" --help | options_of)
[ -n "$help_options" ] || { echo "FAIL: found no options in $cli --help" >&2; exit 1; }

warnings=$(MANWIDTH=200 man --warnings -l "$page" 2>&1 >/dev/null) || true
[ -z "$warnings" ] || { echo "FAIL: man --warnings -l $page says:" >&2; echo "$warnings" >&2; exit 1; }
# Wide, unhyphenated and unjustified, the OPTIONS section's tags stay whole.
page_options=$(MANWIDTH=200 man --nh --nj -l "$page" 2>/dev/null |
    sed -n '/^OPTIONS$/,/^[A-Z]/p' | options_of)

completed_options=$(
    # shellcheck source=/dev/null
    . "$completion"
    COMP_WORDS=(parafold-cli -) COMP_CWORD=1
    set +e  # as bash calls it
    _parafold_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort -u
)

failed=0
# Reports the lines of $2 missing from $3: "$1" says where they are missing.
report_missing() {
    local line
    while IFS= read -r line; do
        [ -n "$line" ] || continue
        echo "FAIL: $line: $1" >&2
        failed=1
    done < <(comm -23 <(echo "$2") <(echo "$3"))
}
report_missing "listed by --help, missing from the OPTIONS of the manual page $page" \
    "$help_options" "$page_options"
report_missing "in the OPTIONS of the manual page $page, not listed by --help" \
    "$page_options" "$help_options"
help_names=$(echo "$help_options" | cut -d' ' -f1 | sort -u)
report_missing "listed by --help, not offered by the completion $completion" \
    "$help_names" "$completed_options"
report_missing "offered by the completion $completion, not listed by --help" \
    "$completed_options" "$help_names"
[ "$failed" = 0 ] && echo "$(echo "$help_names" | wc -l) options alike in --help, the manual page and the completion"
exit "$failed"
