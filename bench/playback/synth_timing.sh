#!/usr/bin/env bash
# Timing where it is heard: a click every 100 ms (GM percussion, key 76 on channel 9) played
# by `tez play` on the built-in synthesizer into a PulseAudio null sink, and the same MIDI
# file by fluidsynth's own player with the same SoundFont and period settings, both recorded
# from the sink's monitor in the same run, once with the server's default period and once
# with PULSE_LATENCY_MSEC=43 (callbacks of 1,024 to 2,048 frames). Prints, for each, the 95th
# percentile and the largest |inter-onset deviation| (the first interval counted), the onsets
# missing, and the latency to the first click's onset (tez: from its due time counted from
# Play; fluidsynth: from its start, SoundFont loading included); then whether tez's p95 is
# within fluidsynth's + 0.1 ms.
# Usage: bench/playback/synth_timing.sh [build-dir] [clicks]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/support/services.sh"
build=$(realpath "${1:-$here/../../build}")
clicks=${2:-100}
tez=$build/bin/tez
enter_scratch_folder
start_pulse_null_sink 300

soundfont=$(TEZ_SOUNDFONT= python3 -c 'import os
for p in ["/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
          "/usr/share/sounds/sf2/TimGM6mb.sf2"]:
    if os.path.exists(p): print(p); break')
# 25 ticks of 4 ms: a click every 100 ms.
{ echo 'I0 K76 V110 L10 W9'; for _ in $(seq 2 "$clicks"); do echo 'I25 K76 V110 L10 W9'; done; } \
    >clicks.tez
"$tez" convert clicks.tez -o clicks.mid >/dev/null

measure() { python3 "$here/click_timing.py" nullsink.monitor 100 "$clicks" -- "$@"; }
printf 'synth: %d clicks 100 ms apart, %s, PulseAudio null sink\n' "$clicks" "$(basename "$soundfont")"
for latency in default 43; do
    if [ "$latency" = default ]; then unset PULSE_LATENCY_MSEC; else export PULSE_LATENCY_MSEC=$latency; fi
    tez_line=$(TRACE=$work/trace.txt TEZ_AUDIO_DRIVER=pulseaudio TEZ_SOUNDFONT=$soundfont \
        measure "$tez" play clicks.mid --trace "$work/trace.txt")
    fluid_line=$(measure fluidsynth -ni -q -a pulseaudio -o audio.period-size=512 \
        -o audio.periods=4 -r 48000 "$soundfont" clicks.mid)
    printf ' PULSE_LATENCY_MSEC %s\n  tez play     %s\n  fluidsynth   %s\n' "$latency" "$tez_line" \
        "$fluid_line"
    awk -v a="$tez_line" -v b="$fluid_line" 'BEGIN { split(a, x, " "); split(b, y, " ");
        printf "  p95 |deviation| tez %.3f ms, fluidsynth %.3f ms: %s\n", x[6], y[6],
            x[6] <= y[6] + 0.1 ? "within fluidsynth + 0.1 ms" : "WORSE than fluidsynth + 0.1 ms" }'
done
