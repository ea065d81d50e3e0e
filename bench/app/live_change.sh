#!/usr/bin/env bash
# Live changes in the window: a followed save heard (60 and 1,000,000 lines), with the
# window's longest unanswered time and the CPU time it took; F5 on 1 MB and 10 MB of typing
# in the box, with the window's longest unanswered time until the first note; and 20 F8
# presses 40 ms apart on a dense score (a note every 60 ms) played to a JACK monitor on a
# dummy server: the longest hole between notes, the notes sent twice, and the window's
# longest unanswered time. Usage: live_change.sh <build-dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/support/services.sh"
with_private_shm "$@"
build=$(realpath "$1")
bench=$build/bin/live_change
tez=$build/bin/tez
if [ ! -x "$bench" ]; then
    echo "skipped: $bench is not built (the window is built with TEZ_BUILD_APP=ON)"
    exit 0
fi
for lines in ${LIVE_CHANGE_SAVES-60 1000000}; do
    "$bench" save "$lines" 2>/dev/null
done
for megabytes in ${LIVE_CHANGE_TYPED-1 10}; do
    "$bench" typed "$megabytes" 2>/dev/null
done
export JACK_DEFAULT_SERVER="tez-bench-$$"
enter_scratch_folder
for mode in tempo keys; do
    start_jack_monitor 60 "received-$mode.txt" -a
    "$bench" presses "$monitor_id" $mode 2>/dev/null
    sleep 0.3
    kill "${pids[-1]}" "${pids[-2]}" 2>/dev/null || true
    wait "${pids[-1]}" "${pids[-2]}" 2>/dev/null || true
    # Note-ons (frame, key) of channel 1: the longest gap between two, a key sent again right
    # after itself (the score never repeats a key on the next line); the chord on channel 2;
    # General MIDI System On messages.
    awk -v mode="$mode" '
        $2 == "91" && $4 != "00" { f = $1 + 0; if (n++) { gap = f - p; if (gap > max) max = gap
             if ($3 == key) twice++ } p = f; key = $3 }
        $2 == "92" && $4 != "00" { chordOn++ }
        $2 == "82" || ($2 == "92" && $4 == "00") { chordOff++ }
        $2 == "f0" && $3 == "7e" && $5 == "09" && $6 == "01" { systemOn++ }
        END { printf "%s: %d notes at the JACK monitor; longest hole %.1f ms (a note every 60 ms); sent twice: %d; held chord struck %d, ended %d times; System On sent %d times\n",
                     mode, n, max / 48, twice + 0, chordOn, chordOff, systemOn }' "received-$mode.txt"
done
