#!/usr/bin/env bash
# Builds the Windows programs (x86-64 and i686) and runs the dialog's tests
# under Wine in a virtual X display: the message-driven suite (ctest) and the
# end-to-end run driven with the X mouse and keyboard.
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
. scripts/wine.sh

need_wine_packages
PARAFOLD_WINDOWS_CMAKE_ARGS="-DPARAFOLD_WERROR=ON ${PARAFOLD_WINDOWS_CMAKE_ARGS:-}" scripts/build-windows.sh

build=build/windows-x86_64
trap wine_session_stop EXIT
started=$SECONDS
wine_session_start "$build"
echo "Wine session ready in $((SECONDS - started)) s"

echo "== dialog tests under Wine (message-driven)"
started=$SECONDS
# One at a time: Wine processes on one desktop share focus and windows.
ctest --test-dir "$build" --output-on-failure --timeout 120
echo "dialog tests: $((SECONDS - started)) s"

echo "== parafold.exe end to end under Wine (xdotool)"
started=$SECONDS
timeout 300 tests/windows/dialog_e2e.sh "$build"
echo "end to end: $((SECONDS - started)) s"
