#!/usr/bin/env bash
# Offline rendering speed: a dense 60 s file (16 channels, about 380 notes a second) rendered
# to WAV by `tez render` and by fluidsynth's own fast renderer with the same SoundFont, both
# at 48 kHz with the synthesizer's default settings. Prints the best of three wall times and
# that run's CPU time: tez renders on every processor, fluidsynth on one unless told.
# Usage: bench/playback/render.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../../build}")
tez=$build/bin/tez
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

soundfont=
for candidate in /usr/share/sounds/sf2/FluidR3_GM.sf2 /usr/share/sounds/sf2/TimGM6mb.sf2; do
    [ -f "$candidate" ] && { soundfont=$candidate; break; }
done
[ -n "$soundfont" ] || { echo "render: no General MIDI SoundFont installed"; exit 1; }

python3 "$here/make_smf.py" dense 60 "$work/dense.mid"
notes=$(midicsv "$work/dense.mid" 2>/dev/null | grep -c Note_on_c || true)

# Best wall time of three runs and its CPU time, in seconds.
best_of_three() { python3 "$here/../measure.py" --runs 3 "$@" | awk '{ print $1, $2 }'; }

read -r t_tez cpu_tez < <(best_of_three "$tez" render "$work/dense.mid" -o "$work/tez.wav" \
    --soundfont "$soundfont")
read -r t_fluid cpu_fluid < <(best_of_three fluidsynth -ni -q -F "$work/fluid.wav" -r 48000 \
    "$soundfont" "$work/dense.mid")
len_tez=$(soxi -D "$work/tez.wav")
len_fluid=$(soxi -D "$work/fluid.wav")

printf 'render: %s notes in 60 s, 16 channels, %s\n' "$notes" "$(basename "$soundfont")"
printf '  tez render   %6.2f s wall %6.2f s CPU (%.1f s of audio, %d processors)\n' \
    "$t_tez" "$cpu_tez" "$len_tez" "$(nproc)"
printf '  fluidsynth   %6.2f s wall %6.2f s CPU (%.1f s of audio, 1 processor)\n' \
    "$t_fluid" "$cpu_fluid" "$len_fluid"
awk -v a="$t_tez" -v b="$t_fluid" -v c="$cpu_tez" -v d="$cpu_fluid" \
    'BEGIN { printf "  tez / fluidsynth: wall %.2fx, CPU %.2fx\n", a / b, c / d }'
