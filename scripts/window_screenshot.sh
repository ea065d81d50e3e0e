#!/usr/bin/env bash
# Takes the README's picture of the window: tezplayer on a private X server with an
# example score opened through Ctrl+O, saved as docs/window.png.
# Usage: scripts/window_screenshot.sh [build folder, default build/]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build}" && pwd)/bin
score=$root/examples/scale.tez

work=$(mktemp -d)
xvfb_pid="" app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

wait_for() {
    for _ in $(seq 100); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "timed out waiting for: $*" >&2
    return 1
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
wait_for test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"

cd "$work"
QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" "$bin/tezplayer" 2>/dev/null &
app_pid=$!
wait_for xdotool search --onlyvisible --name tezplayer
window=$(xdotool search --onlyvisible --name tezplayer | head -n1)
xdotool windowfocus --sync "$window" key ctrl+o
wait_for xdotool search --onlyvisible --name '^開く$'
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^開く$' | head -n1)"
sleep 0.3
xdotool key ctrl+a type --delay 5 "$score"
xdotool key Return
wait_for test -s tez_p.smf
sleep 0.5
mkdir -p "$root/docs"
import -window "$window" "$root/docs/window.png"
echo "wrote $root/docs/window.png"
