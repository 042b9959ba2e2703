# A Wine session for the Windows tests: a Wine prefix of the build's own, a
# virtual X display (Xvfb) and Wine's virtual desktop. Source it after
# scripts/lib.sh; do not run it.
#
#   wine_session_start BUILD_DIR   sets WINEPREFIX, WINEDEBUG, DISPLAY...
#   wine_session_stop              ends the session's Wine processes and Xvfb
# and, for driving programs as a person would (X mouse and keyboard through
# xdotool, eyes through BUILD_DIR/window_probe.exe):
#   probe wait|gone|controls|rect CAPTION
#   control_text CAPTION ID        the control's text
#   control_state CAPTION ID       "ENABLED CHECKED", each 0 or 1
#   click_control CAPTION ID       a left click on the control's centre
#
# The prefix lives in BUILD_DIR/wine-prefix and is made on first use (wineboot
# takes 10-60 s then); a prefix whose making was cut short is made afresh.
# Every program runs inside one 1024x768 Wine desktop window: Wine then draws
# the title bars itself, and hiding a window does not wait for a window
# manager that Xvfb does not have.

need_wine_packages() {
    need_packages wine wine64 xvfb xdotool
}

# Makes the Wine prefix $WINEPREFIX afresh and waits until it is whole. A
# prefix without kernel32.dll, its making cut short (as seen once on a busy
# machine), is made again, twice at most.
wine_make_prefix() {
    local tries
    for tries in 1 2; do
        rm -rf "$WINEPREFIX"
        wineboot --init >/dev/null 2>&1 || true
        wineserver --wait || true
        [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] && return 0
    done
    echo "could not make the Wine prefix $WINEPREFIX" >&2
    return 1
}

wine_session_xvfb_pid=""
wine_session_desktop_pid=""

wine_session_start() {
    local build_dir tries
    build_dir="$(cd "$1" && pwd)"
    wine_build_dir="$build_dir"
    export WINEPREFIX="$build_dir/wine-prefix"
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompts, no menu entries written to $HOME.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset WINEARCH WINESERVER WINELOADER
    # Wine wants a home folder of the user running it; CI may have none.
    if [ -z "${HOME:-}" ] || [ ! -d "$HOME" ] || [ ! -w "$HOME" ]; then
        export HOME="$build_dir/home"
        mkdir -p "$HOME"
    fi

    local display_file="$build_dir/xvfb.display"
    rm -f "$display_file"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$display_file" >"$build_dir/xvfb.log" 2>&1 &
    wine_session_xvfb_pid=$!
    for tries in $(seq 100); do
        [ -s "$display_file" ] && break
        sleep 0.1
    done
    [ -s "$display_file" ] || { echo "Xvfb did not start; see $build_dir/xvfb.log" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$display_file")"

    if [ ! -f "$WINEPREFIX/.parafold-ready" ]; then
        echo "Making the Wine prefix $WINEPREFIX"
        wine_make_prefix || return 1
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
        wineserver --wait
        touch "$WINEPREFIX/.parafold-ready"
    fi
    # One Wine server, its services and the desktop for the whole session,
    # started here with their output detached. Were they started by the first
    # test program instead, they would hold that program's output pipe open
    # and ctest would wait for them.
    wineserver --persistent
    wine explorer /desktop=Default,1024x768 </dev/null >/dev/null 2>&1 &
    wine_session_desktop_pid=$!
    for tries in $(seq 300); do
        xdotool search --name 'Wine desktop' >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "the Wine desktop did not appear" >&2
    return 1
}

wine_session_stop() {
    [ -n "${WINEPREFIX:-}" ] && wineserver --kill 2>/dev/null || true
    if [ -n "$wine_session_desktop_pid" ]; then
        wait "$wine_session_desktop_pid" 2>/dev/null || true
        wine_session_desktop_pid=""
    fi
    if [ -n "$wine_session_xvfb_pid" ]; then
        kill "$wine_session_xvfb_pid" 2>/dev/null || true
        wait "$wine_session_xvfb_pid" 2>/dev/null || true
        wine_session_xvfb_pid=""
    fi
}

probe() { wine "$wine_build_dir/window_probe.exe" "$@"; }

# The probe's line for one control: "ID X Y ENABLED CHECKED CLASS<TAB>TEXT".
control_line() {
    probe controls "$1" | awk -F'\t' -v id="$2" '{ split($1, f, " ") } f[1] == id { print; exit }'
}
control_text() { control_line "$1" "$2" | cut -f2-; }
control_state() { control_line "$1" "$2" | awk '{ print $4, $5 }'; }
click_control() {
    local fields
    read -r -a fields <<<"$(control_line "$1" "$2")"
    [ ${#fields[@]} -ge 3 ] || { echo "no control $2 in window \"$1\"" >&2; return 1; }
    xdotool mousemove "${fields[1]}" "${fields[2]}" click 1
}
