#!/usr/bin/env bash
# Conversion speed and memory: `tez convert` on 100,000 and 1,000,000 note lines, and
# csvmidi (midicsv package) writing the same notes from their CSV form, for comparison.
# Usage: bench/score/convert.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
tez=$build/bin/tez
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best wall seconds of seven runs and the peak RSS in MB.
best_of() { python3 "$here/../measure.py" --runs 7 "$@" | awk '{ print $1, $3 }'; }

declare -A wall
for n in 100000 1000000; do
    python3 "$here/make_score.py" "$n" >"$work/s$n.tez"
    read -r t mb < <(best_of "$tez" convert "$work/s$n.tez" -o "$work/s$n.smf")
    wall[$n]=$t
    size=$(stat -c %s "$work/s$n.tez")
    printf 'tez convert  %8d notes (%5.1f MB): %6.3f s wall, %4d MB peak\n' \
        "$n" "$(awk "BEGIN{print $size/1e6}")" "$t" "$mb"
done
awk "BEGIN{printf \"growth 100k -> 1M: %.1fx\n\", ${wall[1000000]} / ${wall[100000]}}"

if command -v midicsv >/dev/null && command -v csvmidi >/dev/null; then
    midicsv "$work/s1000000.smf" "$work/s.csv"
    read -r c _ < <(best_of csvmidi "$work/s.csv" "$work/c.mid")
    printf 'csvmidi      %8d notes:          %6.3f s wall\n' 1000000 "$c"
    awk "BEGIN{printf \"csvmidi / tez: %.1fx\n\", $c / ${wall[1000000]}}"
fi
