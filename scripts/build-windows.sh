#!/usr/bin/env bash
# Builds the Windows programs parafold.exe (the dialog) and parafold-cli.exe
# with mingw-w64, statically linked:
#   build/windows-x86_64/   64-bit, with the dialog's test programs
#   build/windows-i686/     32-bit, the programs only
# Usage: scripts/build-windows.sh [x86_64|i686]...   (default: both)
# Extra CMake options may be given in PARAFOLD_WINDOWS_CMAKE_ARGS;
# PARAFOLD_WINDOWS_TARGETS names the only targets to build (e.g. the two
# programs: "parafold parafold-cli").
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

need_packages cmake make mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest

architectures=("$@")
[ ${#architectures[@]} -eq 0 ] && architectures=(x86_64 i686)
for arch in "${architectures[@]}"; do
    case "$arch" in
        x86_64) tests=ON ;;
        i686) tests=OFF ;;
        *) echo "unknown architecture: $arch (x86_64 or i686)" >&2; exit 2 ;;
    esac
    echo "== Windows $arch build"
    toolchain=(-DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$arch.cmake")
    [ -f "build/windows-$arch/CMakeCache.txt" ] && toolchain=()  # fixed at the first configure
    # shellcheck disable=SC2086
    cmake -S . -B "build/windows-$arch" "${toolchain[@]}" \
        -DCMAKE_BUILD_TYPE=Release -DPARAFOLD_TESTS="$tests" -DPARAFOLD_BENCH=OFF \
        ${PARAFOLD_WINDOWS_CMAKE_ARGS:-} >/dev/null
    targets=()
    for target in ${PARAFOLD_WINDOWS_TARGETS:-}; do targets+=(--target "$target"); done
    cmake --build "build/windows-$arch" -j"$(jobs)" "${targets[@]}"
    ls "build/windows-$arch"/*.exe
done
