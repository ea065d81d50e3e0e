#!/usr/bin/env bash
# Takes the README's pictures of the piano roll: tezplayer on a private X server with
# examples/chords.tez opened, the pane shown (F4) and lines 5 to 8 selected and looping (F5),
# saved as docs/window_roll.png; and `tez roll` of the same score as docs/chords_roll.svg.
# Usage: scripts/roll_screenshot.sh [build folder, default build/]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build}" && pwd)/bin
score=$root/examples/chords.tez

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
xdotool windowfocus --sync "$window" key F4 Tab ctrl+Home Down Down Down Down \
    shift+Down shift+Down shift+Down shift+Down F5
sleep 1.3
mkdir -p "$root/docs"
import -window "$window" "$root/docs/window_roll.png"
"$bin/tez" roll "$score" -o "$root/docs/chords_roll.svg" --width 900 >/dev/null
echo "wrote $root/docs/window_roll.png and $root/docs/chords_roll.svg"
