#!/usr/bin/env bash
# The command line of `tez convert`: default output name, summary, warnings, failures.
set -uo pipefail
tez=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
check() {  # description, then a command that must succeed
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=1; fi
}

printf 'I0 K60 V100 L120\n' >one.tez
out=$("$tez" convert one.tez 2>err.txt)
check "exit 0 and default output name" test -f tez_p.smf
check "58-byte file" test "$(stat -c %s tez_p.smf)" -eq 58
check "summary line" grep -q '^tez_p.smf: 1 records, 1 notes, 340 ticks (1.360 s)$' <<<"$out"
check "no warnings" test ! -s err.txt

printf 'K60\n  K200 V1\n' >bad.tez
"$tez" convert bad.tez -o bad.smf 2>err.txt >/dev/null
check "repair exits 0" test $? -eq 0
check "repair warning names the line and column" grep -qx 'bad.tez:2:4: warning: key 200 is out of range 0..127; written as 127' err.txt

"$tez" convert missing.tez 2>err.txt >/dev/null
check "missing score exits 1" test $? -eq 1
check "missing score message" grep -qx 'tez: cannot open missing.tez: No such file or directory' err.txt

"$tez" convert one.tez -o nodir/x.smf 2>err.txt >/dev/null
check "unwritable output exits 1" test $? -eq 1
check "unwritable output message" grep -qx 'tez: cannot create nodir/x.smf: No such file or directory' err.txt

check "version" test "$("$tez" --version)" = "tezplayer 1.05"
check "help" "$tez" --help >/dev/null
"$tez" convert 2>/dev/null
check "a command-line mistake exits 2" test $? -eq 2
exit $failed
