#!/usr/bin/env bash
# Timing at a JACK port: a click every 100 ms (key 76 on channel 9) played by `tez play` to
# jack_midi_dump on a dummy JACK server (48 kHz, 256-frame periods); prints how far each
# interval between the clicks' frames (`jack_midi_dump -a`) is from its due 4800 frames.
# Usage: bench/playback/jack_timing.sh [build-dir] [clicks]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/support/services.sh"
with_private_shm "$@"
build=$(realpath "${1:-$here/../../build}")
clicks=${2:-100}
tez=$build/bin/tez
export JACK_DEFAULT_SERVER="tez-bench-$$"
enter_scratch_folder

start_jack_monitor 120 received.txt -a
{ echo 'I0 K76 V110 L10 W9'; for _ in $(seq 2 "$clicks"); do echo 'I25 K76 V110 L10 W9'; done; } \
    >clicks.tez
"$tez" play clicks.tez --device "$monitor_id"
sleep 0.3
awk '$2 == "99" && $3 == "4c" { f = $1 + 0; if (n++) { d = f - p - 4800; print (d < 0 ? -d : d) } p = f }' \
    received.txt | sort -n >deviations.txt
awk -v want="$clicks" '{ d[NR] = $1; if ($1 > 5) over++ }
    END { k = int(0.95 * NR); k = k > 0 ? k : 1
          printf "jack: %d of %d intervals, |interval - 4800 frames|: p95 %d, max %d; over 5 frames: %d\n",
                 NR, want - 1, d[k], d[NR], over + 0 }' deviations.txt
