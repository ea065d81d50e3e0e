#!/usr/bin/env bash
# Plays from the cursor in a real window on a private X server, as a user would: the score
# opened with Ctrl+O, the cursor moved to its fourth line with the arrow keys, F5. The first
# note the recording device receives must be that line's; a screenshot shows its highlight.
# Usage: play_from_cursor_xvfb.sh <recording_tezplayer> <folder for the screenshot>
set -euo pipefail
app=$1 out=$2

source "$(dirname "$0")/../support/services.sh"
enter_scratch_folder
fail() { echo "FAIL: $*" >&2; exit 1; }
start_xvfb || fail "Xvfb did not start"

# Line 3 (key 67, 0x43) starts two beats in and sounds long enough to be seen highlighted.
printf 'I0 K60 V100 L120\n\nI240 K64 V90 L120\nI120 K67 V80 L2400\nI2400 K72 V80 L120\n' \
    >"$work/song.tez"
QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" "$app" "$work/sent.txt" 2>"$work/app.log" &
app_pid=$!
pids+=("$app_pid")
wait_for 150 xdotool search --onlyvisible --name 'tezplayer' || fail "no window"
window=$(xdotool search --onlyvisible --name 'tezplayer' | head -n1)

xdotool windowfocus --sync "$window" key ctrl+o
wait_for 100 xdotool search --onlyvisible --name '^開く$' || fail "no open dialog"
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^開く$' | head -n1)"
sleep 0.3
xdotool key ctrl+a type --delay 5 "$work/song.tez"
xdotool key Return
wait_for 100 test -s tez_p.smf || fail "the score was not converted"

# Tab order: Play/Stop, then the score box. The cursor goes to the fourth box line, score
# line 4 (the empty second line counts).
xdotool windowfocus --sync "$window" key Tab ctrl+Home Down Down Down F5
sleep 1
import -window "$window" "$out/play_from_cursor.png"
xdotool key alt+f
sleep 0.3
xdotool key x
wait_for 50 bash -c "! kill -0 $app_pid" || fail "Exit did not end the program"

first_note=$(grep -m1 -E '^send 9[0-9A-F] [0-9A-F]{2} [1-9A-F]' "$work/sent.txt" || true)
[ "$first_note" = "send 91 43 50" ] || fail "first note sent was '$first_note', not line 4's key 67"
grep -q '^send 91 3C' "$work/sent.txt" && fail "line 1 was played"
echo "play from the cursor passed; screenshot in $out/play_from_cursor.png"
