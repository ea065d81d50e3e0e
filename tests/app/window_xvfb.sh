#!/usr/bin/env bash
# Drives a real tezplayer window on a private X server the way a user would: Ctrl+O,
# the score's path typed into the open dialog, Enter. Then "tez_p.smf" must hold the
# score's MIDI file and the title must be right. Then the cursor goes to the score's third
# line with the arrow keys and F5 plays from it: the first note the window's recording
# device receives must be that line's. A screenshot shows the line highlighted, and the
# highlight moves down with two lines typed above it, and Exit asks about them first. Then a
# score named on the command line: opened, typed into, played, saved.
# Usage: window_xvfb.sh <recording_tezplayer> <tez> <folder for the screenshot>
set -euo pipefail
app=$1 tez=$2 out=$3

source "$(dirname "$0")/../support/services.sh"
enter_scratch_folder
fail() { echo "FAIL: $*" >&2; exit 1; }
start_xvfb || fail "Xvfb did not start"

printf 'I0 K60 V100 L120\nI120 K64 V90 L60\nI60 K67 V80 L12000\n' >"$work/song.tez"  # line 3 sounds 48 s
mkdir "$work/run" "$work/expected"
(cd "$work/expected" && "$tez" convert "$work/song.tez" >/dev/null)

cd "$work/run"
QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" "$app" "$work/sent.txt" 2>"$work/app.log" &
app_pid=$!
pids+=("$app_pid")
wait_for 150 xdotool search --onlyvisible --name 'tezplayer' || fail "no window"
window=$(xdotool search --onlyvisible --name 'tezplayer' | head -n1)
title=$(xdotool getwindowname "$window")
[ "$title" = "無題 - tezplayer" ] || fail "window title is '$title'"

xdotool windowfocus --sync "$window"
xdotool key ctrl+o
wait_for 100 xdotool search --onlyvisible --name '^開く$' || fail "no open dialog"
dialog=$(xdotool search --onlyvisible --name '^開く$' | head -n1)
xdotool windowfocus --sync "$dialog"
sleep 0.3
xdotool key ctrl+a
xdotool type --delay 5 "$work/song.tez"
xdotool key Return

wait_for 100 test -s tez_p.smf || fail "tez_p.smf was not written"
cmp tez_p.smf "$work/expected/tez_p.smf" || fail "tez_p.smf differs from the score's MIDI file"
[ "$(head -c 4 tez_p.smf)" = "MThd" ] || fail "tez_p.smf is no MIDI file"

# Tab order: Play/Stop, then the score box.
xdotool windowfocus --sync "$window" key Tab ctrl+Home Down Down F5
# The device reports what it received when the window closes: leave the worker time to
# start on a busy machine.
sleep 1.5
import -window "$window" "$out/window_under_xvfb.png"
[ -s "$out/window_under_xvfb.png" ] || fail "no screenshot"

# Two lines typed above the sounding line move its highlight down with it.
highlight_row() {
    import -window "$window" "$work/shot.png"
    convert "$work/shot.png" txt:- | awk -F'[,:]' '/#FFE88C/ && !row { row = $2 } END { print row }'
}
before=$(highlight_row)
xdotool key ctrl+Home Return Return
# The highlight is drawn again once the window has taken the keys: on a busy machine later.
for _ in $(seq 30); do
    after=$(highlight_row)
    [ -n "$before" ] && [ -n "$after" ] && [ "$after" -gt "$before" ] && break
    sleep 0.3
done
[ -n "$before" ] && [ -n "$after" ] && [ "$after" -gt "$before" ] ||
    fail "the highlight stood at row '$before' and then at '$after' after typing above it"

# File > Exit through the menu's mnemonics. The two lines typed are not in the file: the
# window asks first, and Cancel (Esc) keeps it open; then Discard (D) lets it close.
xdotool windowfocus --sync "$window"
xdotool key alt+f
sleep 0.3
xdotool key x
wait_for 100 xdotool search --onlyvisible --name '^tezplayer$' || fail "no question before Exit"
question=$(xdotool search --onlyvisible --name '^tezplayer$' | head -n1)
xdotool windowfocus --sync "$question" key Escape
sleep 0.5
kill -0 "$app_pid" || fail "Cancel did not keep the window"
xdotool windowfocus --sync "$window"
xdotool key alt+f
sleep 0.3
xdotool key x
wait_for 100 xdotool search --onlyvisible --name '^tezplayer$' || fail "no question before Exit"
question=$(xdotool search --onlyvisible --name '^tezplayer$' | head -n1)
xdotool windowfocus --sync "$question" key d
wait_for 100 bash -c "! kill -0 $app_pid" || fail "Exit did not end the program"
first_note=$(grep -m1 -E '^send 9[0-9A-F] [0-9A-F]{2} [1-9A-F]' "$work/sent.txt" || true)
[ "$first_note" = "send 91 43 50" ] || fail "first note sent was '$first_note', not line 3's key 67"

# A score named on the command line opens as Open opens it. What is typed into it survives
# F5, and the Play/Stop refresh that replaces it is undone by Ctrl+Z: saving the box to the
# score (Ctrl+Shift+S) shows what the box holds.
printf 'I0 K60 V100 L120\nI120 K64 V90 L2400\n' >"$work/named.tez"
mkdir "$work/named" "$work/named-expected"
(cd "$work/named-expected" && "$tez" convert "$work/named.tez" >/dev/null)
cd "$work/named"
QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" "$app" "$work/sent2.txt" "$work/named.tez" \
    2>"$work/app2.log" &
app_pid=$!
pids+=("$app_pid")
wait_for 150 xdotool search --onlyvisible --name 'named.tez - tezplayer' || fail "no window for named.tez"
window=$(xdotool search --onlyvisible --name 'named.tez - tezplayer' | head -n1)
wait_for 100 test -s tez_p.smf || fail "the named score was not converted"
cmp tez_p.smf "$work/named-expected/tez_p.smf" || fail "tez_p.smf differs from named.tez's MIDI file"
first_line() { head -n1 "$work/named.tez"; }

xdotool windowfocus --sync "$window" key Tab ctrl+Home
xdotool type --delay 5 "I0 K72 V90 L60"
xdotool key Return Down F5
sleep 0.5
xdotool key ctrl+shift+s
wait_for 30 bash -c "[ \"\$(head -n1 '$work/named.tez')\" = 'I0 K72 V90 L60' ]" ||
    fail "F5 lost the typing: the first line is '$(first_line)'"

xdotool key ctrl+Home
xdotool type --delay 5 "I0 K74 V90 L60"
xdotool key Return shift+Tab space
sleep 0.3
xdotool key Tab ctrl+z ctrl+shift+s
wait_for 30 bash -c "[ \"\$(head -n1 '$work/named.tez')\" = 'I0 K74 V90 L60' ]" ||
    fail "Ctrl+Z did not undo the Play/Stop refresh: the first line is '$(first_line)'"
kill "$app_pid"
echo "window test passed; screenshot in $out/window_under_xvfb.png"
