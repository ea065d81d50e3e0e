#!/usr/bin/env bash
# `tez dump` with the range options: the messages and callbacks of parts of a score and of a
# MIDI file, and the refusals (exit 2, a message naming the problem, nothing dumped).
set -uo pipefail
tez=$(realpath "$1")
source "$(dirname "$0")/../support/services.sh"
enter_scratch_folder
failed=0
printf 'I0 K60 V100 L240\n\nI120 K64 V90 L120 M7\nI0 K128 V127\nI240 W2\nI0 K62 V1 L0\n' >s.tez
"$tez" convert s.tez -o s.mid >/dev/null

# Each case: the arguments, then the expected dump after its first line, "|" between lines.
while IFS=';' read -r args expected; do
    # shellcheck disable=SC2086
    got=$("$tez" dump $args | tail -n +2 | paste -sd'|')
    if [ "$got" = "$expected" ]; then echo "ok   $args"; else
        echo "FAIL $args"; echo "  got      $got"; echo "  expected $expected"; failed=1; fi
done <<'CASES'
s.tez --lines;0 F0 7E 7F 09 01 F7|480 91 3C 64 # line 1|960 91 40 5A # line 3|960 B1 40 7F # line 4|1440 81 40 00 # line 3|1440 81 3C 00 # line 1|1920 91 3E 01 # line 6|1920 81 3E 00 # line 6|# end 2320
s.tez --from line:2 --lines;0 F0 7E 7F 09 01 F7|0 91 40 5A # line 3|0 B1 40 7F # line 4|480 81 40 00 # line 3|960 91 3E 01 # line 6|960 81 3E 00 # line 6|1360 B1 40 00|# end 1360
s.tez --from marker:7 --to 1.5 --loop 2;0 F0 7E 7F 09 01 F7|0 91 40 5A|0 B1 40 7F|480 81 40 00|540 B1 40 00|540 B1 79 00|540 E1 00 40|540 91 40 5A|540 B1 40 7F|1020 81 40 00|1080 B1 40 00|# end 1080
s.tez --tempo 2 --transpose 12;0 F0 7E 7F 09 01 F7|240 91 48 64|480 91 4C 5A|480 B1 40 7F|720 81 4C 00|720 81 48 00|960 91 4A 01|960 81 4A 00|1160 B1 40 00|# end 1160
s.tez --solo 0,2;0 F0 7E 7F 09 01 F7|960 B1 40 7F|2320 B1 40 00|# end 2320
s.mid --from marker:7 --lines --mute 1;0 F0 7E 7F 09 01 F7|0 B1 40 7F # track 1 tick 240|1360 B1 40 00|# end 1360
s.mid --from 0:01.92 --transpose -24;0 F0 7E 7F 09 01 F7|0 B1 40 7F|0 91 26 01|0 81 26 00|400 B1 40 00|# end 400
CASES

while IFS=';' read -r args message; do
    # shellcheck disable=SC2086
    out=$("$tez" dump $args 2>err.txt)
    code=$?
    if [ "$code" -eq 2 ] && [ -z "$out" ] && grep -qxF -- "$message" err.txt; then echo "ok   $args"; else
        echo "FAIL $args: exit $code, $(cat err.txt)"; failed=1; fi
done <<'CASES'
s.tez --from line:9;--from: line 9 is past the last note line of s.tez
s.tez --from marker:8;--from: there is no marker 8 in s.tez
s.tez --from 2 --to 1;--to: 1 (tick 250) is not after --from (tick 500)
s.tez --to soon;--to: cannot read the position 'soon'; use line:N, marker:M, seconds (83.5) or minutes:seconds (1:23.5)
s.tez --from 9.5;--from: 9.5 is past the end of the music
s.tez --loop;--loop: give the number of times to play the range; this command must end
s.tez --tempo 5;--tempo: 5 is outside 0.25-4.0
s.tez --transpose -25;--transpose: -25 is outside -24..24
s.tez --mute 3,16;--mute: '16' is not a channel 0-15
s.mid --from line:3;--from: line positions need a score; s.mid is a MIDI file
CASES
exit $failed
