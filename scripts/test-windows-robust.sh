#!/usr/bin/env bash
# Builds the Windows fault tests (tests/windows/robust_windows_test.cpp) with
# mingw-w64 and runs them under Wine: names in the ANSI code page, paths of
# 260 characters and more, the read-only attribute (as an unprivileged user,
# since Wine run by root writes any file) and, unless PARAFOLD_SLOW_TESTS=0,
# files past 2 and 4 GiB (about 20 s, 2 GiB of memory).
# Usage: scripts/test-windows-robust.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
. scripts/wine.sh

need_packages mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 googletest
cxx=x86_64-w64-mingw32-g++-posix
out=$PWD/build/windows-robust
mkdir -p "$out"

echo "== Windows fault tests: build"
gtest=/usr/src/googletest/googletest
flags=(-std=c++20 -O1 -Wall -Wextra -Werror -D__USE_MINGW_ANSI_STDIO=1)
for part in gtest-all gtest_main; do
    [ -f "$out/$part.o" ] || "$cxx" "${flags[@]}" -I"$gtest/include" -I"$gtest" \
        -c "$gtest/src/$part.cc" -o "$out/$part.o"
done
# The portable core, as parafold_core holds it, without the dialog's files.
"$cxx" "${flags[@]}" -static -I. -I"$gtest/include" tests/windows/robust_windows_test.cpp \
    engine/*/*.cpp ereader/*.cpp ui/pipeline.cpp ui/ereader_layers.cpp ui/output_path.cpp \
    "$out/gtest-all.o" "$out/gtest_main.o" -o "$out/robust_windows_tests.exe"

filter='-WindowsHugeFiles.*'
[ "${PARAFOLD_SLOW_TESTS:-1}" != 0 ] && filter='*'

echo "== Windows fault tests under Wine"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The prefix is made whole before the tests start: made on the fly by their
# first start, on a busy machine, it once lacked kernel32.dll when they ran.
[ -f "$out/wine-prefix/drive_c/windows/system32/kernel32.dll" ] ||
    WINEPREFIX="$out/wine-prefix" wine_make_prefix
(cd "$out" && WINEPREFIX="$out/wine-prefix" wine robust_windows_tests.exe --gtest_filter="$filter")

if [ "$(id -u)" -eq 0 ]; then
    echo "== the read-only attribute, as the user nobody"
    if ! command -v setpriv >/dev/null || ! id nobody >/dev/null 2>&1; then
        echo "SKIPPED: no setpriv or no user nobody to run Wine unprivileged"
        exit 0
    fi
    # The unprivileged Wine needs a prefix and a home of its own.
    home=$out/nobody
    mkdir -p "$home"
    cp "$out/robust_windows_tests.exe" "$home/"
    chown -R nobody "$home"
    (cd "$home" && setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups \
        env HOME="$home" WINEPREFIX="$home/wine-prefix" \
        wine robust_windows_tests.exe --gtest_filter='WindowsAttributes.*')
fi
