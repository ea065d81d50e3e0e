#!/usr/bin/env bash
# The player's timer next to a bare 1 ms loop on the same machine in the same minute:
# bench/playback/bare_timer, then `tez play --trace` of a quiet file (one short note every
# 2 s) to a JACK MIDI port on a dummy JACK server, then the bare loop again. Prints the
# callback lateness (p99, max) of each and tez's over the mean of the two bare runs.
# Usage: bench/playback/timer_baseline.sh [build-dir] [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/support/services.sh"
with_private_shm "$@"
build=$(realpath "${1:-$here/../../build}")
seconds=${2:-${TEZ_BENCH_SECONDS:-20}}
tez=$build/bin/tez
export JACK_DEFAULT_SERVER="tez-bench-$$"
enter_scratch_folder

python3 "$here/make_smf.py" sparse "$seconds" quiet.mid
start_jack_monitor $((seconds * 4 + 60)) /dev/null

before=$("$build/bin/bare_timer" "$seconds")
"$tez" play quiet.mid --device "$monitor_id" --trace trace.txt
after=$("$build/bin/bare_timer" "$seconds")
# "# lateness median A us, p99 B us, max C us"
read -r p99 max < <(awk '/^# lateness/ {print $7, $10}' trace.txt)
printf 'timer: %d s each, bare 1 ms loop before and after tez play (JACK dummy port)\n' "$seconds"
printf '  bare before  %s\n  tez play     p99 %s us max %s us rt %s\n  bare after   %s\n' \
    "$before" "$p99" "$max" "$(awk '/^# real-time priority/ {print $NF}' trace.txt)" "$after"
awk -v a="$before" -v b="$after" -v p="$p99" -v m="$max" 'BEGIN {
    split(a, x, " "); split(b, y, " ");
    bp = (x[3] + y[3]) / 2; bm = (x[6] + y[6]) / 2;
    printf "  tez / bare: p99 %.2fx, max %.2fx\n", (bp > 0 ? p / bp : 0), (bm > 0 ? m / bm : 0) }'
