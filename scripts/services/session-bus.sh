# A private D-Bus session bus with an unlocked secret store (gnome-keyring) for the keychain, sign-in
# and notification tests, never the user's own bus or keyring: its own configuration (no service
# activation, so a name nobody owns stays unowned), its own home for the keyring files.
# Exports VELMORA_TEST_SESSION_BUS, the bus address tests require before they touch a secret store or a
# bus (so they never change a user's keyring), and VELMORA_TEST_SESSION_BUS_LOCK, a file the test
# processes lock to take turns with the bus (the keyring item and bus names are shared).

velmora_session_bus_start() {
    local dir bus_pid keyring_pid address tries
    if ! command -v dbus-daemon >/dev/null || ! command -v gnome-keyring-daemon >/dev/null ||
        ! command -v secret-tool >/dev/null; then
        echo "session-bus.sh: dbus-daemon, gnome-keyring-daemon or secret-tool missing; keychain tests will not find a bus" >&2
        return 0
    fi
    dir=$(mktemp -d "${TMPDIR:-/tmp}/velmora-bus.XXXXXX")
    mkdir -p "$dir/run" "$dir/home"
    chmod 700 "$dir/run"
    cleanups+=("rm -rf '$dir'")
    address="unix:path=$dir/bus"
    cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>$address</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile </dev/null >/dev/null 2>"$dir/bus.log" &
    bus_pid=$!
    cleanups=("kill $bus_pid 2>/dev/null; wait $bus_pid 2>/dev/null" "${cleanups[@]}")
    for tries in $(seq 100); do
        [ -S "$dir/bus" ] && break
        sleep 0.05
    done
    if [ ! -S "$dir/bus" ]; then
        echo "session-bus.sh: the bus did not start:" >&2
        cat "$dir/bus.log" >&2 || true
        return 0
    fi

    # The keyring is created and unlocked with this password read from standard input.
    printf 'velmora-test' | DBUS_SESSION_BUS_ADDRESS="$address" HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" \
        XDG_DATA_HOME="$dir/home/.local/share" XDG_CONFIG_HOME="$dir/home/.config" \
        gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>"$dir/keyring.log" &
    keyring_pid=$!
    cleanups=("kill $keyring_pid 2>/dev/null; wait $keyring_pid 2>/dev/null" "${cleanups[@]}")
    for tries in $(seq 100); do
        if DBUS_SESSION_BUS_ADDRESS="$address" secret-tool search service velmora-session-bus-probe >/dev/null 2>&1; then
            break
        fi
        sleep 0.05
    done
    if ! DBUS_SESSION_BUS_ADDRESS="$address" secret-tool search service velmora-session-bus-probe >/dev/null 2>&1; then
        echo "session-bus.sh: the secret store did not answer:" >&2
        cat "$dir/keyring.log" >&2 || true
        return 0
    fi
    export VELMORA_TEST_SESSION_BUS="$address"
    export VELMORA_TEST_SESSION_BUS_LOCK="$dir/tests.lock"
}

velmora_session_bus_start
unset -f velmora_session_bus_start
