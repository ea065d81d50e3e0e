#!/usr/bin/env bash
# `tez play SCORE --watch` to a JACK MIDI port: saves written in place and written then
# renamed are heard, with their warnings printed; a save that cannot be read leaves the old
# version playing; no note is left sounding or sounded twice.
set -euo pipefail
tez=$(realpath "$1")
export JACK_DEFAULT_SERVER="tez-watch-$$"
source "$(dirname "$0")/../support/services.sh"
with_private_shm "$@"
enter_scratch_folder

start_jack_monitor 60 /dev/null

# Eight notes of 60 ticks (240 ms) each, looped; the first line waits $2 ticks.
score() { printf 'I%s K%s V100 L50\n' "${2:-60}" "$1"; for _ in 2 3 4 5 6 7 8; do printf 'I60 K%s V100 L50\n' "$1"; done; }
score 60 >s.tez
"$tez" play s.tez --device "$monitor_id" --loop --watch --trace trace.txt 2>err.txt &
player=$!
sleep 1.5
score 62 600 >s.tez             # in place; every line 540 ticks later
sleep 0.7
{ score 64; printf 'I0 K200 V1\n'; } >s.tez.new && mv s.tez.new s.tez   # then renamed
sleep 0.7
printf 'no notes here\n' >s.tez                     # cannot be played
sleep 0.7
for _ in 1 2 3; do score 65 >s.tez; done            # a burst: one new version
sleep 1.2
kill -INT "$player"
wait "$player" || true

failed=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=1; fi
}
# Keys of the note-ons in the order they were first sent.
keys=$(awk '$3 ~ /^9/ && $5 != "00" { print $4 }' trace.txt | uniq | paste -sd' ')
check "every version heard in turn ($keys)" grep -qE '^3C( 3C)* 3E( 3E)* 40( 40| 7F)* 41( 41)*$' <<<"$keys"
check "warning of the renamed version" grep -qx 's.tez:9:5: warning: key 200 is out of range 0..127; written as 127' err.txt
check "unreadable save reported" grep -qx 's.tez: no tezdata.; playing on with the previous version' err.txt
# The first save came while a line sounded (the old version loops before tick 700); the new
# version goes on at that line's new onset (720 or later), not at the old tick.
first=$(awk '/new version playing/ { print $NF; exit }' err.txt)
check "goes on where the edit moved the line (tick $first)" test "$first" -ge 720
check "the burst counts once" test "$(grep -c 'new version playing' err.txt)" -eq 3
# Per key: note-ons and note-offs alternate, starting with a note-on, and balance at the end.
check "no note doubled or left sounding" awk '
    $3 ~ /^[89]/ { key = $4; on = ($3 ~ /^9/ && $5 != "00")
                   if (on == sounding[key]) bad = 1; sounding[key] = on }
    END { for (k in sounding) if (sounding[k]) bad = 1; exit bad }' trace.txt
exit $failed
