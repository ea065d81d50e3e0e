#!/usr/bin/env bash
# `tez play SCORE --watch` to a JACK MIDI port: saves written in place and written then
# renamed are heard, with their warnings printed; a save that cannot be read leaves the old
# version playing; a link pointed elsewhere and then saved through, the folder removed and
# made again, a save written in two parts are each heard once; SIGHUP stops it cleanly; no
# note is left sounding or sounded twice.
set -euo pipefail
tez=$(realpath "$1")
export JACK_DEFAULT_SERVER="tez-watch-$$"
source "$(dirname "$0")/../support/services.sh"
with_private_shm "$@"
enter_scratch_folder

start_jack_monitor 60 /dev/null

# Eight notes of 60 ticks (240 ms) each, looped; the first line waits $2 ticks.
score() { printf 'I%s K%s V100 L50\n' "${2:-60}" "$1"; for _ in 2 3 4 5 6 7 8; do printf 'I60 K%s V100 L50\n' "$1"; done; }
mkdir d && score 60 >d/s.tez
"$tez" play d/s.tez --device "$monitor_id" --loop --watch --trace trace.txt 2>err.txt &
player=$!
sleep 1.5
score 62 600 >d/s.tez           # in place; every line 540 ticks later
sleep 0.7
{ score 64; printf 'I0 K200 V1\n'; } >d/s.tez.new && mv d/s.tez.new d/s.tez   # then renamed
sleep 0.7
printf 'no notes here\n' >d/s.tez                   # cannot be played
sleep 0.7
for _ in 1 2 3; do score 65 >d/s.tez; done          # a burst: one new version
sleep 0.7
score 67 >d/other.tez && ln -sf other.tez d/s.tez   # the link pointed elsewhere
sleep 0.7
score 69 >d/s.tez                                   # saved in place through the link
sleep 0.7
rm -r d && sleep 0.3 && mkdir d && score 71 >d/s.tez  # the folder gone and back
sleep 0.7
score 72 | head -n 4 >d/s.tez && sleep 0.15 && score 72 | tail -n 4 >>d/s.tez  # in two parts
sleep 0.7
rm d/s.tez && mkdir d/s.tez                         # cannot be opened
sleep 0.7
kill -HUP "$player"
wait "$player" && code=0 || code=$?

failed=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=1; fi
}
# Keys of the note-ons in the order they were first sent.
keys=$(awk '!/^#/ && $3 ~ /^9/ && $5 != "00" { print $4 }' trace.txt | uniq | paste -sd' ')
check "every version heard in turn ($keys)" grep -qE '^3C( 3C)* 3E( 3E)* 40( 40| 7F)* 41( 41)* 43( 43)* 45( 45)* 47( 47)* 48( 48)*$' <<<"$keys"
check "warning of the renamed version" grep -qx 'd/s.tez:9:5: warning: key 200 is out of range 0..127; written as 127' err.txt
check "unreadable save reported" grep -qx 'd/s.tez: no notes (no tezdata.); playing on with the previous version' err.txt
check "the reason a save cannot be opened" grep -qx 'd/s.tez: cannot open it: Is a directory; playing on with the previous version' err.txt
check "the folder's going away said" grep -q '^d/s.tez: warning: the folder d went away' err.txt
check "SIGHUP ends it as a signal (exit $code)" test "$code" -eq 129
# The first save came while a line sounded (the old version loops before tick 700); the new
# version goes on at that line's new onset (720 or later), not at the old tick.
first=$(awk '/new version playing/ { print $NF; exit }' err.txt)
check "goes on where the edit moved the line (tick $first)" test "$first" -ge 720
check "the burst and the save in two parts count once" test "$(grep -c 'new version playing' err.txt)" -eq 7
# Per key: note-ons and note-offs alternate, starting with a note-on, and balance at the end.
check "no note doubled or left sounding" awk '
    !/^#/ && $3 ~ /^[89]/ { key = $4; on = ($3 ~ /^9/ && $5 != "00")
                   if (on == sounding[key]) bad = 1; sounding[key] = on }
    END { for (k in sounding) if (sounding[k]) bad = 1; exit bad }' trace.txt
exit $failed
