#!/usr/bin/env bash
# Every example converts to a file that midicsv, an independent reader, decodes whole,
# with one note-on per note line of the score and a note-off for each.
set -euo pipefail
tez=$1 examples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for score in "$examples"/*.tez; do
    name=$(basename "$score")
    "$tez" convert "$score" -o "$work/$name.smf" >/dev/null
    csv=$(midicsv "$work/$name.smf")
    # Lines naming a key 0..127 (K followed by digits, not 128) are the notes.
    expected=$(grep -ioE 'k[0-9]+' "$score" | tr -d 'kK' | awk '$1 <= 127' | wc -l)
    ons=$(grep -c ', Note_on_c,' <<<"$csv" || true)
    offs=$(grep -c ', Note_off_c,' <<<"$csv" || true)
    if [ "$ons" -ne "$expected" ] || [ "$offs" -ne "$expected" ] ||
        ! grep -q ', End_track' <<<"$csv" || ! grep -q ', Tempo, 480000' <<<"$csv"; then
        echo "FAIL $name: expected $expected notes, midicsv saw $ons note-ons and $offs note-offs"
        failed=1
    else
        echo "ok   $name: $ons notes"
    fi
done
exit $failed
