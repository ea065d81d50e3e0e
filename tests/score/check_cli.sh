#!/usr/bin/env bash
# `tez check`: exit status and report for clean, repaired, note-less and unreadable scores,
# as text and as JSON lines, control characters in names escaped; nothing is written.
set -uo pipefail
tez=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
printf 'I0 K60 V100 L120\n' >clean.tez
# Reader and writer warnings interleave in line order; columns count bytes from 1.
printf 'K 2 00 W9\nK99999999999\tv300\n' >warn.tez
printf 'no notes\n' >empty.tez
printf 'I0 K128 V127\n' >silent.tez
mkdir dir.tez
failed=0

# arguments | exit status | expected output (stdout, then stderr)
cases=(
    "clean.tez|0|"
    "warn.tez clean.tez|1|warn.tez:1:3: warning: key 200 is out of range 0..127; written as 127
warn.tez:2:2: warning: number 99999999999 after K is larger than 2147483647; read as 2147483647
warn.tez:2:2: warning: key 2147483647 is out of range 0..127; written as 127
warn.tez:2:15: warning: velocity 300 is out of range 0..127; written as 127"
    "--format json warn.tez|1|{\"file\":\"warn.tez\",\"line\":1,\"column\":3,\"severity\":\"warning\",\"message\":\"key 200 is out of range 0..127; written as 127\"}
{\"file\":\"warn.tez\",\"line\":2,\"column\":2,\"severity\":\"warning\",\"message\":\"number 99999999999 after K is larger than 2147483647; read as 2147483647\"}
{\"file\":\"warn.tez\",\"line\":2,\"column\":2,\"severity\":\"warning\",\"message\":\"key 2147483647 is out of range 0..127; written as 127\"}
{\"file\":\"warn.tez\",\"line\":2,\"column\":15,\"severity\":\"warning\",\"message\":\"velocity 300 is out of range 0..127; written as 127\"}"
    "warn.tez missing.tez|2|$("$tez" check warn.tez)
tez: cannot open missing.tez: No such file or directory"
    "--format json dir.tez clean.tez|2|{\"file\":\"dir.tez\",\"line\":0,\"column\":0,\"severity\":\"error\",\"message\":\"Is a directory\"}"
    $'--format json a\xff"b.tez|2|{"file":"a\xef\xbf\xbd\\"b.tez","line":0,"column":0,"severity":"error","message":"No such file or directory"}'
    "empty.tez|1|empty.tez:1:1: error: no notes (no tezdata.)"
    "silent.tez|1|silent.tez:1:1: warning: no note sounds; the MIDI file is silent"
    "--format json empty.tez|1|{\"file\":\"empty.tez\",\"line\":1,\"column\":1,\"severity\":\"error\",\"message\":\"no notes (no tezdata.)\"}"
    $'a\x1b[2Jb.tez|2|tez: cannot open a\\x1b[2Jb.tez: No such file or directory'
)
for case in "${cases[@]}"; do
    args=${case%%|*} rest=${case#*|}
    status=${rest%%|*} expected=${rest#*|}
    # shellcheck disable=SC2086
    out=$("$tez" check $args 2>&1)
    got=$?
    if [ "$got" = "$status" ] && [ "$out" = "$expected" ]; then
        echo "ok   check $args"
    else
        printf 'FAIL check %s: status %s\n%s\n' "$args" "$got" "$out"
        failed=1
    fi
done
! find . -mindepth 1 ! -name '*.tez' | grep -q . || { echo "FAIL check wrote a file"; failed=1; }
exit $failed
