# shellcheck shell=bash
# Pieces shared by the scripts that start real services; source it.

# Moves into a fresh folder, $work. On exit, every process listed in $pids is stopped and
# the folder removed.
enter_scratch_folder() {
    work=$(mktemp -d)
    pids=()
    trap leave_scratch_folder EXIT
    cd "$work" || return
}

leave_scratch_folder() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tries=$1
    shift
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# A private X server on a free display, which it names once it accepts clients.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    pids+=($!)
    wait_for 100 test -s "$work/display" || { echo "Xvfb did not start" >&2; return 1; }
    DISPLAY=":$(head -n1 "$work/display")"
    export DISPLAY
}

# Re-runs the calling script with a private /dev/shm (as root, where unshare is available):
# JACK keeps its server registry there, and servers that died elsewhere must not fill it.
# Call it first thing, with the script's arguments.
with_private_shm() {
    if [ -n "${TEZ_PRIVATE_SHM:-}" ] || [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
        return 0
    fi
    export TEZ_PRIVATE_SHM=1
    exec unshare --mount --propagation private \
        bash -c 'mount -t tmpfs -o mode=1777 tmpfs /dev/shm && exec "$@"' bash "$0" "$@"
}

# A private PulseAudio server whose default sink is a null sink, "nullsink"; its monitor
# source hears everything played. Exports PULSE_SERVER for the clients started after it.
start_pulse_null_sink() {
    export PULSE_RUNTIME_PATH="$work/pulse" PULSE_SERVER="unix:$work/pulse/native"
    mkdir -p "$PULSE_RUNTIME_PATH"
    # Without rewinds: a null sink renders up to 2 s ahead, and when a stream starts it would
    # rewrite audio its monitor has already handed to a recorder, losing the start of it.
    timeout "${1:-60}" pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
        --disable-shm=yes -L "module-null-sink sink_name=nullsink norewinds=1" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$work/pulse/native" \
        >"$work/pulse.log" 2>&1 &
    pids+=($!)
    wait_for 50 pactl info || { echo "no PulseAudio server" >&2; return 1; }
}

# A dummy JACK server named $JACK_DEFAULT_SERVER (48 kHz, 256-frame periods) with
# jack_midi_dump listening, both for at most $1 seconds; the dump goes to $2, and the rest
# are jack_midi_dump's arguments. Sets $monitor_id, the monitor port's device id for $tez.
start_jack_monitor() {
    local seconds=$1 dump=$2
    shift 2
    timeout "$seconds" jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >jackd.log 2>&1 &
    pids+=($!)
    timeout 10 jack_wait -w -t 10 >/dev/null 2>&1 ||
        { echo "the JACK server did not start: $(cat jackd.log)" >&2; return 1; }
    timeout "$seconds" jack_midi_dump "$@" >"$dump" 2>&1 &
    pids+=($!)
    wait_for 300 bash -c "'$tez' devices | grep -q midi-monitor:input" || true
    monitor_id=$("$tez" devices | awk '/midi-monitor:input/ {print $1; exit}')
    [ -n "$monitor_id" ] || { echo "the JACK monitor's port is not listed" >&2; return 1; }
}
