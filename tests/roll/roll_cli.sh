#!/usr/bin/env bash
# `tez roll`: each note an element with its line and channel, from a score or a MIDI file,
# a part of the music, column marks when zoomed out, and nothing written on a failure.
set -uo pipefail
tez=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
check() {  # description, then a command that must succeed
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=1; fi
}
notes() { grep -o 'class="n"[^>]*data-channel="[0-9]*"' "$1" | grep -oE 'data-(line|channel)="[0-9]+"' | tr -d '"' | xargs; }

printf 'I0 K60 V100 L400\nI120 K64 V90 L120 W2\nI0 K128 V127\nI120 K67 V80 L120\nI240 K72 V100 L120 W0\n' >s.tez
out=$("$tez" roll s.tez -o s.svg)
check "summary line" grep -qE '^s.svg: 4 notes, 0 column marks, [0-9]+ bytes$' <<<"$out"
check "notes carry line and channel" test "$(notes s.svg)" = \
    "data-line=1 data-channel=1 data-line=2 data-channel=2 data-line=4 data-channel=1 data-line=5 data-channel=0"
check "well-formed XML" python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' s.svg
"$tez" roll s.tez -o - 2>/dev/null | cmp -s - s.svg
check "- is standard output, with the picture alone" test $? -eq 0 -a ! -e -
"$tez" roll s.tez -o part.svg --from line:4 --to line:5 >/dev/null
check "a part: the notes sounding in it" test "$(notes part.svg)" = "data-line=1 data-channel=1 data-line=4 data-channel=1"
"$tez" convert s.tez -o s.mid >/dev/null && "$tez" roll s.mid -o mid.svg >/dev/null
check "a MIDI file: the same notes, no lines" test "$(notes mid.svg)" = \
    "data-channel=1 data-channel=2 data-channel=1 data-channel=0"

python3 -c 'print("".join(f"I15 K{40 + i % 40} V100 L60\n" for i in range(20000)))' >big.tez
out=$("$tez" roll big.tez -o big.svg --width 200)
check "zoomed out: column marks, no notes" grep -qE '^big.svg: 0 notes, [1-9][0-9]* column marks' <<<"$out"
check "at most a mark per key and column" test "$(grep -c 'class="m"' big.svg)" -le $((44 * 160))

cp s.svg before.svg
"$tez" roll big.tez -o s.svg --from line:99999 2>err.txt
check "a position outside the music exits 2" test $? -eq 2
check "and leaves the picture as it was" cmp -s s.svg before.svg
"$tez" roll s.tez -o nodir/x.svg 2>err.txt
check "an unwritable picture exits 1" test $? -eq 1
check "naming the file" grep -q 'nodir/x.svg' err.txt
check "no temporary left behind" test "$(ls | wc -l)" -eq 9
exit $failed
