#!/usr/bin/env bash
# The piano roll on 1,000,000 note lines: the model's memory a note and the time a frame of
# the pane takes at several zooms (roll_bench), and `tez roll` of the whole piece and of
# eight bars to SVG: time, peak memory and size, beside `tez convert` of the same score.
# Usage: bench/roll/roll.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
tez=$build/bin/tez
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/../score/make_score.py" 1000000 >"$work/s.tez"
if [ -x "$build/bin/roll_bench" ]; then
    QT_QPA_PLATFORM=offscreen "$build/bin/roll_bench" "$work/s.tez"
else
    echo "roll_bench skipped: the window is not built (TEZ_BUILD_APP=OFF)"
fi

best_of() { python3 "$here/../measure.py" --runs 3 "$@" | awk '{ print $1, $3 }'; }
read -r convert _ < <(best_of "$tez" convert "$work/s.tez" -o "$work/s.smf")
printf 'tez convert, the peer:          %6.3f s\n' "$convert"
roll() {
    local name=$1
    shift
    read -r t mb < <(best_of "$tez" roll "$work/s.tez" -o "$work/r.svg" "$@")
    summary=$("$tez" roll "$work/s.tez" -o "$work/r.svg" "$@" 2>/dev/null)
    printf 'tez roll, %-12s %6.3f s (%.1fx convert), %4d MB peak; %s\n' "$name:" "$t" \
        "$(awk "BEGIN{print $t / $convert}")" "$mb" "${summary#*: }"
}
roll "whole piece"
roll "8 bars" --from 0:07.68 --to 0:23.04
