#!/usr/bin/env bash
# Under shrinking memory limits `tez convert` either writes a whole file or says it ran out
# of memory, exits 1 and writes nothing; it never crashes and never leaves a partial file.
set -uo pipefail
tez=$1 make_score=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$make_score" 1000000 >"$work/big.tez"
ran_out=0 failed=0
for limit in 400000 $(seq 160000 -5000 40000); do
    rm -f "$work/out.smf"
    (ulimit -v "$limit"; exec "$tez" convert "$work/big.tez" -o "$work/out.smf") \
        >/dev/null 2>"$work/err"
    rc=$?
    if [ $rc -eq 127 ]; then
        continue  # too little memory even to load the program's libraries
    elif [ $rc -eq 0 ] && [ -s "$work/out.smf" ]; then
        echo "ok   ${limit} KiB: converted"
    elif [ $rc -eq 1 ] && grep -q '^tez: out of memory' "$work/err" && [ ! -e "$work/out.smf" ] &&
        [ -z "$(ls "$work" | grep -v -e big.tez -e err)" ]; then
        echo "ok   ${limit} KiB: $(cat "$work/err")"
        ran_out=1
    else
        echo "FAIL ${limit} KiB: exit $rc: $(head -c 300 "$work/err")"
        failed=1
    fi
done
[ $ran_out -eq 1 ] || { echo "FAIL no limit reached the out-of-memory path"; failed=1; }
exit $failed
