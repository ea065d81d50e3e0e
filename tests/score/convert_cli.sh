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
check "summary line" grep -q '^tez_p.smf: 1 record, 1 note, 340 ticks (1.360 s)$' <<<"$out"
check "no warnings" test ! -s err.txt

printf 'K60\n  K200 V1\n' >bad.tez
"$tez" convert bad.tez -o bad.smf 2>err.txt >/dev/null
check "repair exits 0" test $? -eq 0
check "repair warning names the line and column" grep -qx 'bad.tez:2:4: warning: key 200 is out of range 0..127; written as 127' err.txt

printf 'I0 K128 V127\nI120 K128 V0 M1\n' >silent.tez
out=$("$tez" convert silent.tez -o silent.smf 2>err.txt)
check "no note: written, exit 0" test $? -eq 0 -a -s silent.smf
check "no note: warned" grep -qx 'silent.tez:1:1: warning: no note sounds; the MIDI file is silent' err.txt
check "no note: the summary counts" grep -q '^silent.smf: 2 records, 0 notes, ' <<<"$out"

"$tez" convert missing.tez 2>err.txt >/dev/null
check "missing score exits 1" test $? -eq 1
check "missing score message" grep -qx 'tez: cannot open missing.tez: No such file or directory' err.txt

"$tez" convert one.tez -o nodir/x.smf 2>err.txt >/dev/null
check "unwritable output exits 1" test $? -eq 1
check "unwritable output message" grep -qx 'tez: cannot create nodir/x.smf: No such file or directory' err.txt

# Outputs that are not an ordinary file in a writable folder are written in place.
ln -s real.smf link.smf && "$tez" convert one.tez -o link.smf >/dev/null
check "a link is written through and stays" test -L link.smf -a "$(stat -c %s real.smf)" -eq 58
ln -s /proc/self/fd/1 to_stdout
"$tez" convert one.tez -o to_stdout 2>/dev/null | cat >piped.smf
cmp -s piped.smf tez_p.smf && test -L to_stdout
check "a link to standard output gets the file alone" test $? -eq 0
"$tez" convert one.tez -o - 2>summary.txt | cat >dashed.smf
check "- is standard output, the summary on standard error" cmp -s dashed.smf tez_p.smf
check "no file named -" test ! -e - -a -s summary.txt
mkfifo pipe && { timeout 5 cat pipe >from_pipe & }
"$tez" convert one.tez -o pipe >/dev/null; wait
check "a pipe is written in place" test -p pipe -a "$(stat -c %s from_pipe)" -eq 58
(umask 027 && "$tez" convert one.tez -o masked.smf >/dev/null)
chmod 600 real.smf && "$tez" convert one.tez -o real.smf >/dev/null
check "new file follows the umask, old keeps its mode" test "$(stat -c %a masked.smf real.smf)" = $'640\n600'
mkdir locked && printf x >locked/tez_p.smf && chmod 711 . && chmod 555 locked
as_user=()  # root writes anywhere: the case is tried as user nobody
[ "$(id -u)" != 0 ] || { chown 65534 locked/tez_p.smf; as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups); }
if ! (cd locked && "${as_user[@]}" "$tez" --version >/dev/null 2>&1); then echo "skip locked folder: nobody cannot run tez"; else
    (cd locked && "${as_user[@]}" "$tez" convert ../one.tez >/dev/null)
    check "a writable file in a locked folder is written in place" test "$(stat -c %s locked/tez_p.smf)" -eq 58
fi
chmod 755 locked

check "version" test "$("$tez" --version)" = "tezplayer 1.05"
check "help" "$tez" --help >/dev/null
"$tez" convert 2>/dev/null
check "a command-line mistake exits 2" test $? -eq 2
exit $failed
