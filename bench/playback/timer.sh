#!/usr/bin/env bash
# The 1 ms timer through the real player, and what a playback costs between events:
# `tez play --trace` of a quiet file (one short note every 2 s) to a JACK MIDI port on a
# dummy JACK server, once on an idle machine, once with one core busy and once with every
# core busy. Prints the callback lateness (median, p99, max), the drift in callbacks, the
# CPU time of the tez process as a share of one core, and the time the hypervisor took from
# this machine (steal), which shows as lateness no priority can prevent.
# Usage: bench/playback/timer.sh [build-dir] [seconds]   (seconds also from TEZ_BENCH_SECONDS)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/support/services.sh"
with_private_shm "$@"
build=$(realpath "${1:-$here/../../build}")
seconds=${2:-${TEZ_BENCH_SECONDS:-60}}
tez=$build/bin/tez
work=$(mktemp -d)
export JACK_DEFAULT_SERVER="tez-bench-$$"
pids=()
load_pids=()
stop_load() {
    for pid in "${load_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${load_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    load_pids=()
}
cleanup() {
    stop_load
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

python3 "$here/make_smf.py" sparse "$seconds" quiet.mid
python3 "$here/make_smf.py" sparse 2 short.mid

timeout $((seconds * 4 + 120)) jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 \
    >jackd.log 2>&1 &
pids+=($!)
timeout 10 jack_wait -w -t 10 >/dev/null 2>&1
timeout $((seconds * 4 + 100)) jack_midi_dump >/dev/null 2>&1 &
pids+=($!)
id=
for _ in $(seq 50); do
    id=$("$tez" devices | awk '/midi-monitor:input/ {print $1; exit}')
    [ -n "$id" ] && break
    sleep 0.1
done
[ -n "$id" ] || { echo "the JACK monitor's port never appeared"; exit 1; }

# A busy loop per listed core, at normal priority.
load_cores() {
    for core in "$@"; do
        taskset -c "$core" sh -c 'while :; do :; done' &
        load_pids+=($!)
    done
}

cores=$(nproc)
printf 'timer: %d s of a quiet file per run, JACK dummy server, device %s, %d cores\n' \
    "$seconds" "$id" "$cores"
printf '%-22s %8s %8s %9s %6s %4s %9s %6s %6s\n' \
    load p50/us p99/us max/us drift rt cpu/s cpu% steal%
# CPU seconds (user+sys) and wall seconds of one `tez play` of the given file.
play_timed() {
    rm -f trace.txt
    python3 "$here/../measure.py" "$tez" play "$1" --device "$id" --trace trace.txt |
        awk '{ print $2, $1 }' || echo "tez play failed" >&2
}
# Jiffies stolen by the hypervisor and all jiffies, summed over the cores.
steal_and_total() { awk '/^cpu / { t = 0; for (i = 2; i <= NF; i++) t += $i; print $9, t }' /proc/stat; }
run() {
    local label=$1 steal0 total0 steal1 total1 cpu wall
    read -r steal0 total0 < <(steal_and_total)
    read -r cpu wall < <(play_timed quiet.mid)
    [ -s trace.txt ] || { echo "no trace: tez play failed"; exit 1; }
    read -r steal1 total1 < <(steal_and_total)
    # "# callbacks N in T ms, drift D" / "# lateness median A us, p99 B us, max C us"
    local drift median p99 max rt
    drift=$(awk '/^# callbacks/ {print $NF}' trace.txt)
    read -r median p99 max < <(awk '/^# lateness/ {print $4, $7, $10}' trace.txt)
    rt=$(awk '/^# real-time priority/ {print $NF}' trace.txt)
    awk -v l="$label" -v a="$median" -v b="$p99" -v c="$max" -v d="$drift" -v r="$rt" \
        -v u="$cpu" -v w="$wall" -v st=$((steal1 - steal0)) -v tt=$((total1 - total0)) \
        'BEGIN { printf "%-22s %8d %8d %9.1f %6d %4s %9.2f %5.2f%% %5.2f%%\n",
                 l, a, b, c, d, r, u, 100 * u / w, (tt > 0 ? 100 * st / tt : 0) }'
}

run idle
load_cores $((cores - 1))
run "core $((cores - 1)) busy"
stop_load
load_cores $(seq 0 $((cores - 1)))
run "all $cores cores busy"
stop_load
echo "(cpu: user+sys of the whole tez process over its wall time, start-up included)"
# The cost of playing on between events, without the start-up: a long run less a short one.
read -r cpu_long wall_long < <(play_timed quiet.mid)
read -r cpu_short wall_short < <(play_timed short.mid)
awk -v a="$cpu_long" -v b="$cpu_short" -v w="$wall_long" -v x="$wall_short" \
    'BEGIN { printf "between events (idle, %.1f s less %.1f s run): %.2f%% of one core\n",
             w, x, 100 * (a - b) / (w - x) }'
