#!/usr/bin/env bash
# `tez import`: the round trip (import, convert, dump against the source's dump) over the
# shared corpus and generated files, the example scores back as their records, and the speed
# and memory of importing a 1,000,000-note file against midicsv decoding the same file.
# Usage: bench/import/import.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
tez=$build/bin/tez
round_trip=$here/round_trip.py
corpus=${TEZ_CORPUS:-$here/../../../shared/corpus}
[ -d "$corpus" ] || corpus=$here/../../tests/playback/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/generated"
python3 "$round_trip" "$tez" generate "$work/generated" 100
find "$corpus" -name '*.mid' -print0 | xargs -0 python3 "$round_trip" "$tez" midi |
    sed 's/^/corpus: /' || true
python3 "$round_trip" "$tez" midi "$work"/generated/*-steady.mid 2>/dev/null |
    sed 's/^/generated, one tempo: /' || true
python3 "$round_trip" "$tez" midi "$work"/generated/*-tempo.mid 2>/dev/null |
    sed 's/^/generated, tempo maps: /' || true
python3 "$round_trip" "$tez" exact 100 2>/dev/null || true
python3 "$round_trip" "$tez" scores "$here"/../../examples/*.tez || true

# Best wall seconds and the CPU seconds of that run, and the peak RSS in MB.
best_of() { python3 "$here/../measure.py" --runs 5 "$@"; }
python3 "$round_trip" "$tez" big 1000000 "$work/big.mid"
read -r t tcpu tmb < <(best_of "$tez" import "$work/big.mid" -o "$work/big.tez")
printf 'tez import  1000000 notes (%.1f MB): %6.3f s wall, %5.3f s CPU, %4d MB peak\n' \
    "$(awk "BEGIN{print $(stat -c %s "$work/big.mid")/1e6}")" "$t" "$tcpu" "$tmb"
# The same, written to standard output redirected to a file, as midicsv writes its own: the
# flush to disk that makes `-o` whole or nothing (fsync of the file and its folder) left out.
read -r s scpu smb < <(best_of sh -c "'$tez' import '$work/big.mid' >'$work/piped.tez'")
printf 'tez import  1000000 notes to stdout:   %6.3f s wall, %5.3f s CPU, %4d MB peak\n' \
    "$s" "$scpu" "$smb"
if command -v midicsv >/dev/null; then
    read -r m mcpu mmb < <(best_of midicsv "$work/big.mid" "$work/big.csv")
    printf 'midicsv     1000000 notes:          %6.3f s wall, %5.3f s CPU, %4d MB peak\n' \
        "$m" "$mcpu" "$mmb"
    awk "BEGIN{printf \"midicsv / tez import: %.1fx wall, %.1fx CPU; to stdout %.1fx wall\n\", \
        $m / $t, $mcpu / $tcpu, $m / $s}"
fi
