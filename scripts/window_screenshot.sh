#!/usr/bin/env bash
# Takes the README's pictures of the window, each on a private X server with an example
# score opened through Ctrl+O:
# - scale.tez as docs/window.png; after F5 on its sixth line (a tenth slower, two semitones
#   up), with the line now sounding highlighted, as docs/window_playing.png; grown to
#   1000 x 700, the score box with it, as docs/window_grown.png;
# - chords.tez with the piano roll shown (F4) and lines 5 to 8 selected and looping (F5) as
#   docs/window_roll.png, and `tez roll` of it as docs/chords_roll.svg.
# Usage: scripts/window_screenshot.sh [build folder, default build/]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build}" && pwd)/bin

source "$root/tests/support/services.sh"
enter_scratch_folder
start_xvfb
mkdir -p "$root/docs"

# Starts a window with settings of its own, opens score $1 in it and sets $window.
open_score() {
    rm -rf "$work/config" tez_p.smf
    QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" "$bin/tezplayer" 2>/dev/null &
    pids+=($!)
    wait_for 100 xdotool search --onlyvisible --name tezplayer
    window=$(xdotool search --onlyvisible --name tezplayer | head -n1)
    xdotool windowfocus --sync "$window" key ctrl+o
    wait_for 100 xdotool search --onlyvisible --name '^開く$'
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^開く$' | head -n1)"
    sleep 0.3
    xdotool key ctrl+a type --delay 5 "$1"
    xdotool key Return
    wait_for 100 test -s tez_p.smf
    sleep 0.5
}

open_score "$root/examples/scale.tez"
import -window "$window" "$root/docs/window.png"
xdotool windowfocus --sync "$window" key F7 shift+F8 shift+F8 Tab ctrl+Home Down Down Down Down Down F5
sleep 0.8
import -window "$window" "$root/docs/window_playing.png"
xdotool windowsize --sync "$window" 1000 700
sleep 0.5
import -window "$window" "$root/docs/window_grown.png"
kill "${pids[-1]}" && wait "${pids[-1]}" 2>/dev/null || true

open_score "$root/examples/chords.tez"
xdotool windowfocus --sync "$window" key F4 Tab ctrl+Home Down Down Down Down \
    shift+Down shift+Down shift+Down shift+Down F5
sleep 1.3
import -window "$window" "$root/docs/window_roll.png"
"$bin/tez" roll "$root/examples/chords.tez" -o "$root/docs/chords_roll.svg" --width 900 >/dev/null
echo "wrote window.png, window_playing.png, window_grown.png, window_roll.png and chords_roll.svg in $root/docs"
