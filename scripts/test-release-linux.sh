#!/usr/bin/env bash
# Checks the Linux release that scripts/package-linux.sh makes:
# - lintian finds no error or warning in the .deb (its overrides aside), and
#   the manual page renders without a warning;
# - `cmake --install` to a prefix in a home folder gives a parafold-cli that
#   man and bash-completion find by themselves;
# - apt-get installs the .deb; the installed parafold-cli runs on the
#   sample (--version, a file, a pipe), `man parafold-cli` shows its page
#   and bash completes its options; apt-get removes it and nothing of it is
#   left;
# - two fresh clones of the commit give byte-identical packages, and so does
#   this checkout when it holds no uncommitted change.
# It installs and removes the package parafold-cli system-wide, so it needs
# root (or sudo); an installed parafold-cli is removed at its end.
# About 90 s of processor time in a fresh checkout, most of it three builds
# (this checkout's and the two clones') that use both cores: about 1.5
# minutes on the idle 2-core test machine, 2-3.5 while other builds share it.
# Usage: scripts/test-release-linux.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

need_packages lintian man-db bash-completion git
scripts/package-linux.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/package-linux/CMakeCache.txt)
deb=dist/parafold-cli_$version-1_$(dpkg --print-architecture).deb
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
scratch=$(mktemp -d)
installed=no
# A check that fails leaves no package installed either.
clean_up() {
    [ "$installed" = no ] || "${sudo[@]}" apt-get remove -y -qq parafold-cli >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap clean_up EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== lintian"
# (lintian warns that it runs as root, which CI does.)
lintian --fail-on error,warning --display-info "$deb" 2> >(grep -v 'root privileges' >&2)
warnings=$(man --warnings -l cli/parafold-cli.1 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man --warnings -l cli/parafold-cli.1 says: $warnings"
echo "$deb: lintian clean; the manual page renders without a warning"

# Runs the parafold-cli that PATH finds on the sample, as a file and in a
# pipe, and checks that man shows its page from $1 and bash completes it.
check_installed() {
    local page=$1 work=$scratch/work
    [ "$(parafold-cli --version)" = "parafold-cli $version" ] ||
        fail "$(command -v parafold-cli) --version says '$(parafold-cli --version)'"
    rm -rf "$work" && mkdir -p "$work" && cp samples/lighthouse.txt "$work/"
    (cd "$work" && parafold-cli lighthouse.txt >printed) || fail "parafold-cli lighthouse.txt failed"
    [ "$(cat "$work/printed")" = lighthouse.ncr.txt ] || fail "parafold-cli printed $(cat "$work/printed")"
    [ "$(wc -l <"$work/lighthouse.ncr.txt")" -lt "$(wc -l <"$work/lighthouse.txt")" ] ||
        fail "parafold-cli joined no line of the sample"
    parafold-cli - <"$work/lighthouse.txt" | cat | cmp - "$work/lighthouse.ncr.txt" ||
        fail "parafold-cli in a pipe wrote another text than to a file"
    [ "$(man -w parafold-cli)" = "$page" ] || fail "man finds '$(man -w parafold-cli)', not $page"
    MANWIDTH=80 man parafold-cli 2>/dev/null | grep -q '^ *parafold-cli - unwrap' ||
        fail "man parafold-cli shows no NAME line"
    # An interactive shell's start: bash-completion, which loads the
    # completion of parafold-cli from where it is installed.
    local completed
    completed=$(bash -c '. /usr/share/bash-completion/bash_completion
        __load_completion parafold-cli || exit 1
        COMP_WORDS=(parafold-cli --jo) COMP_CWORD=1
        _parafold_cli && echo "${COMPREPLY[*]}"') || true
    [ "$completed" = --jobs ] || fail "bash completes 'parafold-cli --jo' with '$completed'"
    echo "$(command -v parafold-cli): runs on a file and in a pipe; man shows $page; bash completes it"
}

echo "== cmake --install to a prefix in a home folder"
# Where a user without root puts it: ~/.local, whose bin/ is on PATH.
(
    export HOME=$scratch/home
    cmake --install build/package-linux --prefix "$HOME/.local" >/dev/null
    export PATH=$HOME/.local/bin:$PATH
    check_installed "$HOME/.local/share/man/man1/parafold-cli.1"
)

echo "== apt-get install, run, apt-get remove"
# Another apt-get or dpkg at work is waited for. A Debian image that leaves
# out manual pages (path-exclude in dpkg.cfg.d) still gets this one.
apt_get=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -qq
    -o DPkg::Lock::Timeout=300
    -o Dpkg::Options::=--path-include=/usr/share/man/man1/parafold-cli.1.gz)
# The package is the system's: two checks at once on one machine take
# turns from its install to its removal.
exec 9>>/tmp/parafold-cli-package-check.lock
flock -w 600 9 || fail "another check has held the package for ten minutes"
"${apt_get[@]}" install "./$deb" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log" >&2; fail "apt-get install ./$deb"; }
installed=yes
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/$')
[ "$(command -v parafold-cli)" = /usr/bin/parafold-cli ] ||
    fail "PATH finds '$(command -v parafold-cli)', not /usr/bin/parafold-cli"
check_installed /usr/share/man/man1/parafold-cli.1.gz
"${apt_get[@]}" remove parafold-cli >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log" >&2; fail "apt-get remove parafold-cli"; }
installed=no
status=$(dpkg-query -W -f='${db:Status-Status}' parafold-cli 2>/dev/null) || status=not-installed
[ "$status" = not-installed ] || fail "after apt-get remove, dpkg holds parafold-cli as $status"
# Nothing of its files, nor its folders that no other package holds.
left=$(while IFS= read -r path; do
    [ -e "$path" ] || continue
    [ -d "$path" ] && dpkg -S "$path" >/dev/null 2>&1 && continue
    echo "$path"
done <<<"$files")
[ -z "$left" ] || fail "apt-get remove left: $left"
flock -u 9
echo "apt-get installed, ran and removed $deb; nothing of it is left"

check_reproducible linux scripts/package-linux.sh "$deb"
echo "the Linux release checks passed"
