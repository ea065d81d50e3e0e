#!/usr/bin/env bash
# Takes the README's pictures of the window: tezplayer on a private X server with an
# example score opened through Ctrl+O, saved as docs/window.png; then, after F5 on the
# score's sixth line (a tenth slower, two semitones up), with the line now sounding
# highlighted, as docs/window_playing.png; then grown to 1000 x 700, the score box with it,
# as docs/window_grown.png.
# Usage: scripts/window_screenshot.sh [build folder, default build/]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build}" && pwd)/bin
score=$root/examples/scale.tez

source "$root/tests/support/services.sh"
enter_scratch_folder
start_xvfb

QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" "$bin/tezplayer" 2>/dev/null &
pids+=($!)
wait_for 100 xdotool search --onlyvisible --name tezplayer
window=$(xdotool search --onlyvisible --name tezplayer | head -n1)
xdotool windowfocus --sync "$window" key ctrl+o
wait_for 100 xdotool search --onlyvisible --name '^開く$'
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^開く$' | head -n1)"
sleep 0.3
xdotool key ctrl+a type --delay 5 "$score"
xdotool key Return
wait_for 100 test -s tez_p.smf
sleep 0.5
mkdir -p "$root/docs"
import -window "$window" "$root/docs/window.png"
xdotool windowfocus --sync "$window" key F7 shift+F8 shift+F8 Tab ctrl+Home Down Down Down Down Down F5
sleep 0.8
import -window "$window" "$root/docs/window_playing.png"
xdotool windowsize --sync "$window" 1000 700
sleep 0.5
import -window "$window" "$root/docs/window_grown.png"
echo "wrote $root/docs/window.png, window_playing.png and window_grown.png"
