# A private X display (Xvfb) with a tray host (trayer) for the application's window, tray and global
# hot-key tests; never the user's own display. Exports VELMORA_TEST_DISPLAY (tests set DISPLAY from it
# themselves, so the other tests keep the environment they expect) and VELMORA_TEST_DISPLAY_LOCK, a file
# the test processes lock to take turns with the display (the hot key is one for the whole display).

# One attempt: both programs running and answering, or both stopped again (status 1).
velmora_x_display_try() {
    local dir=$1 number tries
    rm -f "$dir/display"
    # Xvfb picks a free display number itself and writes it when it is ready, so runs side by side
    # never race for one.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" </dev/null >/dev/null 2>"$dir/xvfb.log" &
    velmora_x_display_xvfb=$!
    for tries in $(seq 200); do
        [ -s "$dir/display" ] && break
        sleep 0.05
    done
    number=$(tr -dc 0-9 <"$dir/display")
    velmora_x_display_name=":$number"
    if [ -n "$number" ] && DISPLAY="$velmora_x_display_name" xdpyinfo >/dev/null 2>&1; then
        # The tray host owns the display's system-tray selection; its panel is mapped once it has it.
        DISPLAY="$velmora_x_display_name" trayer --SetDockType false --transparent false --expand false \
            --edge top --align right --widthtype request </dev/null >/dev/null 2>"$dir/trayer.log" &
        velmora_x_display_trayer=$!
        for tries in $(seq 200); do
            DISPLAY="$velmora_x_display_name" xwininfo -name panel 2>/dev/null | grep -q IsViewable && return 0
            kill -0 "$velmora_x_display_trayer" 2>/dev/null || break
            sleep 0.05
        done
        kill "$velmora_x_display_trayer" 2>/dev/null
        wait "$velmora_x_display_trayer" 2>/dev/null
    fi
    kill "$velmora_x_display_xvfb" 2>/dev/null
    wait "$velmora_x_display_xvfb" 2>/dev/null
    return 1
}

velmora_x_display_start() {
    local dir attempt
    if ! command -v Xvfb >/dev/null || ! command -v xdpyinfo >/dev/null || ! command -v trayer >/dev/null; then
        echo "x-display.sh: Xvfb, xdpyinfo or trayer missing; the display tests will not find a display" >&2
        return 0
    fi
    dir=$(mktemp -d "${TMPDIR:-/tmp}/velmora-x.XXXXXX")
    cleanups+=("rm -rf '$dir'")
    for attempt in 1 2 3; do
        if velmora_x_display_try "$dir"; then
            cleanups=("kill $velmora_x_display_trayer $velmora_x_display_xvfb 2>/dev/null; wait $velmora_x_display_trayer $velmora_x_display_xvfb 2>/dev/null" "${cleanups[@]}")
            export VELMORA_TEST_DISPLAY="$velmora_x_display_name"
            export VELMORA_TEST_DISPLAY_LOCK="$dir/tests.lock"
            return 0
        fi
    done
    echo "x-display.sh: the display or its tray host did not start:" >&2
    cat "$dir/xvfb.log" "$dir/trayer.log" >&2 2>/dev/null || true
}

velmora_x_display_start
unset -f velmora_x_display_start velmora_x_display_try
unset velmora_x_display_xvfb velmora_x_display_trayer velmora_x_display_name
