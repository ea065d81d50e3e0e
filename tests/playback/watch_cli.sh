#!/usr/bin/env bash
# `tez play SCORE --watch` to a JACK MIDI port: each way an editor saves (in place, written then
# renamed, a backup renamed away and the file written anew, deleted and made again, a link
# pointed elsewhere with `ln -sf`, a change of permissions alone) is heard once, with its
# warnings printed; so is every save of a series 100 ms apart, and a save written in two parts
# by a writer that keeps the file open counts once, whole. A save that cannot be read leaves
# the old version playing; the folder removed and made again is followed; SIGHUP stops it
# cleanly; no note is left sounding or sounded twice.
set -euo pipefail
tez=$(realpath "$1")
export JACK_DEFAULT_SERVER="tez-watch-$$"
source "$(dirname "$0")/../support/services.sh"
with_private_shm "$@"
enter_scratch_folder

start_jack_monitor 120 monitor.txt

# Eight notes of 60 ticks (240 ms) each, looped; the first line waits $2 ticks.
score() { printf 'I%s K%s V100 L50\n' "${2:-60}" "$1"; for _ in 2 3 4 5 6 7 8; do printf 'I60 K%s V100 L50\n' "$1"; done; }
mkdir d && score 60 >d/s.tez
ln d/s.tez outside.tez  # the same file, written where no one watches
"$tez" play d/s.tez --device "$monitor_id" --loop --watch --trace trace.txt 2>err.txt &
player=$!

answers=0  # the saves answered so far: a new version, or the reason the old one plays on
answered() { [ "$(grep -cE 'new version playing|playing on with the previous version' err.txt)" -ge "$answers" ]; }
heard() { grep -qE "^ *[0-9]+: 9. $(printf %02x "$1") [1-9a-f]" monitor.txt; }
# save KEY COMMAND...: saves, then waits for the answer and for KEY (if any) on the monitor.
save() {
    local key=$1
    shift
    "$@"
    answers=$((answers + 1))
    wait_for 50 answered || missed+=("no answer to $*")
    [ -z "$key" ] || wait_for 50 heard "$key" || missed+=("key $key not heard after $*")
}
missed=()
wait_for 100 heard 60 || { echo "the first version was not heard: $(cat err.txt)"; exit 1; }
save 62 eval 'score 62 600 >d/s.tez'                                  # in place; lines 540 ticks later
save 63 eval 'score 63 >outside.tez && chmod 644 d/s.tez'             # only its permissions changed
save 64 eval '{ score 64; printf "I0 K200 V1\n"; } >d/s.tez.new && mv d/s.tez.new d/s.tez'  # renamed
save "" eval 'printf "no notes here\n" >d/s.tez'                      # cannot be played
save 65 eval 'for _ in 1 2 3; do score 65 >d/s.tez; done'            # a burst: one new version
save 66 eval 'mv d/s.tez d/s.tez~ && score 66 >d/s.tez && rm d/s.tez~'  # backup, then written anew
save 67 eval 'rm d/s.tez && score 67 >d/s.tez'                       # deleted and made again
save 68 eval '{ score 68 | head -n 4; sleep 0.15; score 68 | tail -n 4; } >d/s.tez'  # two parts, open
save 69 eval 'score 69 >d/other.tez && ln -sf other.tez d/s.tez'     # the link pointed elsewhere
save 70 eval 'score 70 >d/s.tez'                                     # saved in place through the link
rm -r d && wait_for 50 grep -q 'went away' err.txt
save 71 eval 'mkdir d && score 71 >d/s.tez'                          # the folder back
for key in 72 73 74; do score $key >d/s.tez; sleep 0.1; done  # a save every 100 ms
answers=$((answers + 3))
wait_for 50 answered && wait_for 50 heard 74 || missed+=("the saves 100 ms apart")
save "" eval 'rm d/s.tez && mkdir d/s.tez'                           # cannot be opened
kill -HUP "$player" || true
wait "$player" && code=0 || code=$?

failed=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=1; fi
}
# Keys of the note-ons in the order they were first sent; 72 and 73 may be overtaken.
keys=$(awk '!/^#/ && $3 ~ /^9/ && $5 != "00" { print $4 }' trace.txt | uniq | paste -sd' ')
order='^3C( 3C)*'
for key in 3E 3F 40 41 42 43 44 45 46 47 48? 49? 4A; do
    order+=$([ "${key%\?}" = "$key" ] && echo " $key( $key| 7F)*" || echo "( ${key%\?})*")
done
check "every save answered and heard (${missed[*]:-})" test ${#missed[@]} -eq 0
check "every version heard in turn ($keys)" grep -qE "$order\$" <<<"$keys"
check "warning of the renamed version" grep -qx 'd/s.tez:9:5: warning: key 200 is out of range 0..127; written as 127' err.txt
check "unreadable save reported" grep -qx 'd/s.tez: no notes (no tezdata.); playing on with the previous version' err.txt
check "the reason a save cannot be opened" grep -qx 'd/s.tez: cannot open it: Is a directory; playing on with the previous version' err.txt
check "the folder's going away said" grep -q '^d/s.tez: warning: the folder d went away' err.txt
check "SIGHUP ends it as a signal (exit $code)" test "$code" -eq 129
# The first save came while a line sounded (the old version loops before tick 700); the new
# version goes on at that line's new onset (720 or later), not at the old tick.
first=$(awk '/new version playing/ { print $NF; exit }' err.txt)
check "goes on where the edit moved the line (tick $first)" test "$first" -ge 720
check "each save heard once" test "$(grep -c 'new version playing' err.txt)" -eq $((answers - 2))
# Per key: note-ons and note-offs alternate, starting with a note-on, and balance at the end.
check "no note doubled or left sounding" awk '
    !/^#/ && $3 ~ /^[89]/ { key = $4; on = ($3 ~ /^9/ && $5 != "00")
                   if (on == sounding[key]) bad = 1; sounding[key] = on }
    END { for (k in sounding) if (sounding[k]) bad = 1; exit bad }' trace.txt
exit $failed
