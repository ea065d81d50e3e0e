#!/usr/bin/env bash
# A stop signal that comes while the window saves a large score: the window ends by the
# signal once the file is written, leaving the score whole and no temporary file beside it.
# Each signal is sent the moment the temporary file is seen. The box is saved as it was read
# (typing into a box still being filled would be lost), so old and new are the same bytes.
# Usage: save_stop_xvfb.sh <recording_tezplayer>
set -euo pipefail
app=$1

source "$(dirname "$0")/../support/services.sh"
enter_scratch_folder
fail() { echo "FAIL: $*" >&2; exit 1; }
start_xvfb || fail "Xvfb did not start"

python3 - "$work/old.tez" <<'PY'
import sys
with open(sys.argv[1], "w") as out:
    for i in range(300000):
        out.write(f"I120 K{48 + i % 36} V{60 + i % 60} L110\n")
PY

# Sends the signal to the process as soon as a file named after the score appears beside it.
signal_on_temporary() {
    python3 - "$work/run" big.tez. "$1" "$2" <<'PY'
import os, sys, time
folder, prefix, pid, signal = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
deadline = time.monotonic() + 60
while time.monotonic() < deadline:
    if any(name.startswith(prefix) for name in os.listdir(folder)):
        os.kill(pid, signal)
        sys.exit(0)
sys.exit(1)
PY
}

# Job control: a program started in the background keeps the default action of Ctrl+C.
set -m
for name in TERM INT HUP; do
    number=$(kill -l "$name")
    rm -rf "$work/run"
    mkdir "$work/run"
    cp "$work/old.tez" "$work/run/big.tez"
    cd "$work/run"
    QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" "$app" "$work/sent.txt" big.tez \
        2>"$work/app.log" &
    app_pid=$!
    pids+=("$app_pid")
    wait_for 600 xdotool search --onlyvisible --name 'big.tez - tezplayer' ||
        fail "no window; running: $(kill -0 "$app_pid" 2>&1 && echo yes), windows:" \
            "$(xdotool search --name tezplayer getwindowname %@ 2>&1)," \
            "log: $(cat "$work/app.log")"
    window=$(xdotool search --onlyvisible --name 'big.tez - tezplayer' | head -n1)
    signal_on_temporary "$app_pid" "$number" &
    watcher=$!
    # The save waits until the box holds the whole score: asked again until it writes.
    for _ in $(seq 120); do
        kill -0 "$watcher" 2>/dev/null || break
        xdotool windowfocus --sync "$window" key ctrl+shift+s 2>/dev/null || true
        sleep 0.5
    done
    wait "$watcher" || fail "SIG$name: no temporary file was seen"
    status=0
    wait "$app_pid" || status=$?
    [ "$status" -eq $((128 + number)) ] || fail "SIG$name: the window ended with status $status"
    left=$(find . -name 'big.tez.*')
    [ -z "$left" ] || fail "SIG$name left $left"
    cmp -s big.tez "$work/old.tez" || fail "SIG$name: big.tez is not the score whole"
    cd "$work"
done
echo "stop signals during a save left the score whole and no temporary file"
