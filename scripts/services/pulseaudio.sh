# A private PulseAudio sound server for the capture and device tests, never the user's own: its own
# runtime folder and home, no user or system configuration (-n), anonymous access on its own socket.
# It holds a null sink "test_sink" (a speaker; its monitor is the system sound) and a pipe source
# "test_source" (a microphone) fed with a known signal: a 440 Hz sine of amplitude 0.5, float32le,
# 16 kHz mono, written about once a second, one second at a time.
# Exports PULSE_SERVER for the client library, VELMORA_TEST_PULSE_SERVER, which tests require before
# they touch a sound server (so they never load modules into a user's session), and
# VELMORA_TEST_PULSE_LOCK, a file the test processes lock to take turns with the server.

velmora_pulse_start() {
    local dir pid feeder tries
    if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null || ! command -v sox >/dev/null; then
        echo "pulseaudio.sh: pulseaudio, pactl or sox missing; sound tests will not find a server" >&2
        return 0
    fi
    dir=$(mktemp -d "${TMPDIR:-/tmp}/velmora-pulse.XXXXXX")
    mkdir -p "$dir/run" "$dir/home"
    chmod 700 "$dir/run"
    cleanups+=("rm -rf '$dir'")
    HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" PULSE_RUNTIME_PATH="$dir/run/pulse" \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --disallow-module-loading=no \
        --log-target="file:$dir/pulseaudio.log" \
        --load="module-native-protocol-unix auth-anonymous=1" \
        --load="module-null-sink sink_name=test_sink sink_properties=device.description=Test-Sink" \
        --load="module-pipe-source source_name=test_source file=$dir/signal.fifo format=float32le rate=16000 channels=1 source_properties=device.description=Test-Source" \
        </dev/null >/dev/null 2>&1 &
    pid=$!
    cleanups=("kill $pid 2>/dev/null; wait $pid 2>/dev/null" "${cleanups[@]}")

    local server="unix:$dir/run/pulse/native"
    for tries in $(seq 100); do
        if PULSE_SERVER="$server" pactl info >/dev/null 2>&1; then
            break
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "pulseaudio.sh: the sound server exited:" >&2
            cat "$dir/pulseaudio.log" >&2 || true
            return 0
        fi
        sleep 0.1
    done
    if ! PULSE_SERVER="$server" pactl info >/dev/null 2>&1; then
        echo "pulseaudio.sh: the sound server did not answer" >&2
        return 0
    fi

    if ! sox -n -r 16000 -c 1 -e floating-point -b 32 -t raw "$dir/signal.raw" synth 1 sine 440 vol 0.5; then
        echo "pulseaudio.sh: sox could not make the test signal" >&2
        return 0
    fi
    # One second of signal per second; the pipe holds exactly one second, so the writer never runs ahead.
    (
        exec 3>"$dir/signal.fifo"
        while cat "$dir/signal.raw" >&3; do sleep 1; done
    ) </dev/null >/dev/null 2>&1 &
    feeder=$!
    # The feeder goes first, so it never blocks on a pipe nobody reads.
    cleanups=("kill $feeder 2>/dev/null" "${cleanups[@]}")

    PULSE_SERVER="$server" pactl set-default-sink test_sink || true
    PULSE_SERVER="$server" pactl set-default-source test_source || true
    export PULSE_SERVER="$server"
    export VELMORA_TEST_PULSE_SERVER="$server"
    export VELMORA_TEST_PULSE_LOCK="$dir/tests.lock"
    # Clients must not read the user's configuration or start a server of their own.
    printf 'autospawn = no\n' >"$dir/client.conf"
    export PULSE_CLIENTCONFIG="$dir/client.conf"
}

velmora_pulse_start
unset -f velmora_pulse_start
