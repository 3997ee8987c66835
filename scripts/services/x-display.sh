# A private X display (Xvfb) with a tray host (trayer) for the application's window, tray and global
# hot-key tests; never the user's own display. Exports VELMORA_TEST_DISPLAY (tests set DISPLAY from it
# themselves, so the other tests keep the environment they expect) and VELMORA_TEST_DISPLAY_LOCK, a file
# the test processes lock to take turns with the display (the hot key is one for the whole display).

velmora_x_display_start() {
    local dir display number tries xvfb_pid trayer_pid
    if ! command -v Xvfb >/dev/null || ! command -v xdpyinfo >/dev/null || ! command -v trayer >/dev/null; then
        echo "x-display.sh: Xvfb, xdpyinfo or trayer missing; the display tests will not find a display" >&2
        return 0
    fi
    dir=$(mktemp -d "${TMPDIR:-/tmp}/velmora-x.XXXXXX")
    cleanups+=("rm -rf '$dir'")
    # Xvfb picks a free display number itself and writes it when it is ready, so runs side by side
    # never race for one.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" </dev/null >/dev/null 2>"$dir/xvfb.log" &
    xvfb_pid=$!
    cleanups=("kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null" "${cleanups[@]}")
    for tries in $(seq 200); do
        [ -s "$dir/display" ] && break
        sleep 0.05
    done
    number=$(tr -dc 0-9 <"$dir/display")
    display=":$number"
    if [ -z "$number" ] || ! DISPLAY="$display" xdpyinfo >/dev/null 2>&1; then
        echo "x-display.sh: Xvfb did not start:" >&2
        cat "$dir/xvfb.log" >&2 || true
        return 0
    fi

    # The tray host owns the display's system-tray selection; the application embeds its icon there.
    DISPLAY="$display" trayer --SetDockType false --transparent false --expand false --edge top \
        --align right --widthtype request </dev/null >/dev/null 2>"$dir/trayer.log" &
    trayer_pid=$!
    cleanups=("kill $trayer_pid 2>/dev/null; wait $trayer_pid 2>/dev/null" "${cleanups[@]}")
    # Its panel is mapped once it has taken the tray selection.
    for tries in $(seq 200); do
        DISPLAY="$display" xwininfo -name panel 2>/dev/null | grep -q IsViewable && break
        sleep 0.05
    done
    if ! DISPLAY="$display" xwininfo -name panel 2>/dev/null | grep -q IsViewable; then
        echo "x-display.sh: the tray host did not start:" >&2
        cat "$dir/trayer.log" >&2 || true
        return 0
    fi
    export VELMORA_TEST_DISPLAY="$display"
    export VELMORA_TEST_DISPLAY_LOCK="$dir/tests.lock"
}

velmora_x_display_start
unset -f velmora_x_display_start
