#!/usr/bin/env bash
# parafold.exe end to end, as a person uses it: the X mouse and keyboard
# (xdotool) press its buttons and type into the real open-file dialog; the
# fields and message boxes are read back with window_probe.exe; the output
# file's bytes and the exit status are checked.
# Usage (inside a Wine session, see scripts/test-windows.sh):
#   tests/windows/dialog_e2e.sh BUILD_DIR [PROGRAM_DIR]
# PROGRAM_DIR holds the parafold.exe and parafold-cli.exe to test (default
# BUILD_DIR), e.g. those unpacked from a release zip; window_probe.exe comes
# from BUILD_DIR.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
. "$root/scripts/lib.sh"
. "$root/scripts/wine.sh"
wine_build_dir="$(cd "$1" && pwd)"
build="$wine_build_dir"
programs="$(cd "${2:-$1}" && pwd)"

failures=0
check() {  # what got want
    if [ "$2" == "$3" ]; then
        echo "  ok    $1"
    else
        echo "  FAIL  $1: got '$2', want '$3'"
        failures=$((failures + 1))
    fi
}
windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }

work="$build/e2e"
rm -rf "$work"
mkdir -p "$work/texts" "$work/run"
book="$work/texts/book.txt"
# Lines of 18, 17, 17 and 13 bytes: their mean length with the LF is 17.
printf 'The cat sat on the\nmat and it purred\nsoftly all night.\nThen it slept\n' >"$book"
joined=$'The cat sat on the mat and it purred softly all night.\nThen it slept\n'

# Starts parafold.exe in the run folder (its current directory) with the
# arguments given, and waits for the dialog. Wine writes the arguments into
# the Windows command line, quoting any with a space, as Explorer quotes
# "%1". What the program and Wine write to standard output and error goes to
# program.log.
start_program() {
    rm -f "$work/status"
    (cd "$work/run" && wine "$programs/parafold.exe" "$@" >>"$work/program.log" 2>&1; echo $? >"$work/status") &
    probe wait parafold || { echo "  FAIL  the dialog did not appear"; exit 1; }
}
exit_status() {
    local tries
    for tries in $(seq 200); do
        [ -s "$work/status" ] && break
        sleep 0.1
    done
    cat "$work/status" 2>/dev/null || echo "still running"
}
# Waits for a message box, checks it and presses Enter on it.
answer_message_box() {  # caption text
    if ! probe wait "$1"; then
        check "message box \"$1\"" "none" "shown"
        return
    fi
    check "message box \"$1\" says" "$(control_text "$1" 65535)" "$2"
    xdotool key Return
    probe gone "$1"
}
choose_file() {  # path
    click_control parafold 1000
    probe wait "Load Text file(s)..." || { check "file dialog" "none" "shown"; return; }
    xdotool type --delay 10 "$(windows_path "$1")"
    xdotool key Return
    probe gone "Load Text file(s)..."
}
output_of() { if [ -f "$1" ]; then cat "$1"; echo x; else echo missing; fi; }

echo "Process File before any Browse, then Alt+F4"
start_program
check "column text at start" "$(control_text parafold 1005)" "56"
check "column field enabled, autodetect unticked" \
    "$(control_state parafold 1005) $(control_state parafold 1007)" "1 0 1 0"
check "input path at start" "$(control_text parafold 1001)" ""
check "output path at start" "$(control_text parafold 1004)" ""
click_control parafold 1
answer_message_box Failed "Alignment failed"
xdotool key alt+F4
check "exit status after closing" "$(exit_status)" "0"
check "files left in the current directory" "$(ls "$work/run")" ""

echo "Browse, Process File, Autodetect, Kindle Indent, Esc"
start_program
choose_file "$book"
check "input path" "$(control_text parafold 1001)" "$(windows_path "$book")"
check "output path" "$(control_text parafold 1004)" "$(windows_path "$work/texts/book.ncr.txt")"
check "column text" "$(control_text parafold 1005)" "56"
click_control parafold 1
answer_message_box Success "Text file aligned successfully"
check "output at column 56" "$(output_of "$work/texts/book.ncr.txt")" "$(cat "$book"; echo x)"

click_control parafold 1007
check "ticking Autodetect disables the column field" "$(control_state parafold 1005)" "0 0"
check "and keeps its text" "$(control_text parafold 1005)" "56"
choose_file "$book"
check "column estimated at Browse" "$(control_text parafold 1005)" "17"
click_control parafold 1
answer_message_box Success "Text file aligned successfully"
check "output at the estimated column" "$(output_of "$work/texts/book.ncr.txt")" "${joined}x"

click_control parafold 1007
check "unticking Autodetect enables the column field" "$(control_state parafold 1005)" "1 0"
click_control parafold 1010
check "Kindle Indent ticked" "$(control_state parafold 1010)" "1 1"
click_control parafold 1
answer_message_box Success "Text file aligned successfully"
check "output indented, at the estimated column" "$(output_of "$work/texts/book.ncr.txt")" \
    "$(printf '     %s\n' "The cat sat on the mat and it purred softly all night." "Then it slept"; echo x)"
xdotool key Escape
check "exit status after Esc" "$(exit_status)" "0"

# The command line under Wine, with the same choices, writes the same bytes.
(cd "$work/run" && wine "$programs/parafold-cli.exe" -c 17 -i "$(windows_path "$book")" \
    -o "$(windows_path "$work/cli.txt")" >>"$work/program.log" 2>&1) || true
check "parafold-cli.exe output the same" "$(output_of "$work/cli.txt")" "$(output_of "$work/texts/book.ncr.txt")"
check "files left in the current directory" "$(ls "$work/run")" ""

echo "Started with a file, as Explorer starts it for a dropped file: shown, processed on request"
mkdir -p "$work/my books"
dropped="$work/my books/book one.txt"
cp "$book" "$dropped"
start_program "$(windows_path "$dropped")"
check "input path" "$(control_text parafold 1001)" "$(windows_path "$dropped")"
check "output path" "$(control_text parafold 1004)" "$(windows_path "$work/my books/book one.ncr.txt")"
check "column text" "$(control_text parafold 1005)" "56"
check "column field enabled, autodetect unticked" \
    "$(control_state parafold 1005) $(control_state parafold 1007)" "1 0 1 0"
check "nothing written before Process File" "$(output_of "$work/my books/book one.ncr.txt")" "missing"
click_control parafold 1
answer_message_box Success "Text file aligned successfully"
check "output at column 56" "$(output_of "$work/my books/book one.ncr.txt")" "$(cat "$book"; echo x)"
xdotool key Escape
check "exit status after Esc" "$(exit_status)" "0"

echo "Started with an unquoted path with spaces that names no file: shown whole, Process File fails"
missing="$(windows_path "$work/no such/book.txt")"
start_program "${missing%% *}" "${missing#* }"  # two arguments: no quotes on the command line
check "input path" "$(control_text parafold 1001)" "$missing"
check "output path" "$(control_text parafold 1004)" "$(windows_path "$work/no such/book.ncr.txt")"
click_control parafold 1
answer_message_box Failed "Alignment failed"
click_control parafold 2
check "exit status after Cancel" "$(exit_status)" "0"
check "files left in the current directory" "$(ls "$work/run")" ""

if [ "$failures" -ne 0 ]; then
    xwd -root -silent | convert xwd:- "$work/screen.png" 2>/dev/null || true
    echo "$failures end-to-end check(s) failed; last screen in $work/screen.png"
    exit 1
fi
echo "all end-to-end checks passed"
