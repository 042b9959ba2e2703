#!/usr/bin/env bash
# Takes docs/dialog.png: parafold.exe under Wine in a virtual X display, with
# a file chosen and "Autodetect Columns" ticked.
# Usage: scripts/screenshot-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
. scripts/wine.sh

need_wine_packages
need_packages fonts-wine x11-apps imagemagick
scripts/build-windows.sh x86_64

build=build/windows-x86_64
trap wine_session_stop EXIT
wine_session_start "$build"

mkdir -p "$WINEPREFIX/drive_c/texts"
printf 'The cat sat on the\nmat and it purred\nsoftly all night.\nThen it slept\n' \
    >"$WINEPREFIX/drive_c/texts/book.txt"
(cd "$build" && wine ./parafold.exe 2>/dev/null) &
program=$!
probe wait parafold
click_control parafold 1007  # Autodetect Columns
click_control parafold 1000  # Browse
probe wait "Load Text file(s)..."
xdotool type --delay 10 'C:\texts\book.txt'
xdotool key Return
probe gone "Load Text file(s)..."
xdotool mousemove 1000 700  # the pointer out of the picture
sleep 1

read -r x y width height <<<"$(probe rect parafold)"
xwd -root -silent | convert xwd:- -crop "${width}x${height}+${x}+${y}" +repage docs/dialog.png
xdotool key Escape
wait "$program"
echo "docs/dialog.png: ${width}x${height}"
